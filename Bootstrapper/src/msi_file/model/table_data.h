#pragma once
// A Windows Installer database in memory: its tables with their columns as `_Columns`
// describes them, and every row as typed values. Text is UTF-8 here; the database's own
// code page applies only where a file is read or written.

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "msi_file/model/summary_info.h"

namespace boot::msi {

// The bits of `_Columns.Type`.
constexpr std::uint16_t kTypeSizeMask = 0x00FF;
constexpr std::uint16_t kTypeValid = 0x0100;
constexpr std::uint16_t kTypeLocalizable = 0x0200;
// With kTypeString a text column; alone a 2-byte integer. A binary column has neither
// this bit nor a size.
constexpr std::uint16_t kTypeShort = 0x0400;
constexpr std::uint16_t kTypeString = 0x0800;
constexpr std::uint16_t kTypeNullable = 0x1000;
constexpr std::uint16_t kTypeKey = 0x2000;

struct Column {
    std::string name;
    std::uint16_t type = 0;

    bool IsKey() const { return (type & kTypeKey) != 0; }
    // A stream column ("v0"): its values live in streams of their own, not in the table.
    bool IsBinary() const { return (type & ~(kTypeNullable | kTypeKey)) == (kTypeString | kTypeValid); }
    bool IsText() const { return (type & kTypeString) != 0 && !IsBinary(); }
    unsigned Size() const { return type & kTypeSizeMask; }
};

struct Value {
    enum class Kind : std::uint8_t { null, integer, text, binary };
    Kind kind = Kind::null;
    std::int32_t integer = 0;
    std::string text;  // UTF-8 text, or the bytes of a binary stream

    static Value Null() { return {}; }
    static Value Integer(std::int32_t number) { return {Kind::integer, number, {}}; }
    static Value Text(std::string utf8) { return {Kind::text, 0, std::move(utf8)}; }
    static Value Binary(std::string bytes) { return {Kind::binary, 0, std::move(bytes)}; }

    bool IsNull() const { return kind == Kind::null; }
    bool operator==(const Value& other) const
    {
        return kind == other.kind && integer == other.integer && text == other.text;
    }
    bool operator!=(const Value& other) const { return !(*this == other); }
};

using Row = std::vector<Value>;

struct Table {
    std::string name;
    std::vector<Column> columns;  // in `_Columns.Number` order
    std::vector<Row> rows;
};

// A stream of the package that no table column owns (an embedded cabinet, for one).
struct LooseStream {
    std::string name;
    std::string bytes;
};

// The name of the stream that holds a row's binary field: the table and the row's keys,
// joined by dots.
std::string BinaryStreamName(const std::string& table, const std::vector<Column>& columns, const Row& row);

struct Database {
    std::uint32_t codePage = 0;  // 0: neutral
    std::vector<Table> tables;   // in name order
    std::vector<LooseStream> looseStreams;
    std::vector<LooseStream> storages;  // the root's storages, each flattened (CompoundReader::ReadStorage)
    SummaryInfo summary;

    const Table* FindTable(const std::string& name) const;
    // A row of the Property table; empty when there is none.
    std::string Property(const std::string& name) const;
};

}  // namespace boot::msi
