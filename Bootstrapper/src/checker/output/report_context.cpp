#include "checker/output/report_context.h"

#include <cstring>

namespace boot {

namespace {

constexpr const char* kFolderItself = ".";
constexpr const char* kUnshownText = "(a text that cannot be shown)";

bool EndsWithSeparator(const char* path)
{
    const std::size_t length = TextLength(path);
    return length > 0 && (path[length - 1] == '/' || path[length - 1] == '\\');
}

// `folder`, its separator and `file`, whose "/" become `separator`.
void JoinPath(const char* folder, char separator, const char* file, Utf8Text& path)
{
    if (TextEquals(file, kFolderItself)) {
        path.Assign(folder[0] != '\0' ? folder : kFolderItself);
        return;
    }
    path.Clear();
    if (folder[0] != '\0') {
        const char between[2] = {EndsWithSeparator(folder) ? '\0' : separator, '\0'};
        if (!path.Format("%s%s", folder, between)) {
            return;
        }
    }
    const std::size_t start = path.Length();
    if (!path.Append(file)) {
        path.Clear();
        return;
    }
    for (char* p = path.Data() + start; *p != '\0'; ++p) {
        if (*p == '/') {
            *p = separator;
        }
    }
}

}  // namespace

const char* ToUtf8(const ReportSettings& settings, const char* ansi, Utf8Text& utf8)
{
    if (settings.toUtf8 == nullptr || !settings.toUtf8(ansi, utf8.Data(), utf8.Capacity())) {
        utf8.Assign(kUnshownText);
    }
    return utf8.Get();
}

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

void ShownPath(const ReportSettings& settings, const char* file, Utf8Text& path)
{
    JoinPath(settings.shownFolder, settings.separator, file, path);
}

void RelativePath(const ReportSettings& settings, const char* file, Utf8Text& path)
{
    JoinPath(settings.relativeFolder, '/', file, path);
}

bool IsAbsolutePath(const char* path)
{
    const bool drive = ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) && path[1] == ':';
    return path[0] == '/' || drive;
}

}  // namespace boot
