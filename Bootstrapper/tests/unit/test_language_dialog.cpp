#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "language/language_dialog.h"
#include "language/language_state.h"
#include "language_fixture.h"
#include "resource.h"

namespace boot {
namespace {

using testing::FakePlatform;
using Items = std::vector<std::pair<std::string, std::intptr_t>>;

void Prepare(LanguageState& state, std::int32_t selected, const char* available)
{
    state.selectedLanguage = selected;
    for (int i = 0; i < kLanguageCount; ++i) {
        state.available[i] = available[i] == '1';
    }
    state.uiStrings.captionText.Assign("Caption");
    state.uiStrings.okText.Assign("Okay");
    state.uiStrings.cancelText.Assign("Abort");
    state.uiStrings.promptText.Assign("Prompt");
}

std::intptr_t ShowDialog(FakePlatform& platform, LanguageState& state)
{
    return platform.DialogBoxParamA(0, IDD_LANGUAGE, kNoWindow, LanguageDialogProc, &state, 0);
}

TEST(LanguageDialog, ListsEachAvailableLanguageOnceWithTheUsersRowPreselected)
{
    struct Row {
        std::int32_t selected;
        const char* available;
        Items items;
        std::intptr_t initial;
    } rows[] = {
        {0, "111111", {{"Deutsch", 0}, {"English", 5}}, 0},
        {4, "111111", {{"Deutsch", 4}, {"English", 5}}, 0},
        {3, "111111", {{"Deutsch", 3}, {"English", 5}}, 0},
        {5, "111111", {{"Deutsch", 0}, {"English", 5}}, 1},
        {0, "000001", {{"English", 5}}, 0},  // the user's row is not available: first item
        {2, "000001", {{"English", 5}}, 0},
        {5, "111110", {{"Deutsch", 0}}, 0},
        {5, "000001", {{"English", 5}}, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.selected) + " " + row.available);
        FakePlatform platform;
        LanguageState state;
        Prepare(state, row.selected, row.available);
        platform.dialogScript = [](FakePlatform& p) { p.PressDialogButton(2); };
        ShowDialog(platform, state);
        EXPECT_EQ(platform.comboItems, row.items);
        // The selection stands before the script acts: Cancel leaves it alone.
        EXPECT_EQ(platform.comboSelection, row.initial);
    }
}

TEST(LanguageDialog, SetsTheTextsAndGivesTheListTheFocus)
{
    FakePlatform platform;
    LanguageState state;
        Prepare(state, 0, "111111");
    platform.dialogScript = [](FakePlatform& p) { p.PressDialogButton(2); };
    ShowDialog(platform, state);
    EXPECT_EQ(platform.dialogCaption, "Caption");
    EXPECT_EQ(platform.dialogItemTexts[-1], "Prompt");
    EXPECT_EQ(platform.dialogItemTexts[1], "Okay");
    EXPECT_EQ(platform.dialogItemTexts[2], "Abort");
    EXPECT_EQ(platform.focusedControl, platform.GetDlgItem(FakePlatform::kDialogWindow, IDC_LANGUAGE_LIST));
    EXPECT_EQ(platform.dialogInitParams, std::vector<std::intptr_t>{0});
}

TEST(LanguageDialog, OkTakesTheRowOfTheCurrentItem)
{
    struct Row {
        std::int32_t selected;
        std::intptr_t pick;  // item position chosen by the user; -1: none current
        std::int32_t result;
    } rows[] = {{4, 0, 4}, {4, 1, 5}, {5, 0, 0}, {0, 1, 5}, {3, -1, 0}};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.selected) + " pick " + ::testing::PrintToString(row.pick));
        FakePlatform platform;
        LanguageState state;
        Prepare(state, row.selected, "111111");
        platform.dialogScript = [&row](FakePlatform& p) {
            p.SelectComboItem(row.pick);
            p.PressDialogButton(1);
        };
        EXPECT_EQ(ShowDialog(platform, state), 1);
        EXPECT_EQ(state.selectedLanguage, row.result);
    }
}

TEST(LanguageDialog, CancelKeepsTheSelectionAndOtherCommandsAreIgnored)
{
    FakePlatform platform;
    LanguageState state;
        Prepare(state, 3, "111111");
    platform.dialogScript = [](FakePlatform& p) {
        p.SelectComboItem(1);
        p.PressDialogButton(IDC_LANGUAGE_LIST);  // a notification of the list: not an answer
        EXPECT_FALSE(p.dialogEnded);
        p.PressDialogButton(2);
    };
    EXPECT_EQ(ShowDialog(platform, state), 2);
    EXPECT_EQ(state.selectedLanguage, 3);
}

}  // namespace
}  // namespace boot
