#include "file_output/replaced_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace boot::file_output {

namespace {

constexpr mode_t kPermissionBits = 07777;
constexpr mode_t kNewFileMode = 0666;

// The replacement is the file it replaces for whoever reads it: root's writes keep the
// owner (which only root may give away), and the mode is set after, as fchown drops the
// set-user-ID bits.
bool TakeOverModeAndOwner(int file, const OutputPlace& place)
{
    if (!place.exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        return ::fchmod(file, kNewFileMode & ~mask) == 0;
    }
    if (::geteuid() == 0 && ::fchown(file, place.owner, place.group) != 0) {
        return false;
    }
    return ::fchmod(file, place.mode & kPermissionBits) == 0;
}

// The rename itself outlives a crash only once the folder's entry is on the disk.
void SyncFolder(const std::string& folder)
{
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        static_cast<void>(::fsync(handle));
        static_cast<void>(::close(handle));
    }
}

}  // namespace

bool ReplacedFile::Open(const OutputPlace& place, std::string& why)
{
    Discard();
    path_ = place.path;
    folder_ = place.folder;
    std::string name = (place.folder == "/" ? std::string() : place.folder) + "/.part-XXXXXX";
    file_ = ::mkstemp(name.data());
    if (file_ < 0) {
        why = std::strerror(errno);
        return false;
    }
    temporary_ = name;
    if (!TakeOverModeAndOwner(file_, place)) {
        why = std::string("cannot give the new file the mode and owner of the old: ") + std::strerror(errno);
        Discard();
        return false;
    }
    error_ = 0;
    return true;
}

void ReplacedFile::Write(const char* bytes, std::size_t count)
{
    while (count > 0 && error_ == 0 && file_ >= 0) {
        const ssize_t written = ::write(file_, bytes, count);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            error_ = written < 0 ? errno : EIO;
            return;
        }
        bytes += written;
        count -= static_cast<std::size_t>(written);
    }
}

bool ReplacedFile::Commit(std::string& why)
{
    if (file_ < 0) {
        why = "no file is open";
        return false;
    }
    if (error_ == 0 && ::fsync(file_) != 0) {
        error_ = errno;
    }
    if (::close(file_) != 0 && error_ == 0) {
        error_ = errno;
    }
    file_ = -1;
    if (error_ == 0 && std::rename(temporary_.c_str(), path_.c_str()) != 0) {
        error_ = errno;
    }
    if (error_ != 0) {
        why = std::strerror(error_);
        Discard();
        return false;
    }
    temporary_.clear();
    SyncFolder(folder_);
    return true;
}

void ReplacedFile::Discard()
{
    if (file_ >= 0) {
        static_cast<void>(::close(file_));
        file_ = -1;
    }
    if (!temporary_.empty()) {
        static_cast<void>(::unlink(temporary_.c_str()));
        temporary_.clear();
    }
}

bool WriteWholeFile(const OutputPlace& place, const std::string& bytes, std::string& why)
{
    ReplacedFile file;
    if (!file.Open(place, why)) {
        return false;
    }
    file.Write(bytes.data(), bytes.size());
    return file.Commit(why);
}

}  // namespace boot::file_output
