#pragma once
// What a path names, asked before a reader opens it: only a regular file is opened, as a
// FIFO would hold the reader until something writes into it and a device may never end.

#include <sys/stat.h>

#include <string>

namespace boot::msi {

struct PathKind {
    bool regular = false;
    bool other = false;    // something else is there: a folder, a FIFO, ...
    std::string what;      // what is there instead of a file: "a folder", "a FIFO", "a device",
                           // "a socket", "no such file", or why it cannot be looked at
    struct stat info {};
};

PathKind KindOfPath(const std::string& path);

}  // namespace boot::msi
