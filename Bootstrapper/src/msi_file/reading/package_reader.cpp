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
#include "msi_file/format/compound_integrity.h"
#include "msi_file/reading/isolated_run.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/string_pool.h"

namespace boot::msi {

namespace {

void DiscardMessage(const gchar* /*domain*/, GLogLevelFlags /*level*/, const gchar* /*message*/, gpointer /*data*/)
{
}

// libmsi writes what it could not read to stderr, as glib warnings of the default domain;
// the callers report the results themselves.
void QuietLibmsi()
{
    constexpr int kChatter = G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO | G_LOG_LEVEL_DEBUG;
    static const guint handler =
        g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(kChatter), DiscardMessage, nullptr);
    static_cast<void>(handler);
}

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

bool ReadsWhole(const std::string& path)
{
    Database database;
    std::string error;
    return ReadDatabase(path, database, error);
}

// libmsi trusts the compound file's directory: a stream entry that claims more bytes than
// the file holds makes it read past its buffers. The whole reading is tried in a child
// process first, so that such a package is an error, never the tool's crash.
bool SurvivesReading(const std::string& path, const struct stat& info, std::string& error)
{
    if (InIsolatedChild()) {
        return true;
    }
    // A file read safely once is not tried again while it stays as it was (the checker
    // opens its package several times).
    static std::set<std::string> survived;
    const std::string version = path + '\n' + std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' +
                                std::to_string(info.st_size) + ':' + std::to_string(info.st_mtim.tv_sec) + '.' +
                                std::to_string(info.st_mtim.tv_nsec);
    if (survived.count(version) != 0) {
        return true;
    }
    constexpr unsigned kSecondsAllowed = 120;
    std::string what;
    const IsolatedOutcome outcome = RunIsolated(ReadsWhole, path, kSecondsAllowed, what);
    if (outcome == IsolatedOutcome::succeeded) {
        survived.insert(version);
    }
    if (outcome == IsolatedOutcome::crashed || outcome == IsolatedOutcome::hung) {
        error = "a damaged Windows Installer package: reading it ends in " +
                (outcome == IsolatedOutcome::crashed ? what : "no result (" + what + ")");
        return false;
    }
    return true;  // a failure the reading itself reports, below
}

// libmsi and libgsf read a stream where its directory entry says and take what they find
// there: a file cut short or a directory that contradicts its sectors is refused before
// they read it, with the stream it concerns named.
bool IsWholeCompoundFile(const std::string& path, std::string& error)
{
    const CompoundCheck check = CheckCompoundFile(path);
    if (check.fault == CompoundFault::truncated) {
        error = "a truncated Windows Installer package, shorter than its header and directory say: " + check.what;
    } else if (check.fault == CompoundFault::damaged) {
        error = "a damaged Windows Installer package: " + check.what;
    }
    return check.fault == CompoundFault::none;
}

// What libgsf found inconsistent while the package was read, and passed over.
bool ReadConsistently(std::size_t complaintsBefore, std::string& error)
{
    if (CompoundFileComplaints() == complaintsBefore) {
        return true;
    }
    error = "a damaged Windows Installer package: its compound file does not read as its directory says";
    return false;
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
};

Package::Package(std::unique_ptr<State> state) : state_(std::move(state)) {}

Package::~Package() = default;

const std::map<std::string, std::vector<Column>>& Package::Columns() const { return state_->columns; }

std::unique_ptr<Package> Package::Open(const std::string& path, std::string& error, std::uint32_t* windowsResult)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        const bool missing = errno == ENOENT || errno == ENOTDIR;
        error = S_ISDIR(info.st_mode) ? "a folder, no package" : missing ? "no such file" : std::strerror(errno);
        SetResult(windowsResult, kErrorOpenFailed);
        return nullptr;
    }
    if (access(path.c_str(), R_OK) != 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        SetResult(windowsResult, kErrorAccessDenied);
        return nullptr;
    }
    const std::size_t complaints = CompoundFileComplaints();
    if (!IsWholeCompoundFile(path, error) || !SurvivesReading(path, info, error)) {
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    if (!IsPackageStorage(path, error, windowsResult)) {
        return nullptr;
    }
    QuietLibmsi();
    GError* failure = nullptr;
    auto state = std::make_unique<State>();
    state->database.reset(libmsi_database_new(path.c_str(), LIBMSI_DB_FLAGS_READONLY, nullptr, &failure));
    if (state->database == nullptr) {
        // Any file there that is no package, as Windows Installer answers for it.
        error = Reason(failure, "no Windows Installer package");
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    g_clear_error(&failure);
    std::unique_ptr<Package> package(new Package(std::move(state)));
    std::vector<Row> rows;
    if (!package->Select("SELECT `Table`,`Number`,`Name`,`Type` FROM `_Columns`", rows, error, windowsResult)) {
        return nullptr;
    }
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
        SetResult(windowsResult, kErrorFunctionFailed);
        return nullptr;
    }
    return package;
}

bool Package::Select(const std::string& query, std::vector<Row>& rows, std::string& error,
                     std::uint32_t* windowsResult) const
{
    rows.clear();
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
    return true;
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
    const std::size_t complaints = CompoundFileComplaints();
    const auto package = Package::Open(path, error);
    std::vector<std::string> names;
    if (package == nullptr || !package->TableNames(names, error) || !package->ReadSummary(database.summary, error)) {
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
