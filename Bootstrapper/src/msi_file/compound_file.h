#pragma once
// OLE compound files, the container of packages and transforms, read and written with
// libgsf. Only the streams of the root storage count here: a package or a transform
// keeps everything there.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace boot::msi {

constexpr std::size_t kClassIdBytes = 16;
using ClassId = std::array<std::uint8_t, kClassIdBytes>;

struct CompoundStream {
    std::string name;   // as libgsf names it: the UTF-8 form of the UTF-16 units
    std::string bytes;
};

// A compound file open for reading.
class CompoundReader {
public:
    // Null, with the reason, for a path that is no readable compound file.
    static std::unique_ptr<CompoundReader> Open(const std::string& path, std::string& error);
    ~CompoundReader();
    CompoundReader(const CompoundReader&) = delete;
    CompoundReader& operator=(const CompoundReader&) = delete;

    ClassId RootClassId() const { return classId_; }
    // The names of the root's streams (storages below it left out).
    std::vector<std::string> StreamNames() const;
    // False when the root holds no stream of that name, or it cannot be read.
    bool ReadStream(const std::string& name, std::string& bytes) const;

private:
    explicit CompoundReader(void* infile);
    void* infile_;  // GsfInfile
    ClassId classId_{};
};

// Writes the streams into a compound file whose root has `classId`. The file appears
// only whole: it is written beside `path` under a temporary name and then renamed.
// False, with the reason, when it cannot be written; nothing is left behind then.
bool WriteCompoundFile(const std::string& path, const ClassId& classId, const std::vector<CompoundStream>& streams,
                       std::string& error);

}  // namespace boot::msi
