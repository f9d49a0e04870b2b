#pragma once
// printf-style formats made into a std::string, for the findings, the plan and the
// messages of the command line. The compiler checks each call's arguments against its
// format (-Wformat=2): a function that takes a format and its arguments is marked like
// Formatted. For mingw-w64, GCC's plain printf archetype is the Microsoft C runtime's,
// which knows no %zu; the checker is built with mingw-w64's own printf
// (__USE_MINGW_ANSI_STDIO), which is GNU's, and so GCC checks it as gnu_printf (clang,
// which knows no gnu_printf, takes %zu as printf there).

#include <cstdarg>
#include <string>

namespace boot {

// The whole text, however long.
std::string Formatted(const char* format, ...)
#if defined(__MINGW32__) && !defined(__clang__)
    __attribute__((format(gnu_printf, 1, 2)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

std::string FormattedV(const char* format, std::va_list args)
#if defined(__MINGW32__) && !defined(__clang__)
    __attribute__((format(gnu_printf, 1, 0)))
#elif defined(__GNUC__)
    __attribute__((format(printf, 1, 0)))
#endif
    ;

}  // namespace boot
