#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "checker/rules/setup_ini/prerequisite_notes.h"

namespace boot {
namespace {

TEST(PrerequisiteNotes, System32AndDigitsComparedAsText)
{
    struct Row {
        const char* execute;
        const char* checkKey;
        const char* checkContent;
        std::vector<std::string> notesHold;
    } rows[] = {
        {"C:\\Windows\\System32\\dism.exe /online", "", "", {"on 64-bit Windows"}},
        {"\"d:\\WINDOWS\\system32\\msiexec.exe\" /i x.msi", "SOFTWARE\\X", "1", {"on 64-bit Windows", "no REG_DWORD"}},
        // Four bytes can be three digits and a zero, or four digits.
        {"x.exe", "SOFTWARE\\X", "123", {"only when its four bytes"}},
        {"x.exe", "SOFTWARE\\X", "12345", {"no REG_DWORD"}},
        {"C:\\Windows\\Sysnative\\dism.exe", "SOFTWARE\\X", "2.0", {}},
        {"System32\\x.exe", "", "1", {}},  // no CheckKey: nothing is compared
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.execute);
        PrerequisiteStep step;
        step.execute.Assign(row.execute);
        step.checkKey.Assign(row.checkKey);
        step.checkContent.Assign(row.checkContent);
        const char* notes[kMostPrerequisiteNotes] = {};
        const std::size_t count = PrerequisiteNotes(step, notes);
        ASSERT_EQ(count, row.notesHold.size());
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_NE(std::string(notes[i]).find(row.notesHold[i]), std::string::npos) << notes[i];
        }
    }
}

}  // namespace
}  // namespace boot
