#include "msi_file/model/table_data.h"

#include <algorithm>

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
    const auto found =
        std::find_if(tables.begin(), tables.end(), [&name](const Table& table) { return table.name == name; });
    return found != tables.end() ? &*found : nullptr;
}

std::string Database::Property(const std::string& name) const
{
    const Table* table = FindTable("Property");
    if (table == nullptr || table->columns.size() < 2) {
        return {};
    }
    const auto found = std::find_if(table->rows.begin(), table->rows.end(),
                                    [&name](const Row& row) { return row[0].text == name; });
    return found != table->rows.end() ? (*found)[1].text : std::string();
}

}  // namespace boot::msi
