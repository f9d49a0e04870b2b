// BootstrapperCheck.exe: the checker on Windows. It asks the real machine what the
// program would read there (the registry's 32-bit view, the installed products), so the
// plan shows the one path the program would take; nothing is started, shown or written.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "checker/command/check_command.h"
#include "checker/folder_readers/windows_folder_reader.h"
#include "checker/reports/folder_paths.h"
#include "checker/output/windows_output.h"

namespace {

constexpr const char* kProgram = "BootstrapperCheck.exe";
// A Windows path in UTF-16 units, and in UTF-8 bytes.
constexpr DWORD kWidePathSize = 32768;

// The folder's paths for the report, worked out before the checker enters the folder.
struct FolderPaths {
    std::string shown;
    std::string current;
    std::string full;
    std::string relative;
};

// `path` in UTF-8 with "/" between names; false when Windows cannot name it.
bool AbsoluteUtf8(const wchar_t* path, std::string& utf8)
{
    std::vector<wchar_t> wide(kWidePathSize, L'\0');
    const DWORD length = path == nullptr ? ::GetCurrentDirectoryW(kWidePathSize, wide.data())
                                         : ::GetFullPathNameW(path, kWidePathSize, wide.data(), nullptr);
    if (length == 0 || length >= kWidePathSize || !boot::Utf8FromUtf16(wide.data(), utf8)) {
        utf8.clear();
        return false;
    }
    boot::UseForwardSlashes(utf8);
    boot::TrimFolderSeparators(utf8, false);
    return true;
}

void FindFolderPaths(const wchar_t* folder, FolderPaths& paths)
{
    if (folder != nullptr && boot::Utf8FromUtf16(folder, paths.shown)) {
        boot::TrimFolderSeparators(paths.shown, true);
    }
    const bool knowsCurrent = AbsoluteUtf8(nullptr, paths.current);
    if (folder == nullptr) {
        return;
    }
    const bool knowsFull = AbsoluteUtf8(folder, paths.full);
    if (knowsCurrent && knowsFull && boot::RelativeFolder(paths.full, paths.current, true, paths.relative)) {
        return;
    }
    // On another drive than the current directory the folder has no relative path.
    paths.relative = knowsFull ? paths.full : paths.shown;
    boot::UseForwardSlashes(paths.relative);
}

// The folder becomes the checker's own current directory, as it would be the program's.
bool EnterFolder(const wchar_t* folder, boot::TextOutput& errors)
{
    if (folder == nullptr || ::SetCurrentDirectoryW(folder) != FALSE) {
        return true;
    }
    const DWORD error = ::GetLastError();
    errors.Write(boot::Formatted("%s: cannot read the folder (Windows error %lu)\n", kProgram, error).c_str());
    return false;
}

// What a file or folder is, by a handle that reads nothing of it: its kind and where it
// is stored. False when it cannot be opened (a name that names nothing yet).
bool Identify(const std::wstring& path, DWORD& type, BY_HANDLE_FILE_INFORMATION& info)
{
    HANDLE handle = ::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return false;
    }
    type = ::GetFileType(handle);
    info = BY_HANDLE_FILE_INFORMATION{};
    const bool known = ::GetFileInformationByHandle(handle, &info) != FALSE;
    ::CloseHandle(handle);
    if (!known) {
        info.dwVolumeSerialNumber = 0;
        info.nFileIndexHigh = 0;
        info.nFileIndexLow = 0;
    }
    return true;
}

bool IsSameEntry(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow && (a.nFileIndexHigh != 0 || a.nFileIndexLow != 0);
}

// The folder that holds `full`, a full path (C:\Reports\check.json, C:\check.json); false
// for a root, and for a path that ends in a separator.
bool ToParent(std::wstring& full)
{
    const std::size_t last = full.find_last_of(L"\\/");
    if (last == std::wstring::npos || last + 1 == full.size()) {
        return false;
    }
    const bool inRoot = full.find_first_of(L"\\/") == last;
    full.resize(inRoot ? last + 1 : last);
    return true;
}

// Why the report must not go to `full`: a device (NUL, CON, a pipe), a folder, or a place
// inside the folder being checked, which would replace what is checked or become part of
// it; null when it may.
const char* Refusal(const std::wstring& full, const wchar_t* checked)
{
    DWORD type = 0;
    BY_HANDLE_FILE_INFORMATION info{};
    if (Identify(full, type, info)) {
        if (type != FILE_TYPE_DISK) {
            return "it is a device, not a file";
        }
        if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            return "it is a folder, not a file";
        }
    }
    BY_HANDLE_FILE_INFORMATION folder{};
    if (!Identify(checked != nullptr ? checked : L".", type, folder)) {
        return nullptr;
    }
    // Compared on the way up by volume and file index, so that no other name of the
    // folder (its short name, a junction) hides it.
    for (std::wstring parent = full; ToParent(parent);) {
        if (Identify(parent, type, info) && IsSameEntry(info, folder)) {
            return "it lies inside the folder being checked: name a file outside it";
        }
    }
    return nullptr;
}

// The report of --output: written into a new file beside FILE, which then takes FILE's
// place in one move, so that no reader ever sees half a report and a check that cannot
// write it leaves FILE as it was. FILE is named by its full path, taken before the checker
// enters the folder: a relative name is relative to where the checker was started. The
// new file's name is short (".part-" and the process id), so that a FILE whose name is as
// long as a name may be still has one beside it.
class ReportFile final : public boot::TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    ReportFile() = default;
    ReportFile(const ReportFile&) = delete;
    ReportFile& operator=(const ReportFile&) = delete;
    ~ReportFile() { Discard(); }

    void Write(const char* text) override
    {
        DWORD length = 0;
        while (text[length] != '\0') {
            ++length;
        }
        DWORD written = 0;
        if (::WriteFile(file_, text, length, &written, nullptr) == FALSE || written != length) {
            failed_ = true;
        }
    }

    bool Open(const wchar_t* path, const wchar_t* checked, boot::TextOutput& errors)
    {
        if (!boot::Utf8FromUtf16(path, shown_)) {
            shown_ = "the --output file";
        }
        std::vector<wchar_t> full(kWidePathSize, L'\0');
        const DWORD length = ::GetFullPathNameW(path, kWidePathSize, full.data(), nullptr);
        if (length == 0 || length >= kWidePathSize) {
            return Failed(::GetLastError(), errors);
        }
        path_.assign(full.data(), length);
        const char* refusal = Refusal(path_, checked);
        if (refusal != nullptr) {
            return Refused(refusal, errors);
        }
        std::wstring folder = path_;
        if (!ToParent(folder)) {
            return Refused("it names a folder, not a file", errors);
        }
        if (folder.back() != L'\\' && folder.back() != L'/') {
            folder += L'\\';
        }
        // The process id makes the name unique among the checkers running now.
        const wchar_t* digits = L"0123456789ABCDEF";
        constexpr std::size_t kDigits = 8;  // a DWORD in hexadecimal
        std::wstring id(kDigits, L'0');
        constexpr unsigned kDigitBits = 4;
        constexpr DWORD kDigitMask = (DWORD{1} << kDigitBits) - 1;
        DWORD process = ::GetCurrentProcessId();
        for (std::size_t i = id.size(); i > 0; process >>= kDigitBits) {
            id[--i] = digits[process & kDigitMask];
        }
        temporary_ = folder + L".part-" + id;
        file_ = ::CreateFileW(temporary_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            temporary_.clear();
            return Failed(::GetLastError(), errors);
        }
        return true;
    }

    // FILE becomes the report; false, with the reason told, when it cannot.
    bool Commit(boot::TextOutput& errors)
    {
        const bool written = !failed_ && ::FlushFileBuffers(file_) != FALSE;
        const DWORD error = ::GetLastError();
        ::CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
        if (!written) {
            return Failed(error == ERROR_SUCCESS ? ERROR_WRITE_FAULT : error, errors);
        }
        if (::MoveFileExW(temporary_.c_str(), path_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) ==
            FALSE) {
            return Failed(::GetLastError(), errors);
        }
        temporary_.clear();
        return true;
    }

private:
    bool Refused(const char* why, boot::TextOutput& errors)
    {
        const std::string reason =
            std::string(kProgram) + ": cannot write the report to " + shown_ + ": " + why + "\n";
        errors.Write(reason.c_str());
        Discard();
        return false;
    }
    bool Failed(DWORD error, boot::TextOutput& errors)
    {
        const std::string reason = std::string(kProgram) + ": cannot write the report to " + shown_ +
                                   " (Windows error " + std::to_string(error) + ")\n";
        errors.Write(reason.c_str());
        Discard();
        return false;
    }
    void Discard()
    {
        if (file_ != INVALID_HANDLE_VALUE) {
            ::CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
        }
        if (!temporary_.empty()) {
            ::DeleteFileW(temporary_.c_str());
            temporary_.clear();
        }
    }

    std::string shown_;
    std::wstring path_;
    std::wstring temporary_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool failed_ = false;
};

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    boot::ConsoleOutput out(stdout, STD_OUTPUT_HANDLE);
    boot::ConsoleOutput errors(stderr, STD_ERROR_HANDLE);
    const auto request = std::make_unique<boot::CheckRequest<wchar_t>>();
    const boot::CheckArguments arguments = boot::ParseCheckArguments<wchar_t>(argc, argv, *request);
    const int answered = boot::AnswerUnlessCheck(arguments, kProgram, request->problem.c_str(), out, errors);
    if (answered >= 0) {
        return answered;
    }
    FolderPaths paths;
    FindFolderPaths(request->folder, paths);
    // The report's file names are large: outside the stack.
    const auto report = std::make_unique<ReportFile>();
    if (request->output != nullptr && !report->Open(request->output, request->folder, errors)) {
        return boot::kCheckUnusable;
    }
    if (!EnterFolder(request->folder, errors)) {
        return boot::kCheckUnusable;
    }
    boot::ReportSettings settings;
    settings.program = kProgram;
    settings.version = BOOTSTRAPPER_CHECK_VERSION;
    settings.informationUri = BOOTSTRAPPER_CHECK_INFORMATION_URI;
    settings.toUtf8 = boot::Utf8FromAnsiCodePage;
    settings.shownFolder = paths.shown.c_str();
    settings.separator = '\\';
    settings.relativeFolder = paths.relative.c_str();
    settings.currentDirectory = paths.current.c_str();
    boot::Win32Platform real;  // holds no state: as the program's own, a local
    CPINFO codePage{};
    const bool singleByte = ::GetCPInfo(CP_ACP, &codePage) != FALSE && codePage.MaxCharSize == 1;
    const auto platform = std::make_unique<boot::WindowsFolderReader>(real, singleByte);
    if (request->output == nullptr) {
        return boot::RunCheck(*platform, true, request->options, settings, out);
    }
    const int status = boot::RunCheck(*platform, true, request->options, settings, out, report.get());
    return report->Commit(errors) ? status : boot::kCheckUnusable;
}
