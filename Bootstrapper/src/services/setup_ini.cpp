#include "services/setup_ini.h"

#include "services/ansi_names.h"

namespace boot {

namespace {

constexpr std::uint8_t kUtf8ByteOrderMark[3] = {0xEF, 0xBB, 0xBF};
constexpr std::size_t kLongestName = 63;  // section and key names are the program's own, short and ASCII

// The program's own names are ASCII: each character is its UTF-16 unit.
void WidenName(const char* name, WideChar (&wide)[kLongestName + 1])
{
    std::size_t i = 0;
    for (; i < kLongestName && name[i] != '\0'; ++i) {
        wide[i] = static_cast<WideChar>(static_cast<unsigned char>(name[i]));
    }
    wide[i] = 0;
}

}  // namespace

SetupValue ReadSetupValue(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                          TextBuffer& value)
{
    value.Clear();
    WideChar file[kTextBufferSize] = {};
    WideChar sectionName[kLongestName + 1] = {};
    WideChar keyName[kLongestName + 1] = {};
    if (!ToWideText(platform, iniPath.Get(), file, kTextBufferSize)) {
        return SetupValue::unusableCharacters;
    }
    WidenName(section, sectionName);
    WidenName(key, keyName);
    // The profile reader cuts a long value silently to the capacity less one. Reading
    // with one unit more than a TextBuffer holds tells a value of exactly 1023 characters
    // from a longer one. The value is read in UTF-16: the ANSI reader would hand a UTF-16
    // file's values over with best-fit characters, another program's or folder's name.
    WideChar probe[kTextBufferSize + 1] = {};
    const std::uint32_t count =
        platform.GetPrivateProfileStringW(sectionName, keyName, nullptr, probe, kTextBufferSize + 1, file);
    probe[kTextBufferSize] = 0;
    if (count >= kTextBufferSize) {
        return SetupValue::tooLong;
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

bool StartsWithUtf8ByteOrderMark(Platform& platform, const TextBuffer& iniPath)
{
    const Handle file = platform.CreateFileA(iniPath.Get(), kGenericRead, kFileShareRead | kFileShareWrite,
                                             kOpenExisting, kFileAttributeNormal);
    if (file == kInvalidHandle) {
        return false;  // missing: every value reads as empty
    }
    std::uint8_t start[sizeof kUtf8ByteOrderMark] = {0, 0, 0};
    std::uint32_t read = 0;
    const bool ok = platform.ReadFile(file, start, sizeof start, &read);
    platform.CloseHandle(file);
    return ok && read == sizeof start && start[0] == kUtf8ByteOrderMark[0] && start[1] == kUtf8ByteOrderMark[1] &&
           start[2] == kUtf8ByteOrderMark[2];
}

}  // namespace boot
