#include "msi_file/format/table_stream.h"

#include "msi_file/format/byte_order.h"

namespace boot::msi {

namespace {

constexpr std::uint32_t kShortBias = 0x8000;
constexpr std::uint32_t kLongBias = 0x80000000;
constexpr std::int32_t kShortMin = -0x7FFF;
constexpr std::int32_t kShortMax = 0x7FFF;

std::size_t IntegerBytes(const Column& column) { return column.Size() <= 2 ? 2 : 4; }

std::size_t FieldBytes(const Column& column, unsigned referenceBytes)
{
    if (column.IsBinary()) {
        return 2;
    }
    return column.IsText() ? referenceBytes : IntegerBytes(column);
}

}  // namespace

bool HoldsColumn(std::uint16_t mask, const Column& column, std::size_t index)
{
    if (IsAddMask(mask)) {
        return index < static_cast<std::size_t>(mask >> kAddCountShift);
    }
    return column.IsKey() || (index < kMaskColumns && (mask & (1u << index)) != 0);
}

bool EncodeRecord(const std::vector<Column>& columns, std::uint16_t mask, const Row& values,
                  const StringPoolBuilder& pool, std::string& out, std::string& error)
{
    std::string record;
    AppendLittleEndian(record, mask, 2);
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        if (!HoldsColumn(mask, column, i)) {
            continue;
        }
        const Value& value = i < values.size() ? values[i] : Value{};
        if (column.IsBinary()) {
            AppendLittleEndian(record, 0, 2);
        } else if (column.IsText()) {
            const std::uint32_t id = value.IsNull() ? 0 : pool.IdOf(value.text);
            if (id == 0 && !value.IsNull() && !value.text.empty()) {
                error = "the text \"" + value.text + "\" is not in the string pool";
                return false;
            }
            AppendLittleEndian(record, id, pool.ReferenceBytes());
        } else if (value.IsNull()) {
            AppendLittleEndian(record, 0, IntegerBytes(column));
        } else if (IntegerBytes(column) == 2) {
            if (value.integer < kShortMin || value.integer > kShortMax) {
                error = "the number " + std::to_string(value.integer) + " does not fit the column " + column.name;
                return false;
            }
            AppendLittleEndian(record, static_cast<std::uint32_t>(value.integer) + kShortBias, 2);
        } else {
            AppendLittleEndian(record, static_cast<std::uint32_t>(value.integer) ^ kLongBias, 4);
        }
    }
    out += record;
    return true;
}

bool DecodeRecord(const std::vector<Column>& columns, const std::string& stream, std::size_t& offset,
                  const StringPool& pool, std::uint16_t& mask, Row& values, std::string& error)
{
    if (!HasBytes(stream, offset, 2)) {
        error = "a record ends early";
        return false;
    }
    mask = static_cast<std::uint16_t>(ReadLittleEndian(stream, offset, 2));
    const bool namesOtherColumns = IsAddMask(mask) ? static_cast<std::size_t>(mask >> kAddCountShift) > columns.size()
                                                   : columns.size() < kMaskColumns && (mask >> columns.size()) != 0;
    if (namesOtherColumns) {
        error = "a record names more columns than its table has";
        return false;
    }
    std::size_t position = offset + 2;
    values.assign(columns.size(), Value{});
    for (std::size_t i = 0; i < columns.size(); ++i) {
        const Column& column = columns[i];
        if (!HoldsColumn(mask, column, i)) {
            continue;
        }
        const std::size_t bytes = FieldBytes(column, pool.referenceBytes);
        if (!HasBytes(stream, position, bytes)) {
            error = "a record ends early";
            return false;
        }
        const std::uint32_t raw = ReadLittleEndian(stream, position, bytes);
        position += bytes;
        if (column.IsBinary()) {
            values[i] = Value::Binary({});
        } else if (column.IsText()) {
            const std::string* text = pool.Find(raw);
            if (text == nullptr) {
                error = "a record names a string the pool does not hold";
                return false;
            }
            values[i] = raw == 0 ? Value::Null() : Value::Text(*text);
        } else if (raw != 0) {
            values[i] = Value::Integer(bytes == 2 ? static_cast<std::int32_t>(raw) - static_cast<std::int32_t>(kShortBias)
                                                  : static_cast<std::int32_t>(raw ^ kLongBias));
        }
    }
    offset = position;
    return true;
}

}  // namespace boot::msi
