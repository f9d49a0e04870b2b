#include "common/fixed_text.h"

#include <cstdio>

namespace boot {

bool FormatTextV(char* buffer, std::size_t capacity, const char* format, std::va_list args)
{
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    const int written = std::vsnprintf(buffer, capacity, format, args);
    if (written < 0 || static_cast<std::size_t>(written) >= capacity) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

bool FormatText(char* buffer, std::size_t capacity, const char* format, ...)
{
    std::va_list args{};
    va_start(args, format);
    const bool fits = FormatTextV(buffer, capacity, format, args);
    va_end(args);
    return fits;
}

std::size_t TextLength(const char* text)
{
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

bool TextEquals(const char* a, const char* b)
{
    std::size_t i = 0;
    while (a[i] != '\0' && a[i] == b[i]) {
        ++i;
    }
    return a[i] == b[i];
}

}  // namespace boot
