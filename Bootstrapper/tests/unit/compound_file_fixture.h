#pragma once
// Compound files written for the tests as the tools write theirs: composed by msi_file,
// then written whole at their place by file_output.

#include <functional>
#include <string>
#include <vector>

#include "file_output/output_place.h"
#include "file_output/replaced_file.h"
#include "msi_file/format/byte_order.h"
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

// The compound file `bytes` (of 512-byte sectors, as libgsf writes a small one) as a file
// cut short inside its stream `name` (packed, of the file's own sectors): the stream's
// chain runs on into a sector the file lacks (the first, or `skipped` after it), and its
// size says so. False when the stream is not there or the sector table has no room for
// that sector.
inline bool RunStreamPastTheEnd(std::string& bytes, const std::u16string& name, std::uint32_t skipped = 0)
{
    constexpr std::size_t kSector = 512;
    constexpr std::size_t kNumber = 4;
    constexpr std::size_t kPerSector = kSector / kNumber;
    constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
    const auto at = [&bytes](std::uint32_t sector) {  // the sector table's entry of `sector`
        const std::uint32_t table = ReadLittleEndian(bytes, 76 + kNumber * (sector / kPerSector), kNumber);
        return (table + 1) * kSector + kNumber * (sector % kPerSector);
    };
    const auto next = [&](std::uint32_t sector) { return ReadLittleEndian(bytes, at(sector), kNumber); };
    const auto set = [&bytes](std::size_t offset, std::uint32_t value) {
        std::string number;
        AppendLittleEndian(number, value, kNumber);
        bytes.replace(offset, kNumber, number);
    };
    std::string units;
    for (const char16_t unit : name + u'\0') {
        AppendLittleEndian(units, unit, 2);
    }
    const auto beyond = static_cast<std::uint32_t>(bytes.size() / kSector - 1 + skipped);
    if (beyond / kPerSector >= ReadLittleEndian(bytes, 44, kNumber) || next(beyond) != 0xFFFFFFFF) {
        return false;
    }
    for (std::uint32_t sector = ReadLittleEndian(bytes, 48, kNumber); sector != kEndOfChain; sector = next(sector)) {
        for (std::size_t entry = (sector + 1) * kSector; entry < (sector + 2) * kSector; entry += 128) {
            if (bytes.compare(entry, units.size(), units) != 0) {
                continue;
            }
            std::uint32_t last = ReadLittleEndian(bytes, entry + 116, kNumber);
            while (next(last) != kEndOfChain) {
                last = next(last);
            }
            set(at(last), beyond);
            set(at(beyond), kEndOfChain);
            set(entry + 120, ReadLittleEndian(bytes, entry + 120, kNumber) + kSector);
            return true;
        }
    }
    return false;
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
