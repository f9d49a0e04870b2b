#pragma once
// The records of a transform's table stream. Unlike a database's tables, a transform
// stores its rows one after the other: a 16-bit mask, then the fields it names, in
// column order.
//
// - Mask 0 deletes the row; the record holds its key fields only.
// - Bit 0 set: the record adds the row (or replaces one with the same key); the high
//   byte counts the leading columns present, the others are null.
// - Any other mask changes the row: the key fields, then column i for each set bit i.
//
// Fields: a string is its id in the transform's own pool (2 or 3 bytes); an integer of
// up to 2 bytes is stored plus 0x8000, one of 4 bytes XOR 0x80000000, and null is 0 for
// both; a binary field takes 2 bytes, its data lives in a stream of its own.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "msi_file/format/string_pool.h"
#include "msi_file/model/table_data.h"

namespace boot::msi {

constexpr std::uint16_t kDeleteMask = 0;
// An add record counts its columns in the mask's high byte.
constexpr unsigned kAddCountShift = 8;
// Update masks have a bit for each of the first 16 columns only.
constexpr std::size_t kMaskColumns = 16;

// The mask of a record that adds a row with the `count` leading columns.
inline std::uint16_t AddMask(std::size_t count) { return static_cast<std::uint16_t>(count << kAddCountShift | 1u); }
inline bool IsAddMask(std::uint16_t mask) { return (mask & 1u) != 0; }

// Whether a record with this mask holds column `index`.
bool HoldsColumn(std::uint16_t mask, const Column& column, std::size_t index);

// Appends a record: the mask and the fields it holds, taken from `values` (one per
// column; text as the pool's ids). False, with the reason, for a field the format cannot
// hold: an integer out of its column's range, a text the pool lacks.
bool EncodeRecord(const std::vector<Column>& columns, std::uint16_t mask, const Row& values,
                  const StringPoolBuilder& pool, std::string& out, std::string& error);

// Reads the record at `offset` and moves past it. Fields the record does not hold are
// null; a binary field it holds is an empty binary value. False, with the reason, when
// the stream ends inside the record, names a column the table lacks or an id the pool
// does not hold.
bool DecodeRecord(const std::vector<Column>& columns, const std::string& stream, std::size_t& offset,
                  const StringPool& pool, std::uint16_t& mask, Row& values, std::string& error);

}  // namespace boot::msi
