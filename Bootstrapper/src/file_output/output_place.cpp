#include "file_output/output_place.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace boot::file_output {

namespace {

// `path` with ".", ".." and every link resolved; false, with errno set, when it cannot be.
bool RealPath(const std::string& path, std::string& real)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (resolved == nullptr) {
        return false;
    }
    real = resolved.get();
    return true;
}

// What a file of another kind than a regular one is, for a message; null for a regular file.
const char* KindOf(mode_t mode)
{
    if (S_ISREG(mode)) {
        return nullptr;
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return S_ISSOCK(mode) ? "a socket" : "no regular file";
}

std::string Joined(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string ParentOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

// The folder part and the last name of `given`; the name is empty, "." or ".." when
// `given` ends in a folder.
void Split(const std::string& given, std::string& folder, std::string& name)
{
    const std::size_t slash = given.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = given;
        return;
    }
    folder = slash == 0 ? std::string("/") : given.substr(0, slash);
    name = given.substr(slash + 1);
}

bool Refuse(const std::string& reason, std::string& why)
{
    why = reason;
    return false;
}

// The place `given` names, its links followed: a link to a file names that file, which is
// replaced while the link stays; a link to nothing names no file the user could mean.
bool ResolvePlace(const std::string& given, OutputPlace& place, std::string& why)
{
    std::string folder;
    std::string name;
    Split(given, folder, name);
    if (name.empty() || name == "." || name == "..") {
        struct stat info {};
        const bool exists = ::stat(given.c_str(), &info) == 0;
        return Refuse(exists ? "it is a folder, not a file" : "it names a folder, not a file", why);
    }
    std::string realFolder;
    if (!RealPath(folder, realFolder)) {
        return Refuse(std::strerror(errno), why);
    }
    std::string path = Joined(realFolder, name);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) {
        if (errno != ENOENT) {
            return Refuse(std::strerror(errno), why);
        }
        place.path = path;
        place.folder = realFolder;
        place.exists = false;
        return true;
    }
    if (S_ISLNK(info.st_mode)) {
        std::string target;
        if (!RealPath(path, target)) {
            return Refuse(errno == ENOENT ? "it is a link to nothing: name the file itself" : std::strerror(errno),
                          why);
        }
        path = target;
        if (::lstat(path.c_str(), &info) != 0) {
            return Refuse(std::strerror(errno), why);
        }
    }
    const char* kind = KindOf(info.st_mode);
    if (kind != nullptr) {
        return Refuse(std::string("it is ") + kind + ", not a file", why);
    }
    place.path = path;
    place.folder = ParentOf(path);
    place.exists = true;
    place.mode = info.st_mode;
    place.owner = info.st_uid;
    place.group = info.st_gid;
    return true;
}

bool IsSameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// An existing place that is one of the inputs, by whatever name or link it was given.
bool NamesAnInput(const OutputPlace& place, const OutputGuard& guard, std::string& why)
{
    struct stat written {};
    if (!place.exists || ::stat(place.path.c_str(), &written) != 0) {
        return false;
    }
    for (const std::string& input : guard.inputs) {
        struct stat read {};
        if (::stat(input.c_str(), &read) == 0 && IsSameFile(read, written)) {
            why = "it names the same file as " + ShownName(input) + ", which it is made from";
            return true;
        }
    }
    return false;
}

// The place's folder is the folder read, or lies below it: compared by device and inode
// on the way up, so that neither another name of the folder nor a bind mount hides it.
bool LiesInsideReadFolder(const OutputPlace& place, const OutputGuard& guard, std::string& why)
{
    struct stat read {};
    if (guard.readFolder.empty() || ::stat(guard.readFolder.c_str(), &read) != 0) {
        return false;
    }
    for (std::string folder = place.folder;; folder = ParentOf(folder)) {
        struct stat info {};
        if (::stat(folder.c_str(), &info) == 0 && IsSameFile(info, read)) {
            why = "it lies inside " + guard.readFolderRole + " (" + ShownName(guard.readFolder) +
                  "): name a file outside it";
            return true;
        }
        if (folder == "/") {
            return false;
        }
    }
}

}  // namespace

bool FindOutputPlace(const std::string& given, const OutputGuard& guard, OutputPlace& place, std::string& why)
{
    place = OutputPlace{};
    if (given.empty()) {
        return Refuse("no file is named", why);
    }
    return ResolvePlace(given, place, why) && !NamesAnInput(place, guard, why) &&
           !LiesInsideReadFolder(place, guard, why);
}

std::string ShownName(const std::string& name)
{
    constexpr std::size_t kShownBytes = 200;
    if (name.size() <= kShownBytes) {
        return name;
    }
    // Cut before a byte that continues a UTF-8 sequence, not in its middle.
    std::size_t cut = kShownBytes;
    constexpr unsigned char kContinuationMask = 0xC0;
    constexpr unsigned char kContinuation = 0x80;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & kContinuationMask) == kContinuation) {
        --cut;
    }
    return name.substr(0, cut) + "... (" + std::to_string(name.size()) + " bytes)";
}

}  // namespace boot::file_output
