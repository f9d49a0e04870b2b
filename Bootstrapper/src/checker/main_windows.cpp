// BootstrapperCheck.exe: the checker on Windows. It asks the real machine what the
// program would read there (the registry's 32-bit view, the installed products), so the
// plan shows the one path the program would take; nothing is started, shown or written.
#include <windows.h>

#include "checker/check_command.h"
#include "checker/folder_paths.h"
#include "checker/windows_dry_run_platform.h"
#include "checker/windows_output.h"

namespace {

constexpr const char* kProgram = "BootstrapperCheck.exe";
// A Windows path in UTF-16 units, and in UTF-8 bytes.
constexpr DWORD kWidePathSize = 32768;

// The folder's paths for the report, worked out before the checker enters the folder.
struct FolderPaths {
    boot::Utf8Text shown;
    boot::Utf8Text current;
    boot::Utf8Text full;
    boot::Utf8Text relative;
};

// `path` in UTF-8 with "/" between names; false when Windows cannot name it.
bool AbsoluteUtf8(const wchar_t* path, boot::Utf8Text& utf8)
{
    static wchar_t wide[kWidePathSize];
    const DWORD length = path == nullptr ? ::GetCurrentDirectoryW(kWidePathSize, wide)
                                         : ::GetFullPathNameW(path, kWidePathSize, wide, nullptr);
    if (length == 0 || length >= kWidePathSize || !boot::Utf8FromUtf16(wide, utf8.Data(), utf8.Capacity())) {
        return false;
    }
    boot::UseForwardSlashes(utf8.Data());
    boot::TrimFolderSeparators(utf8.Data(), false);
    return true;
}

void FindFolderPaths(const wchar_t* folder, FolderPaths& paths)
{
    if (folder != nullptr && boot::Utf8FromUtf16(folder, paths.shown.Data(), paths.shown.Capacity())) {
        boot::TrimFolderSeparators(paths.shown.Data(), true);
    }
    const bool knowsCurrent = AbsoluteUtf8(nullptr, paths.current);
    if (!knowsCurrent) {
        paths.current.Clear();
    }
    if (folder == nullptr) {
        return;
    }
    const bool knowsFull = AbsoluteUtf8(folder, paths.full);
    if (knowsCurrent && knowsFull &&
        boot::RelativeFolder(paths.full.Get(), paths.current.Get(), true, paths.relative)) {
        return;
    }
    // On another drive than the current directory the folder has no relative path.
    paths.relative.Assign(knowsFull ? paths.full.Get() : paths.shown.Get());
    boot::UseForwardSlashes(paths.relative.Data());
}

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
    boot::ConsoleOutput out(stdout, STD_OUTPUT_HANDLE);
    boot::ConsoleOutput errors(stderr, STD_ERROR_HANDLE);
    static boot::CheckRequest<wchar_t> request;
    switch (boot::ParseCheckArguments<wchar_t>(argc, argv, request)) {
    case boot::CheckArguments::check:
        break;
    case boot::CheckArguments::help:
        boot::WriteCheckUsage(kProgram, out);
        return boot::kCheckPassed;
    case boot::CheckArguments::wrong:
        boot::WriteArgumentProblem(kProgram, request.problem.Get(), errors);
        return boot::kCheckUnusable;
    }
    static FolderPaths paths;
    FindFolderPaths(request.folder, paths);
    if (!EnterFolder(request.folder, errors)) {
        return boot::kCheckUnusable;
    }
    boot::ReportSettings settings;
    settings.program = kProgram;
    settings.version = BOOTSTRAPPER_CHECK_VERSION;
    settings.informationUri = BOOTSTRAPPER_CHECK_INFORMATION_URI;
    settings.toUtf8 = boot::Utf8FromAnsiCodePage;
    settings.shownFolder = paths.shown.Get();
    settings.separator = '\\';
    settings.relativeFolder = paths.relative.Get();
    settings.currentDirectory = paths.current.Get();
    static boot::Win32Platform real;
    CPINFO codePage{};
    const bool singleByte = ::GetCPInfo(CP_ACP, &codePage) != FALSE && codePage.MaxCharSize == 1;
    static boot::DryRunPlatform platform(real, singleByte);
    return boot::RunCheck(platform, platform.record, true, request.options, settings, out);
}
