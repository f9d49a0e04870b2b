#include "checker/output/report_context.h"

#include <cstring>

namespace boot {

namespace {

constexpr const char* kFolderItself = ".";
constexpr const char* kUnshownText = "(a text that cannot be shown)";

bool EndsWithSeparator(const char* path)
{
    const std::size_t length = std::strlen(path);
    return length > 0 && (path[length - 1] == '/' || path[length - 1] == '\\');
}

// `folder`, its separator and `file`, whose "/" become `separator`.
std::string JoinPath(const char* folder, char separator, const std::string& file)
{
    if (file == kFolderItself) {
        return folder[0] != '\0' ? folder : kFolderItself;
    }
    std::string path = folder;
    if (!path.empty() && !EndsWithSeparator(folder)) {
        path += separator;
    }
    for (const char c : file) {
        path += c == '/' ? separator : c;
    }
    return path;
}

}  // namespace

std::string ToUtf8(const ReportSettings& settings, const std::string& ansi)
{
    constexpr std::size_t kMostUtf8BytesPerAnsiCharacter = 3;
    std::string utf8(ansi.size() * kMostUtf8BytesPerAnsiCharacter + 1, '\0');
    if (settings.toUtf8 == nullptr || !settings.toUtf8(ansi.c_str(), utf8.data(), utf8.size())) {
        return kUnshownText;
    }
    utf8.resize(std::strlen(utf8.c_str()));
    return utf8;
}

std::string CountsInWords(std::uint32_t errors, std::uint32_t warnings)
{
    const auto count = [](std::uint32_t number, const char* what) {
        return std::to_string(number) + " " + what + (number == 1 ? "" : "s");
    };
    return count(errors, "error") + ", " + count(warnings, "warning");
}

std::string ShownPath(const ReportSettings& settings, const std::string& file)
{
    return JoinPath(settings.shownFolder, settings.separator, file);
}

std::string RelativePath(const ReportSettings& settings, const std::string& file)
{
    return JoinPath(settings.relativeFolder, '/', file);
}

bool IsAbsolutePath(const char* path)
{
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
    return path[0] == '/' || drive;
}

}  // namespace boot
