#include "checker/output/formatted_text.h"

#include <cstdio>
#include <vector>

namespace boot {

std::string Formatted(const char* format, ...)
{
    std::va_list args{};
    va_start(args, format);
    std::string text = FormattedV(format, args);
    va_end(args);
    return text;
}

std::string FormattedV(const char* format, std::va_list args)
{
    // Measured first, on a copy: the arguments are read twice.
    std::va_list measured{};
    va_copy(measured, args);
    const int length = std::vsnprintf(nullptr, 0, format, measured);
    va_end(measured);
    if (length <= 0) {
        return std::string();  // nothing, or an argument the C library cannot convert
    }
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    static_cast<void>(std::vsnprintf(text.data(), text.size(), format, args));
    return std::string(text.data(), static_cast<std::size_t>(length));
}

}  // namespace boot
