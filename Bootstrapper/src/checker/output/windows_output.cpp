#include "checker/output/windows_output.h"

#include <windows.h>

#include <climits>

#include "checker/output/report_context.h"
#include "checker/reading/unicode_text.h"
#include "common/fixed_text.h"

namespace boot {

namespace {

// The UTF-16 form of a text no longer than the longest the checker writes as one piece.
constexpr std::size_t kWideSize = kUtf8TextSize;

int ToInt(std::size_t size) { return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size); }

}  // namespace

bool Utf8FromUtf16(const wchar_t* wide, char* utf8, std::size_t capacity)
{
    // With the terminating zero: the answer counts it, and a text that does not fit fails.
    const int written = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, ToInt(capacity), nullptr, nullptr);
    return written > 0 || LeaveEmpty(utf8, capacity);
}

bool Utf8FromAnsiCodePage(const char* ansi, char* utf8, std::size_t capacity)
{
    static wchar_t wide[kWideSize];
    if (::MultiByteToWideChar(CP_ACP, 0, ansi, -1, wide, static_cast<int>(kWideSize)) <= 0) {
        return LeaveEmpty(utf8, capacity);
    }
    return Utf8FromUtf16(wide, utf8, capacity);
}

ConsoleOutput::ConsoleOutput(std::FILE* stream, unsigned long standardHandle) : stream_(stream)
{
    HANDLE handle = ::GetStdHandle(standardHandle);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode) != FALSE) {
        console_ = handle;
    }
}

void ConsoleOutput::Write(const char* text)
{
    if (console_ != nullptr) {
        static wchar_t wide[kWideSize];
        const int units = ::MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, static_cast<int>(kWideSize));
        DWORD written = 0;
        // Without its terminating zero. A text too long to convert at once goes as bytes.
        if (units > 1 && ::WriteConsoleW(console_, wide, static_cast<DWORD>(units - 1), &written, nullptr) != FALSE) {
            return;
        }
        if (units == 1) {
            return;
        }
    }
    // A failed write has nowhere else to be told.
    static_cast<void>(std::fputs(text, stream_));
}

}  // namespace boot
