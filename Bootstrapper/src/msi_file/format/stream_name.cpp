#include "msi_file/format/stream_name.h"

#include <cstring>

#include <glib.h>

namespace boot::msi {

namespace {

constexpr char16_t kPairBase = 0x3800;
constexpr char16_t kSingleBase = 0x4800;
constexpr int kCharacterBits = 6;
constexpr int kCharacterMask = 0x3F;
// The characters that pack, by their 6-bit values.
constexpr char kPackable[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";

// The 6-bit value of a character that packs; -1 for any other.
int PackedValue(char16_t c)
{
    constexpr char16_t kFirstBeyondAscii = 0x80;
    const char* found = c != 0 && c < kFirstBeyondAscii ? std::strchr(kPackable, static_cast<char>(c)) : nullptr;
    return found != nullptr ? static_cast<int>(found - kPackable) : -1;
}

char16_t PackedCharacter(int value) { return static_cast<char16_t>(kPackable[value & kCharacterMask]); }

std::u16string Utf16(const std::string& utf8)
{
    glong written = 0;
    gunichar2* units = g_utf8_to_utf16(utf8.c_str(), static_cast<glong>(utf8.size()), nullptr, &written, nullptr);
    if (units == nullptr) {
        return {};
    }
    std::u16string result(units, units + written);
    g_free(units);
    return result;
}

std::string Utf8(const std::u16string& units)
{
    gchar* text = g_utf16_to_utf8(reinterpret_cast<const gunichar2*>(units.data()),  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
                                  static_cast<glong>(units.size()), nullptr, nullptr, nullptr);
    if (text == nullptr) {
        return {};
    }
    std::string result(text);
    g_free(text);
    return result;
}

}  // namespace

std::u16string EncodeStreamName(const std::string& utf8Name, bool isTable)
{
    const std::u16string name = Utf16(utf8Name);
    if (name.empty() && !utf8Name.empty()) {
        return {};
    }
    std::u16string packed;
    if (isTable) {
        packed.push_back(kTableStreamMark);
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const int first = PackedValue(name[i]);
        if (first < 0) {
            packed.push_back(name[i]);
            continue;
        }
        const int second = i + 1 < name.size() ? PackedValue(name[i + 1]) : -1;
        if (second < 0) {
            packed.push_back(static_cast<char16_t>(kSingleBase + first));
        } else {
            packed.push_back(static_cast<char16_t>(kPairBase + first + (second << kCharacterBits)));
            ++i;
        }
    }
    return packed;
}

std::string DecodeStreamName(const std::u16string& units, bool& isTable)
{
    isTable = !units.empty() && units[0] == kTableStreamMark;
    std::u16string name;
    for (std::size_t i = isTable ? 1 : 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        if (unit >= kPairBase && unit < kSingleBase) {
            name.push_back(PackedCharacter(unit - kPairBase));
            name.push_back(PackedCharacter((unit - kPairBase) >> kCharacterBits));
        } else if (unit >= kSingleBase && unit < kTableStreamMark) {
            name.push_back(PackedCharacter(unit - kSingleBase));
        } else {
            name.push_back(unit);
        }
    }
    return Utf8(name);
}

bool FitsStreamName(const std::u16string& units)
{
    // Windows Installer packs a table's name into a buffer of 31 units with its zero.
    const bool isTable = !units.empty() && units[0] == kTableStreamMark;
    return !units.empty() && units.size() <= (isTable ? kMaxStreamNameUnits - 1 : kMaxStreamNameUnits);
}

std::string StreamNameUtf8(const std::u16string& units) { return Utf8(units); }

std::u16string StreamNameUnits(const std::string& utf8) { return Utf16(utf8); }

}  // namespace boot::msi
