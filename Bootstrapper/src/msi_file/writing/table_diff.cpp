#include "msi_file/writing/table_diff.h"

#include <algorithm>
#include <unordered_map>
#include <utility>

#include "msi_file/format/table_stream.h"

namespace boot::msi {

namespace {

constexpr std::uint16_t kSystemName = kTypeValid | kTypeString | kTypeKey | 64;
constexpr std::uint16_t kSystemNumber = kTypeValid | kTypeKey | 2;

std::string Describe(const Value& value)
{
    return value.kind == Value::Kind::integer ? std::to_string(value.integer) : value.text;
}

// The row's keys as one text that tells rows apart.
std::string KeyOf(const std::vector<Column>& columns, const Row& row)
{
    std::string key;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].IsKey()) {
            const std::string text = Describe(row[i]);
            key += std::to_string(static_cast<int>(row[i].kind)) + ":" + std::to_string(text.size()) + ":" + text;
        }
    }
    return key;
}

// The row's keys for a message: "Property ProductName".
std::string RowName(const std::string& table, const std::vector<Column>& columns, const Row& row)
{
    std::string name = "table " + table + ", row";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].IsKey()) {
            name += " " + Describe(row[i]);
        }
    }
    return name;
}

std::string ColumnText(const Column& column)
{
    return column.name + " (type " + std::to_string(column.type) + ")";
}

bool SameColumns(const std::string& table, const std::vector<Column>& base, const std::vector<Column>& target,
                 std::string& why)
{
    for (std::size_t i = 0; i < base.size() || i < target.size(); ++i) {
        const bool same = i < base.size() && i < target.size() && base[i].name == target[i].name &&
                          base[i].type == target[i].type;
        if (!same) {
            why = "the columns of table " + table + " differ: column " + std::to_string(i + 1) + " is " +
                  (i < base.size() ? ColumnText(base[i]) : "missing") + " in the base and " +
                  (i < target.size() ? ColumnText(target[i]) : "missing") +
                  " in the target; a transform changes rows, not a table's columns";
            return false;
        }
    }
    return true;
}

// The records that add `row`: one with its leading columns up to the last one that is
// not null. Windows Installer's readers open the stream of every binary field a record
// holds, and Wine drops the whole row when it is missing; so a null binary field before
// other fields ends the added columns there, and an update of the same row sets the
// columns after it.
bool AddRecords(const std::string& table, const std::vector<Column>& columns, const Row& row,
                std::vector<TransformRecord>& records, std::string& why)
{
    std::size_t count = columns.size();
    while (count > 0 && row[count - 1].IsNull()) {
        --count;
    }
    std::size_t added = 0;
    while (added < count && !(columns[added].IsBinary() && row[added].IsNull())) {
        ++added;
    }
    std::uint32_t later = 0;
    for (std::size_t i = added; i < count; ++i) {
        if (row[i].IsNull()) {
            continue;
        }
        if (columns[i].IsKey() || i >= kMaskColumns) {
            why = RowName(table, columns, row) + ": its null binary field " + columns[added].name +
                  " comes before the field " + columns[i].name + ", which no update of the added row can set";
            return false;
        }
        later |= 1u << i;
    }
    records.push_back({AddMask(added), row});
    if (later != 0) {
        records.push_back({static_cast<std::uint16_t>(later), row});
    }
    return true;
}

bool HasKey(const std::string& table, const std::vector<Column>& columns, std::string& why)
{
    if (columns.empty() || !columns[0].IsKey()) {
        why = "table " + table + " does not begin with a key column";
        return false;
    }
    return true;
}

bool AddTable(const Table& target, TransformChanges& changes, std::string& why)
{
    if (!HasKey(target.name, target.columns, why)) {
        return false;
    }
    TableRecords& tables = changes["_Tables"];
    tables.columns = TablesTableColumns();
    tables.records.push_back({AddMask(1), {Value::Text(target.name)}});
    TableRecords& columns = changes["_Columns"];
    columns.columns = ColumnsTableColumns();
    for (std::size_t i = 0; i < target.columns.size(); ++i) {
        const Column& column = target.columns[i];
        columns.records.push_back({AddMask(4),
                                   {Value::Text(target.name), Value::Integer(static_cast<std::int32_t>(i + 1)),
                                    Value::Text(column.name), Value::Integer(column.type)}});
    }
    TableRecords& rows = changes[target.name];
    rows.columns = target.columns;
    return std::all_of(target.rows.begin(), target.rows.end(), [&](const Row& row) {
        return AddRecords(target.name, target.columns, row, rows.records, why);
    });
}

void DropTable(const Table& base, TransformChanges& changes)
{
    TableRecords& tables = changes["_Tables"];
    tables.columns = TablesTableColumns();
    tables.records.push_back({kDeleteMask, {Value::Text(base.name)}});
}

// The records that turn one row into the other: an update of the changed columns, or,
// where a changed column has no bit in the mask, the row deleted and added again.
bool ChangeRecords(const std::string& table, const std::vector<Column>& columns, const Row& before, const Row& after,
                   std::vector<TransformRecord>& records, std::string& why)
{
    std::uint32_t mask = 0;
    bool beyondMask = false;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (before[i] == after[i]) {
            continue;
        }
        if (columns[i].IsBinary() && after[i].IsNull()) {
            why = RowName(table, columns, after) + ": its binary field " + columns[i].name +
                  " becomes null, which no transform record can express";
            return false;
        }
        if (i < kMaskColumns) {
            mask |= 1u << i;
        } else {
            beyondMask = true;
        }
    }
    if (mask == 0 && !beyondMask) {
        return true;
    }
    if (!beyondMask) {
        records.push_back({static_cast<std::uint16_t>(mask), after});
        return true;
    }
    records.push_back({kDeleteMask, before});
    return AddRecords(table, columns, after, records, why);
}

bool DiffRows(const Table& base, const Table& target, TransformChanges& changes, std::string& why)
{
    const std::vector<Column>& columns = target.columns;
    std::unordered_map<std::string, std::size_t> baseRows;
    for (std::size_t i = 0; i < base.rows.size(); ++i) {
        baseRows.emplace(KeyOf(columns, base.rows[i]), i);
    }
    std::vector<bool> kept(base.rows.size(), false);
    std::vector<TransformRecord> changed;
    std::vector<TransformRecord> added;
    for (const Row& row : target.rows) {
        const auto found = baseRows.find(KeyOf(columns, row));
        if (found == baseRows.end()) {
            if (!AddRecords(target.name, columns, row, added, why)) {
                return false;
            }
            continue;
        }
        kept[found->second] = true;
        if (!ChangeRecords(target.name, columns, base.rows[found->second], row, changed, why)) {
            return false;
        }
    }
    std::vector<TransformRecord> records;
    for (std::size_t i = 0; i < base.rows.size(); ++i) {
        if (!kept[i]) {
            records.push_back({kDeleteMask, base.rows[i]});
        }
    }
    records.insert(records.end(), changed.begin(), changed.end());
    records.insert(records.end(), added.begin(), added.end());
    if (!records.empty()) {
        TableRecords& stream = changes[target.name];
        stream.columns = columns;
        stream.records = std::move(records);
    }
    return true;
}

}  // namespace

const std::vector<Column>& TablesTableColumns()
{
    static const std::vector<Column> columns = {{"Name", kSystemName}};
    return columns;
}

const std::vector<Column>& ColumnsTableColumns()
{
    static const std::vector<Column> columns = {{"Table", kSystemName},
                                                {"Number", kSystemNumber},
                                                {"Name", kTypeValid | kTypeString | 64},
                                                {"Type", kTypeValid | 2}};
    return columns;
}

bool DiffTable(const Table* base, const Table* target, TransformChanges& changes, std::string& why)
{
    if (target == nullptr) {
        if (base != nullptr) {
            DropTable(*base, changes);
        }
        return true;
    }
    if (base == nullptr) {
        return AddTable(*target, changes, why);
    }
    return SameColumns(target->name, base->columns, target->columns, why) &&
           HasKey(target->name, target->columns, why) && DiffRows(*base, *target, changes, why);
}

}  // namespace boot::msi
