#include "msi_file/reading/transform_reader.h"

#include <sys/stat.h>

#include <algorithm>

#include "msi_file/format/compound_file.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/string_pool.h"
#include "msi_file/format/summary_stream.h"
#include "msi_file/model/table_data.h"
#include "msi_file/format/table_stream.h"

namespace boot::msi {

namespace {

// The Property table as every package declares it.
const std::vector<Column>& PropertyColumns()
{
    constexpr std::uint16_t kText = kTypeValid | kTypeShort | kTypeString;
    static const std::vector<Column> columns = {{"Property", kText | kTypeKey | 72},
                                                {"Value", kText | kTypeLocalizable}};
    return columns;
}

std::string TableStreamName(const std::string& table) { return StreamNameUtf8(EncodeStreamName(table, true)); }

bool ReadPropertyChanges(const CompoundReader& file, const StringPool& pool, std::vector<PropertyChange>& changes,
                         std::string& error)
{
    std::string stream;
    if (!file.ReadStream(TableStreamName("Property"), stream)) {
        return true;  // the transform leaves the table alone
    }
    for (std::size_t offset = 0; offset < stream.size();) {
        std::uint16_t mask = 0;
        Row values;
        if (!DecodeRecord(PropertyColumns(), stream, offset, pool, mask, values, error)) {
            error.insert(0, "its Property table is damaged: ");
            return false;
        }
        PropertyChange change;
        change.name = values[0].text;
        change.value = values[1].text;
        if (mask == kDeleteMask) {
            change.kind = PropertyChange::Kind::deleted;
        } else if (!IsAddMask(mask)) {
            change.kind = PropertyChange::Kind::changed;
        }
        changes.push_back(change);
    }
    return true;
}

std::string KeyText(const std::string& table, const std::vector<Column>& columns, const Row& values)
{
    std::string key = table;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (columns[i].IsKey()) {
            key += '\t';
            key += values[i].kind == Value::Kind::integer ? std::to_string(values[i].integer) : values[i].text;
        }
    }
    return key;
}

// The rows every table stream of a table the package has writes.
bool ReadRowsWritten(const CompoundReader& file, const StringPool& pool, const TableColumns& columns,
                     std::vector<std::string>& rows, std::string& error)
{
    for (const std::string& name : file.StreamNames()) {
        bool isTable = false;
        const std::string table = DecodeStreamName(StreamNameUnits(name), isTable);
        const auto found = columns.find(table);
        std::string stream;
        if (!isTable || found == columns.end() || !file.ReadStream(name, stream)) {
            continue;
        }
        for (std::size_t offset = 0; offset < stream.size();) {
            std::uint16_t mask = 0;
            Row values;
            if (!DecodeRecord(found->second, stream, offset, pool, mask, values, error)) {
                error.insert(0, "its table " + table + " is damaged: ");
                return false;
            }
            rows.push_back(KeyText(table, found->second, values));
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return true;
}

}  // namespace

TransformFileKind ClassifyTransformFile(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) {
        return TransformFileKind::missing;
    }
    if (S_ISDIR(info.st_mode)) {
        return TransformFileKind::folder;
    }
    std::string error;
    const auto file = CompoundReader::Open(path, error);
    if (file == nullptr) {
        return TransformFileKind::notCompound;
    }
    return file->RootClassId() == kTransformClassId ? TransformFileKind::transform : TransformFileKind::otherClass;
}

const PropertyChange* TransformContents::FindPropertyChange(const std::string& name) const
{
    const auto found = std::find_if(propertyChanges.rbegin(), propertyChanges.rend(),
                                    [&name](const PropertyChange& change) { return change.name == name; });
    return found != propertyChanges.rend() ? &*found : nullptr;
}

bool ReadTransform(const std::string& path, TransformContents& contents, std::string& error,
                   const TableColumns* columns)
{
    contents = TransformContents{};
    const std::size_t complaints = CompoundFileComplaints();
    const auto file = CompoundReader::Open(path, error);
    if (file == nullptr) {
        return false;
    }
    if (file->RootClassId() != kTransformClassId) {
        error = "a compound file, but no transform";
        return false;
    }
    std::string summary;
    if (file->ReadStream(kSummaryStreamName, summary) && !DecodeSummaryStream(summary, contents.summary, error)) {
        return false;
    }
    std::string poolBytes;
    std::string data;
    StringPool pool;
    if (!file->ReadStream(TableStreamName("_StringPool"), poolBytes) ||
        !file->ReadStream(TableStreamName("_StringData"), data)) {
        error = "it has no string pool";
        return false;
    }
    if (!DecodeStringPool(poolBytes, data, pool, error) ||
        !ReadPropertyChanges(*file, pool, contents.propertyChanges, error) ||
        (columns != nullptr && !ReadRowsWritten(*file, pool, *columns, contents.rowsWritten, error))) {
        return false;
    }
    if (CompoundFileComplaints() != complaints) {
        error = "its compound file does not read as its directory says";
        return false;
    }
    return true;
}

}  // namespace boot::msi
