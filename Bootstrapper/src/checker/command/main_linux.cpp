// bootstrapper-check: the checker on Linux, where packages are built. It wires the Linux
// platform in; the registry and the installed products of the machine that will run the
// setup are unknown here.
#include <climits>
#include <cstdlib>

#include "checker/command/check_command.h"
#include "checker/platforms/linux_platform.h"
#include "checker/reading/unicode_text.h"
#include "checker/reports/escaped_output.h"
#include "checker/reports/folder_paths.h"
#include "checker/reports/stdio_output.h"

namespace {

constexpr const char* kProgram = "bootstrapper-check";

// The folder's paths for the report. Links are resolved, as GitHub needs paths to the
// files themselves; where a path cannot be resolved, the folder is named as given.
struct FolderPaths {
    char shown[PATH_MAX] = {};
    char current[PATH_MAX] = {};
    boot::Utf8Text relative;
};

void FindFolderPaths(const char* folder, FolderPaths& paths)
{
    if (folder != nullptr && boot::FormatText(paths.shown, sizeof paths.shown, "%s", folder)) {
        boot::TrimFolderSeparators(paths.shown, false);
    }
    char resolved[PATH_MAX] = {};
    if (::realpath(".", paths.current) == nullptr ||
        ::realpath(folder != nullptr ? folder : ".", resolved) == nullptr ||
        !boot::RelativeFolder(resolved, paths.current, false, paths.relative)) {
        paths.current[0] = '\0';
        paths.relative.Assign(paths.shown);
    }
}

void WriteProblem(const char* problem, boot::TextOutput& errors)
{
    boot::OutputBuffer out(errors);
    out.Put(kProgram);
    out.Put(": ");
    boot::PutShown(out, problem);
    out.Put("\n");
}

}  // namespace

int main(int argc, char** argv)
{
    boot::StdioOutput out(stdout);
    boot::StdioOutput errors(stderr);
    static boot::CheckRequest<char> request;
    switch (boot::ParseCheckArguments(argc, argv, request)) {
    case boot::CheckArguments::check:
        break;
    case boot::CheckArguments::help:
        boot::WriteCheckUsage(kProgram, out);
        return boot::kCheckPassed;
    case boot::CheckArguments::wrong:
        boot::WriteArgumentProblem(kProgram, request.problem.Get(), errors);
        return boot::kCheckUnusable;
    }
    // Large (the package reader's tables): one for the process, outside the stack.
    static boot::LinuxPlatform platform;
    boot::TextBuffer reason;
    if (!platform.UseFolder(request.folder != nullptr ? request.folder : ".", reason)) {
        WriteProblem(reason.Get(), errors);
        return boot::kCheckUnusable;
    }
    static FolderPaths paths;
    FindFolderPaths(request.folder, paths);
    boot::ReportSettings settings;
    settings.program = kProgram;
    settings.version = BOOTSTRAPPER_CHECK_VERSION;
    settings.informationUri = BOOTSTRAPPER_CHECK_INFORMATION_URI;
    // The Linux platform hands the program names in code page 1252.
    settings.toUtf8 = boot::Utf8FromAnsi;
    settings.shownFolder = paths.shown;
    settings.relativeFolder = paths.relative.Get();
    settings.currentDirectory = paths.current;
    return boot::RunCheck(platform, platform.record, false, request.options, settings, out);
}
