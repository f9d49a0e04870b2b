#pragma once
// The difference of two databases, table by table, as the records of a transform's table
// streams: rows added, deleted and changed, tables added and dropped.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "msi_file/model/table_data.h"

namespace boot::msi {

struct TransformRecord {
    std::uint16_t mask = 0;
    Row values;  // one per column; the fields the mask leaves out are not written
};

// The records of one table stream.
struct TableRecords {
    std::vector<Column> columns;  // the layout the records follow
    std::vector<TransformRecord> records;
};

// Every table stream of a transform, by table name (`_Tables` and `_Columns` among them
// when tables are added or dropped).
using TransformChanges = std::map<std::string, TableRecords>;

// The columns of the two system tables that list the tables and their columns.
const std::vector<Column>& TablesTableColumns();
const std::vector<Column>& ColumnsTableColumns();

// Adds the records that turn `base` into `target` to `changes`. Either may be null: a
// table that only the target has is added, one that only the base has is dropped. False,
// with the reason, for a difference a transform cannot express: a table whose columns
// changed, one without a key, a null binary field before a key or a field past the 16th.
bool DiffTable(const Table* base, const Table* target, TransformChanges& changes, std::string& why);

}  // namespace boot::msi
