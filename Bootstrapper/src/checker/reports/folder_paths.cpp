#include "checker/reports/folder_paths.h"

#include "common/text_rules.h"

namespace boot {

namespace {

bool IsSeparator(char c, bool backslash) { return c == '/' || (backslash && c == '\\'); }

// The length of the root: "/" (1), "//server/share" or "C:" (the root's own "/" follows).
std::size_t RootLength(const char* path)
{
    if (path[0] == '/' && path[1] == '/') {
        std::size_t length = 2;
        for (int names = 0; names < 2; ++names) {
            while (path[length] != '\0' && path[length] != '/') {
                ++length;
            }
            if (names == 0 && path[length] == '/') {
                ++length;
            }
        }
        return length;
    }
    if (path[0] != '\0' && path[1] == ':') {
        return 2;
    }
    return path[0] == '/' ? 1 : 0;
}

bool SameByte(char a, char b, bool ignoreCase)
{
    return ignoreCase ? LowerAscii(a) == LowerAscii(b) : a == b;
}

// Whether `path` begins with `prefix` as a whole name: followed by "/" or its end.
std::size_t CommonNames(const char* folder, const char* base, bool ignoreCase)
{
    std::size_t common = 0;  // the length of the names both share
    std::size_t i = 0;
    while (true) {
        const bool folderEnds = folder[i] == '\0' || folder[i] == '/';
        const bool baseEnds = base[i] == '\0' || base[i] == '/';
        if (folderEnds && baseEnds) {
            common = i;
            if (folder[i] == '\0' || base[i] == '\0') {
                return common;
            }
        } else if (folderEnds != baseEnds || !SameByte(folder[i], base[i], ignoreCase)) {
            return common;
        }
        ++i;
    }
}

}  // namespace

void TrimFolderSeparators(char* path, bool backslash)
{
    std::size_t length = TextLength(path);
    // "C:\" and "/" keep the separator that makes them a root.
    const std::size_t keep = path[0] != '\0' && path[1] == ':' ? 3 : 1;
    while (length > keep && IsSeparator(path[length - 1], backslash)) {
        path[--length] = '\0';
    }
}

void UseForwardSlashes(char* path)
{
    for (char* p = path; *p != '\0'; ++p) {
        if (*p == '\\') {
            *p = '/';
        }
    }
}

bool RelativeFolder(const char* folder, const char* base, bool ignoreCase, Utf8Text& relative)
{
    relative.Clear();
    const std::size_t root = RootLength(folder);
    if (root == 0 || root != RootLength(base)) {
        return false;
    }
    for (std::size_t i = 0; i < root; ++i) {
        if (!SameByte(folder[i], base[i], ignoreCase)) {
            return false;
        }
    }
    std::size_t common = CommonNames(folder, base, ignoreCase);
    if (common < root) {
        common = root;
    }
    // One ".." for each name of the base beyond the common part, then the folder's own.
    for (const char* p = base + common; *p != '\0'; ++p) {
        const bool startsName = *p != '/' && (p == base + common || p[-1] == '/');
        if (startsName && !relative.Append(relative.IsEmpty() ? ".." : "/..")) {
            return false;
        }
    }
    const char* rest = folder + common;
    while (*rest == '/') {
        ++rest;
    }
    if (*rest != '\0') {
        return relative.AppendFormat("%s%s", relative.IsEmpty() ? "" : "/", rest);
    }
    return true;
}

}  // namespace boot
