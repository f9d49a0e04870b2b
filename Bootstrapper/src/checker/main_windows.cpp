// BootstrapperCheck.exe: the checker on Windows. It asks the real machine what the
// program would read there (the registry's 32-bit view, the installed products), so the
// plan shows the one path the program would take; nothing is started, shown or written.
#include <windows.h>

#include "checker/check_command.h"
#include "checker/stdio_output.h"
#include "checker/windows_dry_run_platform.h"

namespace {

constexpr const char* kProgram = "BootstrapperCheck.exe";

// The folder becomes the checker's own current directory, as it would be the program's.
bool EnterFolder(const wchar_t* folder, boot::TextOutput& errors)
{
    if (folder == nullptr || ::SetCurrentDirectoryW(folder) != FALSE) {
        return true;
    }
    boot::TextBuffer reason;
    reason.Format("%s: cannot read the folder (Windows error %u)\n", kProgram,
                  static_cast<unsigned>(::GetLastError()));
    errors.Write(reason.Get());
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    boot::StdioOutput out(stdout);
    boot::StdioOutput errors(stderr);
    boot::CheckRequest<wchar_t> request;
    switch (boot::ParseCheckArguments<wchar_t>(argc, argv, request)) {
    case boot::CheckArguments::check:
        break;
    case boot::CheckArguments::help:
        boot::WriteCheckUsage(kProgram, out);
        return boot::kCheckPassed;
    case boot::CheckArguments::wrong:
        boot::WriteCheckUsage(kProgram, errors);
        return boot::kCheckUnusable;
    }
    if (!EnterFolder(request.folder, errors)) {
        return boot::kCheckUnusable;
    }
    static boot::Win32Platform real;
    static boot::DryRunPlatform platform(real);
    return boot::RunCheck(platform, platform.record, true, request.quiet, out);
}
