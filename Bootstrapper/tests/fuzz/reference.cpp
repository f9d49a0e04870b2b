#include "reference.h"

#include <cctype>
#include <cstring>
#include <vector>

namespace boot::fuzzing {

std::int32_t ReferenceDecimal(const std::string& text)
{
    constexpr std::uint64_t kModulus = 4294967296ull;
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    std::uint64_t value = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
        value = (value * 10 + static_cast<std::uint64_t>(text[i] - '0')) % kModulus;
        ++i;
    }
    if (negative) {
        value = (kModulus - value) % kModulus;
    }
    const std::int64_t asSigned = value >= kModulus / 2 ? static_cast<std::int64_t>(value) - static_cast<std::int64_t>(kModulus)
                                                        : static_cast<std::int64_t>(value);
    return static_cast<std::int32_t>(asSigned);
}

std::string ReferenceUpper(const std::string& text)
{
    std::string upper = text;
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 32);
        }
    }
    return upper;
}

ReferenceVersion ReferenceParseVersion(const std::string& text)
{
    std::vector<char> copy(text.begin(), text.end());
    copy.push_back('\0');
    ReferenceVersion version;
    int tokens = 0;
    for (char* token = std::strtok(copy.data(), "."); token != nullptr; token = std::strtok(nullptr, ".")) {
        if (tokens < 4) {
            version.parts[static_cast<std::size_t>(tokens)] = ReferenceDecimal(token);
        }
        ++tokens;
    }
    version.valid = tokens >= 3;
    return version;
}

bool ReferenceIsNewer(const Parts& package, const Parts& installed) { return installed < package; }

std::string Hex(std::uint32_t value)
{
    std::string digits;
    do {
        digits.insert(digits.begin(), "0123456789ABCDEF"[value % 16]);
        value /= 16;
    } while (value != 0);
    return digits;
}

std::string ReferenceProfileValue(const std::string& written)
{
    const std::string blanks(" \t\r\n\v\f\x1a");
    const std::size_t first = written.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return std::string();
    }
    std::string value = written.substr(first, written.find_last_not_of(blanks) - first + 1);
    if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') && value.back() == value[0]) {
        value = value.substr(1, value.size() - 2);
    }
    return value;
}

}  // namespace boot::fuzzing
