#include "language/language_dialog.h"

#include "language/language_table.h"
#include "resource.h"

namespace boot {

namespace {

int SelectedRow(const LanguageState& state)
{
    const std::int32_t s = state.selectedLanguage;
    return (s >= 0 && s < kLanguageCount) ? s : 0;
}

void FillLanguageList(Platform& platform, WindowHandle list, const LanguageState& state)
{
    const int selected = SelectedRow(state);
    std::intptr_t position = 0;
    std::intptr_t initialPosition = 0;
    for (int i = 0; i < kLanguageCount; ++i) {
        if (!IsListedLanguage(state, i)) {
            continue;
        }
        // CB_ADDSTRING takes the text's address as its message parameter.
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
        const auto text = reinterpret_cast<std::intptr_t>(kLanguageTable[i].displayName);
        platform.SendMessageA(list, kCbAddString, 0, text);
        platform.SendMessageA(list, kCbSetItemData, static_cast<std::uintptr_t>(position), i);
        if (i == selected) {
            initialPosition = position;
        }
        ++position;
    }
    platform.SendMessageA(list, kCbSetCurSel, static_cast<std::uintptr_t>(initialPosition), 0);
}

std::intptr_t InitializeDialog(Platform& platform, WindowHandle dialog, const LanguageState& state)
{
    platform.SetWindowTextA(dialog, state.uiStrings.captionText.Get());
    platform.SetDlgItemTextA(dialog, IDC_PROMPT_TEXT, state.uiStrings.promptText.Get());
    platform.SetDlgItemTextA(dialog, static_cast<std::int32_t>(kIdOk), state.uiStrings.okText.Get());
    platform.SetDlgItemTextA(dialog, static_cast<std::int32_t>(kIdCancel), state.uiStrings.cancelText.Get());
    const WindowHandle list = platform.GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    FillLanguageList(platform, list, state);
    // The list gets the keyboard focus, so the arrow keys change the language and Enter
    // confirms it through the default OK button; without it no control has the focus
    // and Down moves to Cancel.
    platform.SendMessageA(dialog, kWmNextDlgCtl, static_cast<std::uintptr_t>(list), 1);
    return 0;  // FALSE: the focus has been set here
}

std::int32_t ChosenRow(Platform& platform, WindowHandle dialog)
{
    const WindowHandle list = platform.GetDlgItem(dialog, IDC_LANGUAGE_LIST);
    const std::intptr_t position = platform.SendMessageA(list, kCbGetCurSel, 0, 0);
    const std::intptr_t row = platform.SendMessageA(list, kCbGetItemData, static_cast<std::uintptr_t>(position), 0);
    return (row >= 0 && row < kLanguageCount) ? static_cast<std::int32_t>(row) : 0;
}

}  // namespace

bool IsListedLanguage(const LanguageState& state, int row)
{
    const int selected = SelectedRow(state);
    if (!state.available[row]) {
        return false;
    }
    return row == selected || (!kLanguageTable[row].isLocaleVariant &&
                               kLanguageTable[row].transformLanguage != kLanguageTable[selected].transformLanguage);
}

std::intptr_t LanguageDialogProc(Platform& platform, void* context, WindowHandle dialog, std::uint32_t message,
                                 std::uintptr_t wParam, std::intptr_t /*lParam*/)
{
    auto& state = *static_cast<LanguageState*>(context);
    if (message == kWmInitDialog) {
        return InitializeDialog(platform, dialog, state);
    }
    if (message != kWmCommand) {
        return 0;
    }
    const auto control = static_cast<std::intptr_t>(wParam & 0xFFFFu);
    if (control == kIdOk) {
        state.selectedLanguage = ChosenRow(platform, dialog);
        platform.EndDialog(dialog, static_cast<std::intptr_t>(wParam));
        return 1;
    }
    if (control == kIdCancel) {
        platform.EndDialog(dialog, static_cast<std::intptr_t>(wParam));
        return 1;
    }
    return 0;
}

std::int32_t AskForLanguage(Platform& platform, ModuleHandle instance, LanguageState& state)
{
    const std::intptr_t answer =
        platform.DialogBoxParamA(instance, kLanguageDialogId, kNoWindow, LanguageDialogProc, &state, 0);
    if (answer == kIdCancel) {
        return kLanguageCancelled;
    }
    // -1, or 0 for an owner it refused: never read as a cancel, which a deployment tool
    // would take for success. The dialog writes only rows of the table it listed.
    return answer == kIdOk ? kLanguageTable[state.selectedLanguage].transformLanguage : kDialogNotShown;
}

}  // namespace boot
