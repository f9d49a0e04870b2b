#include "checker/rules/setup_ini/prerequisite_notes.h"

#include <cstring>

#include "common/text_rules.h"

namespace boot {

namespace {

constexpr const char* kSystemFolder = ":\\Windows\\System32\\";
constexpr std::size_t kSystemFolderLength = 20;  // with its drive letter

// The setup is a 32-bit program: on 64-bit Windows its System32 is redirected to SysWOW64.
constexpr const char* kSystem32Note =
    "on 64-bit Windows a 32-bit setup's System32 is SysWOW64: this starts the 32-bit tool; "
    "C:\\Windows\\Sysnative\\... starts the 64-bit one";
// The check compares the value's bytes with the text: a number stored as REG_DWORD is
// four bytes of binary, which match three or four digits only when they are those
// characters (0x00333231 for "123"), never the number they spell.
constexpr std::size_t kDwordBytes = 4;
constexpr const char* kDigitsNeverNote =
    "CheckContent is compared with the value's bytes as text: no REG_DWORD value ever matches it, whatever its "
    "number; check a string value (REG_SZ)";
constexpr const char* kDigitsAsBytesNote =
    "CheckContent is compared with the value's bytes as text: a REG_DWORD value matches it only when its four bytes "
    "are these digits' characters, never when it holds their number; check a string value (REG_SZ)";

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsInSystem32(const char* commandLine)
{
    const char* program = commandLine[0] == '"' ? commandLine + 1 : commandLine;
    return IsAsciiLetter(program[0]) && SameTextIgnoringCase(program + 1, kSystemFolderLength - 1, kSystemFolder);
}

bool IsDigitsOnly(const char* text)
{
    return *text != '\0' && std::strspn(text, "0123456789") == std::strlen(text);
}

}  // namespace

std::size_t PrerequisiteNotes(const PrerequisiteStep& step, const char* (&notes)[kMostPrerequisiteNotes])
{
    std::size_t count = 0;
    if (StartsInSystem32(step.execute.Get())) {
        notes[count++] = kSystem32Note;
    }
    if (!step.checkKey.IsEmpty() && IsDigitsOnly(step.checkContent.Get())) {
        // Four bytes hold at most four digits, and fewer than three leave bytes over.
        const std::size_t digits = step.checkContent.Length();
        notes[count++] = digits + 1 >= kDwordBytes && digits <= kDwordBytes ? kDigitsAsBytesNote : kDigitsNeverNote;
    }
    return count;
}

}  // namespace boot
