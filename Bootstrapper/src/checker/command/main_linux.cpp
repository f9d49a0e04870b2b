// bootstrapper-check: the checker on Linux, where packages are built. It wires the Linux
// folder reader in; the registry and the installed products of the machine that will run the
// setup are unknown here.
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "checker/command/check_command.h"
#include "checker/folder_readers/linux_folder_reader.h"
#include "checker/reading/unicode_text.h"
#include "checker/output/escaped_output.h"
#include "checker/reports/folder_paths.h"
#include "checker/output/stdio_output.h"

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

// The report of --output: written into a new file beside FILE, which then takes FILE's
// place in one rename, so that no reader ever sees half a report and a check that cannot
// write it leaves FILE as it was.
class ReportFile final : public boot::TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    ReportFile() = default;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile() { Discard(); }

    void Write(const char* text) override
    {
        std::size_t left = std::strlen(text);
        while (left > 0 && !failed_) {
            const ssize_t written = ::write(file_, text, left);
            if (written < 0 && errno == EINTR) {
                continue;
            }
            if (written <= 0) {
                failed_ = true;
                error_ = errno;
                break;
            }
            text += written;
            left -= static_cast<std::size_t>(written);
        }
    }

    bool Open(const char* path, boot::TextBuffer& reason)
    {
        path_ = path;
        if (!boot::FormatText(temporary_, sizeof temporary_, "%s.XXXXXX", path)) {
            return Failed("the name is too long", reason);
        }
        file_ = ::mkstemp(temporary_);
        if (file_ < 0) {
            temporary_[0] = '\0';
            return Failed(std::strerror(errno), reason);
        }
        // As any new file: readable by whom the umask lets read it (mkstemp makes it private).
        constexpr mode_t kNewFileMode = 0666;
        const mode_t mask = ::umask(0);
        ::umask(mask);
        static_cast<void>(::fchmod(file_, kNewFileMode & ~mask));
        return true;
    }

    // FILE becomes the report; false, with the reason, when it cannot.
    bool Commit(boot::TextBuffer& reason)
    {
        if (!failed_ && ::fsync(file_) != 0) {
            failed_ = true;
            error_ = errno;
        }
        if (::close(file_) != 0 && !failed_) {
            failed_ = true;
            error_ = errno;
        }
        file_ = -1;
        if (failed_) {
            return Failed(std::strerror(error_), reason);
        }
        if (std::rename(temporary_, path_) != 0) {
            return Failed(std::strerror(errno), reason);
        }
        temporary_[0] = '\0';
        return true;
    }

private:
    bool Failed(const char* why, boot::TextBuffer& reason)
    {
        reason.Format("cannot write the report to %s: %s", path_, why);
        Discard();
        return false;
    }
    void Discard()
    {
        if (file_ >= 0) {
            static_cast<void>(::close(file_));
            file_ = -1;
        }
        if (temporary_[0] != '\0') {
            static_cast<void>(::unlink(temporary_));
            temporary_[0] = '\0';
        }
    }

    const char* path_ = "";
    char temporary_[PATH_MAX] = {};
    int file_ = -1;
    bool failed_ = false;
    int error_ = 0;
};

}  // namespace

int main(int argc, char** argv)
{
    boot::StdioOutput out(stdout);
    boot::StdioOutput errors(stderr);
    const auto request = std::make_unique<boot::CheckRequest<char>>();
    const boot::CheckArguments arguments = boot::ParseCheckArguments(argc, argv, *request);
    const int answered = boot::AnswerUnlessCheck(arguments, kProgram, request->problem.Get(), out, errors);
    if (answered >= 0) {
        return answered;
    }
    // Large (the package reader's tables): outside the stack.
    const auto platform = std::make_unique<boot::LinuxFolderReader>();
    boot::TextBuffer reason;
    if (!platform->UseFolder(request->folder != nullptr ? request->folder : ".", reason)) {
        WriteProblem(reason.Get(), errors);
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
    const auto report = std::make_unique<ReportFile>();
    if (!report->Open(request->output, reason)) {
        WriteProblem(reason.Get(), errors);
        return boot::kCheckUnusable;
    }
    const int status = boot::RunCheck(*platform, false, request->options, settings, out, report.get());
    if (!report->Commit(reason)) {
        WriteProblem(reason.Get(), errors);
        return boot::kCheckUnusable;
    }
    return status;
}
