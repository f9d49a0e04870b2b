#include "msi_file/format/path_kind.h"

#include <cerrno>
#include <cstring>

namespace boot::msi {

PathKind KindOfPath(const std::string& path)
{
    PathKind kind;
    if (::stat(path.c_str(), &kind.info) != 0) {
        kind.what = errno == ENOENT || errno == ENOTDIR ? "no such file" : std::strerror(errno);
        return kind;
    }
    const mode_t mode = kind.info.st_mode;
    kind.regular = S_ISREG(mode);
    kind.other = !kind.regular;
    if (S_ISDIR(mode)) {
        kind.what = "a folder";
    } else if (S_ISFIFO(mode)) {
        kind.what = "a FIFO";
    } else if (S_ISCHR(mode) || S_ISBLK(mode)) {
        kind.what = "a device";
    } else if (S_ISSOCK(mode)) {
        kind.what = "a socket";
    } else if (!kind.regular) {
        kind.what = "no regular file";
    }
    return kind;
}

}  // namespace boot::msi
