#include "checker/reports/folder_paths.h"

#include <algorithm>

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

// The length of the names `folder` and `base` both begin with, whole names only.
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

void TrimFolderSeparators(std::string& path, bool backslash)
{
    // "C:\" and "/" keep the separator that makes them a root.
    const std::size_t keep = path.size() > 1 && path[1] == ':' ? 3 : 1;
    while (path.size() > keep && IsSeparator(path.back(), backslash)) {
        path.pop_back();
    }
}

void UseForwardSlashes(std::string& path) { std::replace(path.begin(), path.end(), '\\', '/'); }

bool RelativeFolder(const std::string& folderPath, const std::string& basePath, bool ignoreCase,
                    std::string& relative)
{
    relative.clear();
    const char* folder = folderPath.c_str();
    const char* base = basePath.c_str();
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
        if (*p != '/' && (p == base + common || p[-1] == '/')) {
            relative += relative.empty() ? ".." : "/..";
        }
    }
    const char* rest = folder + common;
    while (*rest == '/') {
        ++rest;
    }
    if (*rest != '\0') {
        relative += (relative.empty() ? "" : "/");
        relative += rest;
    }
    return true;
}

}  // namespace boot
