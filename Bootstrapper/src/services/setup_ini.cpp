#include "services/setup_ini.h"

#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/messages.h"

namespace boot {

const char kStartSection[] = "Start";
const char kSetupPathKey[] = "SetupPath";
const char kMsiPathKey[] = "MsiPath";
const char kLanguagesDirKey[] = "LanguagesDir";
const char kExecuteKey[] = "Execute";
const char kDoExecuteIfCheckIsKey[] = "DoExecuteIfCheckIs";
const char kExecuteOkIfResultIsKey[] = "ExecuteOkIfResultIs";
const char kCheckKeyKey[] = "CheckKey";
const char kCheckValueKey[] = "CheckValue";
const char kCheckContentKey[] = "CheckContent";

namespace {

constexpr std::uint8_t kUtf8ByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
constexpr std::uint8_t kUtf16BigEndianMark[2] = {0xFE, 0xFF};
constexpr WideChar kReplacementCharacter = 0xFFFD;

// The program's own names are ASCII: each character is its UTF-16 unit.
void WidenName(const char* name, WideChar (&wide)[kLongestSetupIniName + 1])
{
    std::size_t i = 0;
    for (; i < kLongestSetupIniName && name[i] != '\0'; ++i) {
        wide[i] = static_cast<WideChar>(static_cast<unsigned char>(name[i]));
    }
    wide[i] = 0;
}

// What the code page could not decode: the value is not the one the file means.
bool HoldsReplacementCharacter(const WideChar* text)
{
    for (; *text != 0; ++text) {
        if (*text == kReplacementCharacter) {
            return true;
        }
    }
    return false;
}

}  // namespace

SetupValue ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                          TextBuffer& value)
{
    WideChar file[kTextBufferSize] = {};
    WideChar sectionName[kLongestSetupIniName + 1] = {};
    WideChar keyName[kLongestSetupIniName + 1] = {};
    if (!ToWideText(platform, iniPath.Get(), file, kTextBufferSize)) {
        value.Clear();
        return SetupValue::unusableCharacters;
    }
    WidenName(section, sectionName);
    WidenName(key, keyName);
    // The profile reader cuts a long value silently to the capacity less one, before it
    // strips the quotes. Reading with more room than a TextBuffer holds tells a value of
    // exactly 1023 characters from a longer one, quoted or not. The value is read in
    // UTF-16: the ANSI reader would hand a UTF-16 file's values over with best-fit
    // characters, another program's or folder's name.
    WideChar probe[kSetupValueProbeSize] = {};
    const std::uint32_t count = platform.GetPrivateProfileStringW(sectionName, keyName, nullptr, probe,
                                                                  static_cast<std::uint32_t>(kSetupValueProbeSize), file);
    // Emptied only after the read: the value it replaces stays what the run read last
    // while the platform answers.
    value.Clear();
    probe[kSetupValueProbeSize - 1] = 0;
    if (count >= kTextBufferSize) {
        return SetupValue::tooLong;
    }
    if (HoldsReplacementCharacter(probe)) {
        return SetupValue::unusableCharacters;
    }
    switch (ToExactAnsi(platform, probe, value)) {
    case AnsiName::exact:
        return SetupValue::read;
    case AnsiName::tooLong:
        return SetupValue::tooLong;
    case AnsiName::inexact:
        break;
    }
    return SetupValue::unusableCharacters;
}

const char* RefusalOfSetupIni(Platform& platform, const TextBuffer& iniPath)
{
    // Shared with every other program, also one that may delete the file, so that the
    // check is never skipped because another program has the file open.
    const Handle file = platform.CreateFileA(iniPath.Get(), kGenericRead,
                                             kFileShareRead | kFileShareWrite | kFileShareDelete, kOpenExisting,
                                             kFileAttributeNormal);
    if (file == kInvalidHandle) {
        return FoundNothing(platform) ? nullptr : kMessageSetupIniUnreadable;
    }
    std::uint8_t start[sizeof kUtf8ByteOrderMark] = {0, 0, 0};
    std::uint32_t read = 0;
    const bool ok = platform.ReadFile(file, start, sizeof start, &read);
    platform.CloseHandle(file);
    if (!ok) {
        return kMessageSetupIniUnreadable;
    }
    if (read >= sizeof kUtf16BigEndianMark && start[0] == kUtf16BigEndianMark[0] &&
        start[1] == kUtf16BigEndianMark[1]) {
        return kMessageUtf16BigEndian;
    }
    if (read == sizeof start && start[0] == kUtf8ByteOrderMark[0] && start[1] == kUtf8ByteOrderMark[1] &&
        start[2] == kUtf8ByteOrderMark[2]) {
        return kMessageUtf8ByteOrderMark;
    }
    return nullptr;
}

}  // namespace boot
