#include "msi_file/reading/package_reader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include <gio/gio.h>
#include <libmsi.h>

#include "msi_file/format/byte_order.h"
#include "msi_file/format/code_page_text.h"
#include "msi_file/format/compound_file.h"
#include "msi_file/reading/isolated_run.h"
#include "msi_file/reading/package_damage.h"
#include "msi_file/format/path_kind.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/string_pool.h"

namespace boot::msi {

namespace {

constexpr std::uint32_t kErrorOpenFailed = 110;
constexpr std::uint32_t kErrorAccessDenied = 5;
constexpr std::uint32_t kErrorFunctionFailed = 1627;

// libmsi's results are Windows Installer's, by name and in this order.
constexpr std::uint32_t kWindowsResults[] = {
    kErrorFunctionFailed,  // SUCCESS, which a failure never is
    5,                     // ACCESS_DENIED
    6,                     // INVALID_HANDLE
    8,                     // NOT_ENOUGH_MEMORY
    13,                    // INVALID_DATA
    14,                    // OUTOFMEMORY
    87,                    // INVALID_PARAMETER
    kErrorOpenFailed,
    120,                   // CALL_NOT_IMPLEMENTED
    234,                   // MORE_DATA
    1168,                  // NOT_FOUND
    1246,                  // CONTINUE
    1608,                  // UNKNOWN_PROPERTY
    1615,                  // BAD_QUERY_SYNTAX
    1616,                  // INVALID_FIELD
    kErrorFunctionFailed,
    1628,                  // INVALID_TABLE
    1629,                  // DATATYPE_MISMATCH
    1804,                  // INVALID_DATATYPE
};
static_assert(sizeof kWindowsResults / sizeof kWindowsResults[0] == LIBMSI_RESULT_INVALID_DATATYPE + 1,
              "one Windows result for each of libmsi's");

void SetResult(std::uint32_t* windowsResult, std::uint32_t value)
{
    if (windowsResult != nullptr) {
        *windowsResult = value;
    }
}

// The Windows result of a failed libmsi call.
std::uint32_t WindowsResultOf(const GError* error)
{
    const bool known = error != nullptr && error->domain == LIBMSI_RESULT_ERROR && error->code >= 0 &&
                       static_cast<std::size_t>(error->code) < sizeof kWindowsResults / sizeof kWindowsResults[0];
    return known ? kWindowsResults[error->code] : kErrorFunctionFailed;
}

std::string Reason(GError*& error, const std::string& what)
{
    std::string reason = what;
    if (error != nullptr && error->message != nullptr && error->message[0] != '\0') {
        reason += ": ";
        reason += error->message;
    }
    g_clear_error(&error);
    return reason;
}

template <typename Object>
struct Unref {
    void operator()(Object* object) const
    {
        if (object != nullptr) {
            g_object_unref(object);
        }
    }
};
template <typename Object>
using Owned = std::unique_ptr<Object, Unref<Object>>;

// Text that libmsi hands over unconverted (the summary's strings) as UTF-8.
std::string AsUtf8(const char* text)
{
    std::string bytes = text != nullptr ? text : "";
    std::string utf8;
    if (g_utf8_validate(bytes.c_str(), static_cast<gssize>(bytes.size()), nullptr) != FALSE) {
        return bytes;
    }
    return DecodeCodePage(bytes, kWesternCodePage, utf8) ? utf8 : std::string();
}

bool ReadWholeStream(GInputStream* stream, std::string& bytes)
{
    constexpr std::size_t kChunk = 65536;
    bytes.clear();
    for (;;) {
        const std::size_t done = bytes.size();
        bytes.resize(done + kChunk);
        gsize read = 0;
        GError* error = nullptr;
        const bool ok = g_input_stream_read_all(stream, &bytes[done], kChunk, &read, nullptr, &error) != FALSE;
        g_clear_error(&error);
        bytes.resize(done + read);
        if (!ok) {
            return false;
        }
        if (read < kChunk) {
            return true;
        }
    }
}

// The type letters of a query's columns ("s72", "I4", "v0", ...), lower-cased.
bool ColumnKinds(LibmsiQuery* query, std::vector<char>& kinds, std::string& error)
{
    GError* failure = nullptr;
    Owned<LibmsiRecord> types(libmsi_query_get_column_info(query, LIBMSI_COL_INFO_TYPES, &failure));
    if (types == nullptr) {
        error = Reason(failure, "the query's columns cannot be read");
        return false;
    }
    g_clear_error(&failure);
    kinds.clear();
    const guint count = libmsi_record_get_field_count(types.get());
    for (guint field = 1; field <= count; ++field) {
        gchar* type = libmsi_record_get_string(types.get(), field);
        kinds.push_back(type != nullptr ? static_cast<char>(g_ascii_tolower(type[0])) : 's');
        g_free(type);
    }
    return true;
}

bool FieldValue(LibmsiRecord* record, guint field, char kind, Value& value)
{
    if (libmsi_record_is_null(record, field) != FALSE) {
        value = Value::Null();
        return true;
    }
    if (kind == 'i') {
        value = Value::Integer(libmsi_record_get_int(record, field));
        return true;
    }
    if (kind == 'v') {
        Owned<GInputStream> stream(libmsi_record_get_stream(record, field));
        std::string bytes;
        if (stream == nullptr || !ReadWholeStream(stream.get(), bytes)) {
            return false;
        }
        value = Value::Binary(std::move(bytes));
        return true;
    }
    gchar* text = libmsi_record_get_string(record, field);
    value = Value::Text(text != nullptr ? text : "");
    g_free(text);
    return true;
}

// The database's code page: the first entry of its string pool.
std::uint32_t ReadCodePage(const std::string& path)
{
    std::string error;
    std::string pool;
    const auto file = CompoundReader::Open(path, error);
    if (file == nullptr || !file->ReadStream(StreamNameUtf8(EncodeStreamName("_StringPool", true)), pool) ||
        pool.size() < 4) {
        return kNeutralCodePage;
    }
    return ReadLittleEndian(pool, 0, 4) & ~kLongReferencesFlag;
}

bool ReadStorages(const std::string& path, std::vector<LooseStream>& storages, std::string& error)
{
    const auto file = CompoundReader::Open(path, error);
    if (file == nullptr) {
        return false;
    }
    for (const std::string& name : file->StorageNames()) {
        bool isTable = false;
        LooseStream storage{DecodeStreamName(StreamNameUnits(name), isTable), {}};
        if (!file->ReadStorage(name, storage.bytes)) {
            error = "its storage " + storage.name + " cannot be read";
            return false;
        }
        storages.push_back(std::move(storage));
    }
    std::sort(storages.begin(), storages.end(),
              [](const LooseStream& a, const LooseStream& b) { return a.name < b.name; });
    return true;
}

// Windows Installer opens a transform or a patch as no package: a patch, which it opens
// only when told it is one (MSIDBOPEN_PATCHFILE), with ERROR_OPEN_FAILED, as documented;
// a transform as any other file that is no package.
bool IsPackageStorage(const std::string& path, std::string& error, std::uint32_t* windowsResult)
{
    std::string unused;
    const auto file = CompoundReader::Open(path, unused);
    if (file == nullptr || (file->RootClassId() != kTransformClassId && file->RootClassId() != kPatchClassId)) {
        return true;  // libmsi says what it is instead
    }
    const bool patch = file->RootClassId() == kPatchClassId;
    error = patch ? "not a package but a patch" : "not a package but a transform";
    SetResult(windowsResult, patch ? kErrorOpenFailed : kErrorFunctionFailed);
    return false;
}

}  // namespace

struct Package::State {
    Owned<LibmsiDatabase> database;
    std::map<std::string, std::vector<Column>> columns;  // of each persistent table
    std::string path;
    std::string version;  // FileVersion when opened
    // The whole reading ran to its end in a child on this version: what it asks, while it
    // reads through this package (`readingWhole`), needs no child of its own.
    bool readWhole = false;
    bool readingWhole = false;
};

bool Package::Survives(const std::string& what, std::string& error) const
{
    if (InIsolatedChild() || (state_->readWhole && state_->readingWhole)) {
        return true;
    }
    return SurvivesReadingAlone(state_->path, state_->version, what, error);
}

Package::Package(std::unique_ptr<State> state) : state_(std::move(state)) {}

Package::~Package() = default;

const std::map<std::string, std::vector<Column>>& Package::Columns() const { return state_->columns; }

std::unique_ptr<Package> Package::Open(const std::string& path, std::string& error, std::uint32_t* windowsResult)
{
    const PathKind kind = KindOfPath(path);
    if (!kind.regular) {
        // Never opened: a FIFO would hold the reader until something writes into it.
        error = kind.other ? kind.what + ", no package" : kind.what;
        SetResult(windowsResult, kErrorOpenFailed);
        return nullptr;
    }
    if (access(path.c_str(), R_OK) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        SetResult(windowsResult, kErrorAccessDenied);
        return nullptr;
    }
    const Complaints complaints = ComplaintsSoFar();
    auto state = std::make_unique<State>();
    state->path = path;
    state->version = FileVersion(path, kind.info);
    const auto damaged = DamagedVersions().find(state->version);
    if (damaged != DamagedVersions().end()) {
        error = damaged->second;
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    if (!IsWholeCompoundFile(path, error) || !HasWholeStringPool(path, error) ||
        !SurvivesReading(path, state->version, state->readWhole, error)) {
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    if (!IsPackageStorage(path, error, windowsResult)) {
        return nullptr;
    }
    GError* failure = nullptr;
    state->database.reset(libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &failure));
    if (state->database == nullptr) {
        // Any file there that is no package, as Windows Installer answers for it.
        error = Reason(failure, "no Windows Installer package");
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    g_clear_error(&failure);
    // Opening is where the whole reading begins: its query of the columns was made there.
    state->readingWhole = true;
    std::unique_ptr<Package> package(new Package(std::move(state)));
    std::vector<Row> rows;
    if (!package->Select("SELECT `Table`,`Number`,`Name`,`Type` FROM `_Columns`", rows, error, windowsResult)) {
        return nullptr;
    }
    package->state_->readingWhole = false;
    std::map<std::string, std::map<std::int32_t, Column>> numbered;
    for (const Row& row : rows) {
        if (row.size() != 4 || row[1].kind != Value::Kind::integer || row[3].kind != Value::Kind::integer) {
            error = "its _Columns table is damaged";
            SetResult(windowsResult, kErrorFunctionFailed);
            return nullptr;
        }
        numbered[row[0].text][row[1].integer] = Column{row[2].text, static_cast<std::uint16_t>(row[3].integer)};
    }
    for (auto& [table, columns] : numbered) {
        for (auto& entry : columns) {
            package->state_->columns[table].push_back(std::move(entry.second));
        }
    }
    package->codePage_ = ReadCodePage(path);
    if (!ReadConsistently(complaints, error)) {
        DamagedVersions().emplace(package->state_->version, error);
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    return package;
}

bool Package::Select(const std::string& query, std::vector<Row>& rows, std::string& error,
                     std::uint32_t* windowsResult) const
{
    rows.clear();
    if (!Survives(kQueryReading + query, error)) {
        SetResult(windowsResult, kErrorFunctionFailed);
        return false;
    }
    const Complaints complaints = ComplaintsSoFar();
    GError* failure = nullptr;
    const auto failed = [&](const char* what) {
        SetResult(windowsResult, WindowsResultOf(failure));
        error = Reason(failure, std::string(what) + query + " failed");
        return false;
    };
    Owned<LibmsiQuery> view(libmsi_query_new(state_->database.get(), query.c_str(), &failure));
    if (view == nullptr) {
        return failed("the query ");
    }
    g_clear_error(&failure);
    std::vector<char> kinds;
    if (libmsi_query_execute(view.get(), nullptr, &failure) == FALSE) {
        return failed("the query ");
    }
    g_clear_error(&failure);
    if (!ColumnKinds(view.get(), kinds, error)) {
        SetResult(windowsResult, kErrorFunctionFailed);
        return false;
    }
    for (;;) {
        Owned<LibmsiRecord> record(libmsi_query_fetch(view.get(), &failure));
        if (record == nullptr) {
            // libmsi ends the rows without an error.
            if (failure != nullptr) {
                return failed("fetching a row of ");
            }
            g_clear_error(&failure);
            if (!ReadConsistently(complaints, error)) {
                SetResult(windowsResult, kErrorFunctionFailed);
                return false;
            }
            return true;
        }
        g_clear_error(&failure);
        Row row(kinds.size());
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (!FieldValue(record.get(), static_cast<guint>(i + 1), kinds[i], row[i])) {
                error = "a stream of the query " + query + " cannot be read";
                SetResult(windowsResult, kErrorFunctionFailed);
                return false;
            }
        }
        rows.push_back(std::move(row));
    }
}

bool Package::TableNames(std::vector<std::string>& names, std::string& error) const
{
    std::vector<Row> rows;
    if (!Select("SELECT `Name` FROM `_Tables`", rows, error)) {
        return false;
    }
    names.resize(rows.size());
    std::transform(rows.begin(), rows.end(), names.begin(),
                   [](const Row& row) { return row.empty() ? std::string() : row[0].text; });
    std::sort(names.begin(), names.end());
    return true;
}

bool Package::ReadTable(const std::string& name, Table& table, std::string& error) const
{
    const auto found = state_->columns.find(name);
    if (found == state_->columns.end() || name.find('`') != std::string::npos) {
        error = "the package has no table " + name;
        return false;
    }
    table.name = name;
    table.columns = found->second;
    if (!Select("SELECT * FROM `" + name + "`", table.rows, error)) {
        return false;
    }
    const std::size_t width = table.columns.size();
    if (std::any_of(table.rows.begin(), table.rows.end(), [width](const Row& row) { return row.size() != width; })) {
        error = "the table " + name + " does not read as its columns say";
        return false;
    }
    return true;
}

bool Package::ReadSummary(SummaryInfo& summary, std::string& error) const
{
    summary = SummaryInfo{};
    if (!Survives(kSummaryReading, error)) {
        return false;
    }
    const Complaints complaints = ComplaintsSoFar();
    GError* failure = nullptr;
    Owned<LibmsiSummaryInfo> info(libmsi_summary_info_new(state_->database.get(), 0, &failure));
    if (info == nullptr) {
        error = Reason(failure, "the summary information cannot be read");
        return false;
    }
    g_clear_error(&failure);
    GArray* ids = libmsi_summary_info_get_properties(info.get());
    for (guint i = 0; ids != nullptr && i < ids->len; ++i) {
        const auto pid = g_array_index(ids, LibmsiProperty, i);
        const LibmsiPropertyType type = libmsi_summary_info_get_property_type(info.get(), pid, &failure);
        g_clear_error(&failure);
        SummaryProperty property;
        if (type == LIBMSI_PROPERTY_TYPE_INT) {
            property.integer = libmsi_summary_info_get_int(info.get(), pid, &failure);
        } else if (type == LIBMSI_PROPERTY_TYPE_STRING) {
            property.kind = SummaryProperty::Kind::text;
            property.text = AsUtf8(libmsi_summary_info_get_string(info.get(), pid, &failure));
        } else if (type == LIBMSI_PROPERTY_TYPE_FILETIME) {
            property.kind = SummaryProperty::Kind::filetime;
            property.filetime = libmsi_summary_info_get_filetime(info.get(), pid, &failure);
        } else {
            continue;
        }
        g_clear_error(&failure);
        summary.properties[static_cast<std::uint32_t>(pid)] = property;
    }
    if (ids != nullptr) {
        g_array_unref(ids);
    }
    return ReadConsistently(complaints, error);
}

bool Package::ReadLooseStreams(std::vector<LooseStream>& streams, std::string& error) const
{
    std::vector<Row> rows;
    if (!Select("SELECT `Name`,`Data` FROM `_Streams`", rows, error)) {
        return false;
    }
    streams.clear();
    for (Row& row : rows) {
        if (row.size() == 2 && !row[0].text.empty() && row[0].text[0] != '\005') {
            streams.push_back(LooseStream{row[0].text, std::move(row[1].text)});
        }
    }
    std::sort(streams.begin(), streams.end(),
              [](const LooseStream& a, const LooseStream& b) { return a.name < b.name; });
    return true;
}

bool ReadDatabase(const std::string& path, Database& database, std::string& error)
{
    database = Database{};
    // Every stream is read here: a package cut short inside a cabinet, which opens, is
    // refused with that stream named.
    if (!IsWholeCompoundFile(path, error, true)) {
        return false;
    }
    const Complaints complaints = ComplaintsSoFar();
    const auto package = Package::Open(path, error);
    if (package == nullptr) {
        return false;
    }
    package->state_->readingWhole = true;
    std::vector<std::string> names;
    if (!package->TableNames(names, error) || !package->ReadSummary(database.summary, error)) {
        return false;
    }
    database.codePage = package->CodePage();
    std::set<std::string> owned;  // streams that belong to binary fields
    for (const std::string& name : names) {
        Table table;
        if (!package->ReadTable(name, table, error)) {
            return false;
        }
        for (const Row& row : table.rows) {
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (table.columns[i].IsBinary() && !row[i].IsNull()) {
                    owned.insert(BinaryStreamName(table.name, table.columns, row));
                }
            }
        }
        database.tables.push_back(std::move(table));
    }
    std::vector<LooseStream> streams;
    if (!package->ReadLooseStreams(streams, error)) {
        return false;
    }
    for (LooseStream& stream : streams) {
        if (owned.count(stream.name) == 0) {
            database.looseStreams.push_back(std::move(stream));
        }
    }
    return ReadStorages(path, database.storages, error) && ReadConsistently(complaints, error);
}

}  // namespace boot::msi
