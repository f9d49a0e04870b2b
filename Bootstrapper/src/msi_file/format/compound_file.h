#pragma once
// OLE compound files, the container of packages and transforms, read and composed with
// libgsf. A package or a transform keeps its streams in the root storage; a package's
// storages below it (embedded packages or transforms) are read whole, for comparison.

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
    // The names of the root's storages (embedded packages, transforms, ...).
    std::vector<std::string> StorageNames() const;
    // Everything a storage of the root holds, all the way down, named and sized in one
    // text: two storages hold the same exactly when their texts are equal. False when
    // there is no such storage, or it cannot be read.
    bool ReadStorage(const std::string& name, std::string& flattened) const;

private:
    explicit CompoundReader(void* infile);
    void* infile_;  // GsfInfile
    ClassId classId_{};
};

// How many inconsistencies libgsf has met in the compound files this process read so far
// (it reports each as a critical message, kept off stderr here, and reads on): a reading
// during which the count rose has read a damaged file leniently.
std::size_t CompoundFileComplaints();

// The bytes of a compound file whose root has `classId` and holds the streams. False,
// with the reason, when libgsf cannot compose it. The tools' front ends write the bytes.
bool ComposeCompoundFile(const ClassId& classId, const std::vector<CompoundStream>& streams, std::string& bytes,
                         std::string& error);

}  // namespace boot::msi
