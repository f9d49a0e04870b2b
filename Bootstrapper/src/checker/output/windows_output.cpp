#include "checker/output/windows_output.h"

#include <windows.h>

#include <climits>
#include <string>

#include "checker/output/report_context.h"
#include "checker/reading/unicode_text.h"
#include "common/fixed_text.h"

namespace boot {

namespace {

int ToInt(std::size_t size) { return size > static_cast<std::size_t>(INT_MAX) ? INT_MAX : static_cast<int>(size); }

// `text` of code page `codePage` in UTF-16, whole; empty when it cannot be converted.
std::wstring Utf16From(unsigned codePage, const char* text)
{
    const int units = ::MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (units <= 0) {
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    if (::MultiByteToWideChar(codePage, 0, text, -1, wide.data(), units) != units) {
        return std::wstring();
    }
    wide.pop_back();  // the terminating zero, which the string keeps itself
    return wide;
}

}  // namespace

bool Utf8FromUtf16(const wchar_t* wide, char* utf8, std::size_t capacity)
{
    // With the terminating zero: the answer counts it, and a text that does not fit fails.
    const int written = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8, ToInt(capacity), nullptr, nullptr);
    return written > 0 || LeaveEmpty(utf8, capacity);
}

bool Utf8FromUtf16(const wchar_t* wide, std::string& utf8)
{
    utf8.clear();
    // The answer counts the terminating zero, which the string holds beyond its size.
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    utf8.resize(static_cast<std::size_t>(size));
    if (::WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr) != size) {
        utf8.clear();
        return false;
    }
    utf8.pop_back();
    return true;
}

bool Utf8FromAnsiCodePage(const char* ansi, char* utf8, std::size_t capacity)
{
    if (ansi[0] == '\0') {
        return Utf8FromUtf16(L"", utf8, capacity);
    }
    const std::wstring wide = Utf16From(CP_ACP, ansi);
    if (wide.empty()) {
        return LeaveEmpty(utf8, capacity);
    }
    return Utf8FromUtf16(wide.c_str(), utf8, capacity);
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
        if (text[0] == '\0') {
            return;
        }
        const std::wstring wide = Utf16From(CP_UTF8, text);
        DWORD written = 0;
        // A text that cannot be converted, or written to the console, goes as bytes.
        if (!wide.empty() &&
            ::WriteConsoleW(console_, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr) != FALSE) {
            return;
        }
    }
    // A failed write has nowhere else to be told.
    static_cast<void>(std::fputs(text, stream_));
}

}  // namespace boot
