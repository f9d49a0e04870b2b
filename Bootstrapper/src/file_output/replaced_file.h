#pragma once
// An output file that appears only whole: written under a short temporary name beside its
// place (".part-" and six characters, so that a name as long as the file system allows
// still has room beside it), flushed to the disk, then renamed over the place in one step.
// A reader sees the old file or the new one, never half of it; a write that fails leaves
// the place as it was and nothing beside it. The new file keeps the mode of the one it
// replaces (and its owner, when root writes it); a new one gets 0666 less the umask.

#include <cstddef>
#include <string>

#include "file_output/output_place.h"

namespace boot::file_output {

class ReplacedFile {
public:
    ReplacedFile() = default;
    ReplacedFile(const ReplacedFile&) = delete;
    ReplacedFile& operator=(const ReplacedFile&) = delete;
    ~ReplacedFile() { Discard(); }

    // Makes the temporary file; false, with the reason, when it cannot be made.
    bool Open(const OutputPlace& place, std::string& why);
    // A failure is kept and told by Commit.
    void Write(const char* bytes, std::size_t count);
    // The place becomes the file written; false, with the reason, when it cannot.
    bool Commit(std::string& why);

private:
    void Discard();

    std::string path_;
    std::string folder_;
    std::string temporary_;
    int file_ = -1;
    int error_ = 0;  // errno of the first failed write
};

// The whole of `bytes` at `place`, as ReplacedFile writes it.
bool WriteWholeFile(const OutputPlace& place, const std::string& bytes, std::string& why);

}  // namespace boot::file_output
