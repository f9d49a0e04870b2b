#pragma once
// printf-style formats made into a std::string, for the findings and the plan.

#include <cstdarg>
#include <string>

namespace boot {

// `format` with `args`, through the program's own formatting (the checker shows what the
// program reads the way the program shows it), in as much room as the text takes. False,
// with `text` empty, for a format the program's formatting does not know or a text beyond
// 1 MiB (values are at most 1023 characters).
bool FormatString(std::string& text, const char* format, std::va_list args)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 0)))
#endif
    ;

}  // namespace boot
