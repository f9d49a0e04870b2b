#pragma once
// A transform read back: whether a file is one at all, its summary information, and the
// rows of the Property table it adds, changes or deletes (a language transform changes
// ProductLanguage).

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "msi_file/model/summary_info.h"
#include "msi_file/model/table_data.h"

namespace boot::msi {

enum class TransformFileKind : std::uint8_t {
    transform,    // a compound file with the transform class id
    missing,
    folder,
    notCompound,  // a text, an empty file, anything else
    otherClass,   // a compound file of another kind: a package, a patch
};

TransformFileKind ClassifyTransformFile(const std::string& path);

struct PropertyChange {
    enum class Kind : std::uint8_t {
        added,    // the whole row: added, or put in place of one with that name
        changed,  // the value of an existing row
        deleted,
    };
    Kind kind = Kind::added;
    std::string name;
    std::string value;  // empty for a deleted row
};

// The columns of a package's tables, by table name: what a transform's table streams
// are read by.
using TableColumns = std::map<std::string, std::vector<Column>>;

struct TransformContents {
    SummaryInfo summary;  // empty when the transform has none
    std::vector<PropertyChange> propertyChanges;
    // The rows it adds, changes or deletes in the package's tables: the table's name, then
    // each key field, separated by tabs ("Property\tProductName"); empty when no columns
    // were given to read them by.
    std::vector<std::string> rowsWritten;

    // The last change to this property; null when the transform leaves it alone.
    const PropertyChange* FindPropertyChange(const std::string& name) const;
};

// False, with the reason, for a file that is no transform or whose streams are damaged.
// With `columns`, the rows it writes in those tables are read too.
bool ReadTransform(const std::string& path, TransformContents& contents, std::string& error,
                   const TableColumns* columns = nullptr);

}  // namespace boot::msi
