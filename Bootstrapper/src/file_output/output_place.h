#pragma once
// Where an output file of the authors' tools on Linux may go. A tool writes only the file it
// is told to, and never harms what it reads or what is no file: the place is resolved first
// (the real path of its folder, and a link followed to the file it names) and refused when it
// is a folder, a FIFO, a device or a socket, a link to nothing, one of the tool's inputs by
// any name, or anything inside a folder the tool reads.

#include <sys/types.h>

#include <string>
#include <vector>

namespace boot::file_output {

// What an output must keep clear of.
struct OutputGuard {
    std::vector<std::string> inputs;  // files the tool reads, as named to it
    std::string readFolder;           // a folder the tool reads whole, as named to it; empty: none
    std::string readFolderRole;       // what that folder is, in messages: "the folder being checked"
};

// A place an output may be written to.
struct OutputPlace {
    std::string path;    // the file to make or replace: its folder's real path and its name
    std::string folder;  // that folder's real path, where the temporary file goes
    bool exists = false;
    mode_t mode = 0;  // of the file there, kept by its replacement
    uid_t owner = 0;
    gid_t group = 0;
};

// False, with the reason ("it is a FIFO, not a file"), when the output `given` must not be
// written; otherwise its place.
bool FindOutputPlace(const std::string& given, const OutputGuard& guard, OutputPlace& place, std::string& why);

// A name for a message of one line: a name of thousands of characters is cut, and says
// how long it is.
std::string ShownName(const std::string& name);

}  // namespace boot::file_output
