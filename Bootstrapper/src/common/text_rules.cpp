#include "common/text_rules.h"

namespace boot {

namespace {

constexpr std::uint32_t kDecimalBase = 10u;

bool IsAtoiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

std::int32_t ParseDecimal(const char* text)
{
    const char* p = text;
    while (IsAtoiSpace(*p)) {
        ++p;
    }
    bool negative = false;
    if (*p == '+' || *p == '-') {
        negative = (*p == '-');
        ++p;
    }
    std::uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * kDecimalBase + static_cast<std::uint32_t>(*p - '0');
        ++p;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<std::int32_t>(value);
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameTextIgnoringCase(const char* a, const char* b)
{
    std::size_t i = 0;
    while (a[i] != '\0' && LowerAscii(a[i]) == LowerAscii(b[i])) {
        ++i;
    }
    return LowerAscii(a[i]) == LowerAscii(b[i]);
}

bool SameTextIgnoringCase(const char* a, std::size_t length, const char* b)
{
    for (std::size_t i = 0; i < length; ++i) {
        if (b[i] == '\0' || LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return b[length] == '\0';
}

void UpperCaseAsciiInPlace(char* text)
{
    for (char* p = text; *p != '\0'; ++p) {
        if (*p >= 'a' && *p <= 'z') {
            *p = static_cast<char>(*p - 'a' + 'A');
        }
    }
}

}  // namespace boot
