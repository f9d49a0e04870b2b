#include "msi_file/table_data.h"

namespace boot::msi {

std::string BinaryStreamName(const std::string& table, const std::vector<Column>& columns, const Row& row)
{
    std::string name = table;
    for (std::size_t i = 0; i < columns.size() && i < row.size(); ++i) {
        if (columns[i].IsKey()) {
            name += '.';
            name += row[i].kind == Value::Kind::integer ? std::to_string(row[i].integer) : row[i].text;
        }
    }
    return name;
}

const Table* Database::FindTable(const std::string& name) const
{
    for (const Table& table : tables) {
        if (table.name == name) {
            return &table;
        }
    }
    return nullptr;
}

std::string Database::Property(const std::string& name) const
{
    const Table* table = FindTable("Property");
    if (table == nullptr || table->columns.size() < 2) {
        return {};
    }
    for (const Row& row : table->rows) {
        if (row[0].text == name) {
            return row[1].text;
        }
    }
    return {};
}

}  // namespace boot::msi
