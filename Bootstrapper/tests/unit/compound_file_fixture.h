#pragma once
// Compound files written for the tests as the tools write theirs: composed by msi_file,
// then written whole at their place by file_output.

#include <functional>
#include <string>
#include <vector>

#include "file_output/output_place.h"
#include "file_output/replaced_file.h"
#include "msi_file/format/compound_file.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/string_pool.h"

namespace boot::msi {

inline bool WriteCompoundFile(const std::string& path, const ClassId& classId,
                              const std::vector<CompoundStream>& streams, std::string& error)
{
    std::string bytes;
    file_output::OutputPlace place;
    return ComposeCompoundFile(classId, streams, bytes, error) &&
           file_output::FindOutputPlace(path, {}, place, error) && file_output::WriteWholeFile(place, bytes, error);
}

inline bool WriteTransformFile(const std::string& path, const std::vector<CompoundStream>& streams,
                               std::string& error)
{
    return WriteCompoundFile(path, kTransformClassId, streams, error);
}

// A copy of the compound file `from` (of streams only) at `to`, with the bytes of its
// stream `table` (a table's name: "_StringPool") changed by `edit`.
inline bool CopyWithTableStream(const std::string& from, const std::string& to, const std::string& table,
                                const std::function<void(std::string&)>& edit, std::string& error)
{
    const auto file = CompoundReader::Open(from, error);
    if (file == nullptr) {
        return false;
    }
    std::vector<CompoundStream> streams;
    for (const std::string& name : file->StreamNames()) {
        streams.push_back({name, {}});
        if (!file->ReadStream(name, streams.back().bytes)) {
            error = "cannot read " + name;
            return false;
        }
        if (name == StreamNameUtf8(EncodeStreamName(table, true))) {
            edit(streams.back().bytes);
        }
    }
    return WriteCompoundFile(to, file->RootClassId(), streams, error);
}

// The id of `text` in the string pool of the package at `path`; 0 when it has none.
inline std::uint32_t StringIdOf(const std::string& path, const std::string& text)
{
    std::string error;
    const auto file = CompoundReader::Open(path, error);
    std::string pool;
    std::string data;
    StringPool decoded;
    if (file == nullptr || !file->ReadStream(StreamNameUtf8(EncodeStreamName("_StringPool", true)), pool) ||
        !file->ReadStream(StreamNameUtf8(EncodeStreamName("_StringData", true)), data) ||
        !DecodeStringPool(pool, data, decoded, error)) {
        return 0;
    }
    for (std::uint32_t id = 1; id < decoded.strings.size(); ++id) {
        if (decoded.strings[id] == text) {
            return id;
        }
    }
    return 0;
}

}  // namespace boot::msi
