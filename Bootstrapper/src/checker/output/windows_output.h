#pragma once
// What BootstrapperCheck.exe writes, and in which encoding.
//
// Its output is UTF-8, as on Linux: JSON and SARIF must be, GitHub's runners read UTF-8,
// and a package folder's names may hold characters of any script. The checker's own texts
// are in the ANSI code page (it reads the folder as the program does), so they are
// converted. A console window gets UTF-16 through WriteConsoleW, which shows every
// character whatever the console's code page: switching the console to UTF-8 with
// SetConsoleOutputCP would change it for whoever opened it, also after the checker ends,
// and the consoles of Windows before 10 write UTF-8 through the C library's streams
// wrongly. Files and pipes get the UTF-8 bytes.

#include <cstddef>
#include <cstdio>
#include <string>

#include "checker/output/text_output.h"

namespace boot {

// ReportSettings::toUtf8 on Windows: a text of the ANSI code page in UTF-8.
bool Utf8FromAnsiCodePage(const char* ansi, char* utf8, std::size_t capacity);
// A UTF-16 text (a command-line argument, a path) in UTF-8.
bool Utf8FromUtf16(const wchar_t* wide, char* utf8, std::size_t capacity);
bool Utf8FromUtf16(const wchar_t* wide, std::string& utf8);

class ConsoleOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    // `stream`: stdout or stderr; `standardHandle`: STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    ConsoleOutput(std::FILE* stream, unsigned long standardHandle);
    void Write(const char* text) override;

private:
    std::FILE* stream_;
    void* console_ = nullptr;  // the console's handle, null when the stream goes elsewhere
};

}  // namespace boot
