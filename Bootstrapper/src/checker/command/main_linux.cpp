// bootstrapper-check: the checker on Linux, where packages are built. It wires the Linux
// folder reader in; the registry and the installed products of the machine that will run the
// setup are unknown here.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "checker/command/check_command.h"
#include "checker/folder_readers/linux_folder_reader.h"
#include "checker/reading/unicode_text.h"
#include "checker/output/escaped_output.h"
#include "checker/reports/folder_paths.h"
#include "checker/output/stdio_output.h"
#include "file_output/output_place.h"
#include "file_output/replaced_file.h"

namespace {

constexpr const char* kProgram = "bootstrapper-check";

// The folder's paths for the report. Links are resolved, as GitHub needs paths to the
// files themselves; where a path cannot be resolved, the folder is named as given.
struct FolderPaths {
    std::string shown;
    std::string current;
    std::string relative;
};

// `path` with its links resolved; false when it cannot be.
bool Resolve(const char* path, std::string& resolved)
{
    const std::unique_ptr<char, decltype(&std::free)> full(::realpath(path, nullptr), &std::free);
    if (full == nullptr) {
        return false;
    }
    resolved = full.get();
    return true;
}

void FindFolderPaths(const char* folder, FolderPaths& paths)
{
    if (folder != nullptr) {
        paths.shown = folder;
        boot::TrimFolderSeparators(paths.shown, false);
    }
    std::string resolved;
    if (!Resolve(".", paths.current) || !Resolve(folder != nullptr ? folder : ".", resolved) ||
        !boot::RelativeFolder(resolved, paths.current, false, paths.relative)) {
        paths.current.clear();
        paths.relative = paths.shown;
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

// The report of --output, written whole beside its place and renamed over it, so that no
// reader ever sees half a report and a check that cannot write it leaves the place as it was.
class ReportFile final : public boot::TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    ReportFile() = default;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile() = default;

    void Write(const char* text) override { file_.Write(text, std::strlen(text)); }

    // The report's place is never the folder checked nor anything in it: the report would
    // replace what is checked, or become part of the folder, whose check would then see
    // the report's temporary file. Nor is it a FIFO, a device or a folder.
    bool Open(const char* given, const char* folder, std::string& problem)
    {
        given_ = given;
        const boot::file_output::OutputGuard guard{{}, folder, "the folder being checked"};
        boot::file_output::OutputPlace place;
        std::string why;
        if (!boot::file_output::FindOutputPlace(given_, guard, place, why) || !file_.Open(place, why)) {
            return Failed(why, problem);
        }
        return true;
    }

    // The place becomes the report; false, with the problem, when it cannot.
    bool Commit(std::string& problem)
    {
        std::string why;
        return file_.Commit(why) || Failed(why, problem);
    }

private:
    bool Failed(const std::string& why, std::string& problem) const
    {
        problem = "cannot write the report to " + boot::file_output::ShownName(given_) + ": " + why;
        return false;
    }

    std::string given_;
    boot::file_output::ReplacedFile file_;
};

}  // namespace

int main(int argc, char** argv)
{
    boot::StdioOutput out(stdout);
    boot::StdioOutput errors(stderr);
    const auto request = std::make_unique<boot::CheckRequest<char>>();
    const boot::CheckArguments arguments = boot::ParseCheckArguments(argc, argv, *request);
    const int answered = boot::AnswerUnlessCheck(arguments, kProgram, request->problem.c_str(), out, errors);
    if (answered >= 0) {
        return answered;
    }
    // Large (the package reader's tables): outside the stack.
    const auto platform = std::make_unique<boot::LinuxFolderReader>();
    std::string reason;
    if (!platform->UseFolder(request->folder != nullptr ? request->folder : ".", reason)) {
        WriteProblem(reason.c_str(), errors);
        return boot::kCheckUnusable;
    }
    FolderPaths paths;
    FindFolderPaths(request->folder, paths);
    boot::ReportSettings settings;
    settings.program = kProgram;
    settings.version = BOOTSTRAPPER_CHECK_VERSION;
    settings.informationUri = BOOTSTRAPPER_CHECK_INFORMATION_URI;
    // The Linux folder reader hands the program names in code page 1252.
    settings.toUtf8 = boot::Utf8FromAnsi;
    settings.shownFolder = paths.shown.c_str();
    settings.relativeFolder = paths.relative.c_str();
    settings.currentDirectory = paths.current.c_str();
    if (request->output == nullptr) {
        return boot::RunCheck(*platform, false, request->options, settings, out);
    }
    ReportFile report;
    std::string problem;
    if (!report.Open(request->output, request->folder != nullptr ? request->folder : ".", problem)) {
        WriteProblem(problem.c_str(), errors);
        return boot::kCheckUnusable;
    }
    const int status = boot::RunCheck(*platform, false, request->options, settings, out, &report);
    if (!report.Commit(problem)) {
        WriteProblem(problem.c_str(), errors);
        return boot::kCheckUnusable;
    }
    return status;
}
