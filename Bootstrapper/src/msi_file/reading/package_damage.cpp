#include "msi_file/reading/package_damage.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <iterator>
#include <map>
#include <set>

#include <glib.h>

#include "msi_file/format/compound_file.h"
#include "msi_file/format/compound_integrity.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/string_pool.h"
#include "msi_file/reading/isolated_run.h"
#include "msi_file/reading/package_reader.h"

namespace boot::msi {

namespace {

std::atomic<std::size_t>& LibmsiComplaints()
{
    static std::atomic<std::size_t> complaints{0};
    return complaints;
}

// What libmsi says, as a critical message, of a damaged package it reads on regardless: a
// string pool whose entries do not add up to its data, a string it cannot add (after either
// the pool it goes on with is broken), columns of a table it cannot make sense of. Matched
// by a part of their text. Its other critical messages tell of nothing damaged (a null
// binary field has no stream to fetch).
constexpr const char* kDamageMessages[] = {
    "string table",          // "string table corrupt?", "string table load failed!"
    "Failed to add string",  // a string that begins with a zero byte
    "invalid index adding",
    "Invalid column size",   // a column's type of no size libmsi knows
    "Invalid type",
    "unknown column width",
    "out of range (maxcount",  // a column numbered past its table's count
    "duplicate column",
    "missing column in table",
    "couldn't load _Columns table",
};

bool IsDamageMessage(const gchar* message)
{
    return message != nullptr && std::any_of(std::begin(kDamageMessages), std::end(kDamageMessages),
                                             [message](const char* part) { return std::strstr(message, part) != nullptr; });
}

void CountMessage(const gchar* /*domain*/, GLogLevelFlags level, const gchar* message, gpointer /*data*/)
{
    if ((level & G_LOG_LEVEL_CRITICAL) != 0 && IsDamageMessage(message)) {
        ++LibmsiComplaints();
    }
}

constexpr unsigned kSecondsAllowed = 120;

std::string CrashReason(IsolatedOutcome outcome, const std::string& what)
{
    return "a damaged Windows Installer package: reading it ends in " +
           (outcome == IsolatedOutcome::crashed ? what : "no result (" + what + ")");
}

bool ReadsWhole(const std::string& path)
{
    Database database;
    std::string error;
    return ReadDatabase(path, database, error);
}

bool ReadsAlone(const std::string& request)
{
    const std::size_t end = request.find('\0');
    const std::string what = request.substr(end + 1);
    std::string error;
    const auto package = Package::Open(request.substr(0, end), error);
    if (package == nullptr) {
        return false;
    }
    if (what == kSummaryReading) {
        SummaryInfo summary;
        return package->ReadSummary(summary, error);
    }
    std::vector<Row> rows;
    return package->Select(what.substr(sizeof kQueryReading - 1), rows, error);
}

}  // namespace

// libmsi writes what it could not read to stderr, as glib messages of the default domain:
// the callers report the results themselves, and its messages of damage are counted.
void QuietLibmsi()
{
    constexpr int kChatter = G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING | G_LOG_LEVEL_MESSAGE | G_LOG_LEVEL_INFO |
                             G_LOG_LEVEL_DEBUG;
    static const guint handler =
        g_log_set_handler(nullptr, static_cast<GLogLevelFlags>(kChatter), CountMessage, nullptr);
    static_cast<void>(handler);
}

Complaints ComplaintsSoFar()
{
    QuietLibmsi();
    return {CompoundFileComplaints(), LibmsiComplaints()};
}

// The file as it is: what was read safely once stays safe while it stays the same.
std::string FileVersion(const std::string& path, const struct stat& info)
{
    return path + '\n' + std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino) + ':' +
           std::to_string(info.st_size) + ':' + std::to_string(info.st_mtim.tv_sec) + '.' +
           std::to_string(info.st_mtim.tv_nsec);
}

// libmsi trusts the compound file's directory and its tables: a stream entry that claims
// more bytes than the file holds, or a table whose strings are not in the pool, makes it
// read past its buffers. The whole reading is tried in a child process first, so that
// such a package is an error, never the tool's crash. True when it ran to its end there
// (`readWhole`), or ended with a failure the reading reports itself.
bool SurvivesReading(const std::string& path, const std::string& version, bool& readWhole, std::string& error)
{
    readWhole = InIsolatedChild();
    if (readWhole) {
        return true;
    }
    // A file read safely once is not tried again while it stays as it was (the checker
    // opens its package several times).
    static std::set<std::string> survived;
    if (survived.count(version) != 0) {
        readWhole = true;
        return true;
    }
    std::string what;
    const IsolatedOutcome outcome = RunIsolated(ReadsWhole, path, kSecondsAllowed, what);
    if (outcome == IsolatedOutcome::succeeded) {
        survived.insert(version);
        readWhole = true;
    }
    if (outcome == IsolatedOutcome::crashed || outcome == IsolatedOutcome::hung) {
        error = CrashReason(outcome, what);
        return false;
    }
    return true;  // a failure the reading itself reports, below
}

// A reading the whole one did not make (the program's own queries, a query the checker
// asks) is tried alone in a child first, once for each file version: whether it ran to its
// end there, with success or a failure it reports itself, or crashed or hung.
bool SurvivesReadingAlone(const std::string& path, const std::string& version, const std::string& what,
                          std::string& error)
{
    static std::map<std::string, std::string> outcomes;  // the crash, or empty
    const std::string key = version + '\n' + what;
    auto known = outcomes.find(key);
    if (known == outcomes.end()) {
        std::string how;
        const IsolatedOutcome outcome = RunIsolated(ReadsAlone, path + '\0' + what, kSecondsAllowed, how);
        const bool ended = outcome != IsolatedOutcome::crashed && outcome != IsolatedOutcome::hung;
        known = outcomes.emplace(key, ended ? std::string() : CrashReason(outcome, how)).first;
    }
    error = known->second;
    return error.empty();
}

// libmsi and libgsf read a stream where its directory entry says and take what they find
// there: a file cut short or a directory that contradicts its sectors is refused before
// they read it, with the stream it concerns named. A file cut short inside an embedded
// cabinet opens as Windows Installer opens it, and its Property table reads: only a reading
// of every stream refuses it.
bool IsWholeCompoundFile(const std::string& path, std::string& error, bool everyStream)
{
    const CompoundCheck check = CheckCompoundFile(path);
    constexpr char kTruncated[] = "a truncated Windows Installer package, shorter than its header and directory say: ";
    if (check.fault == CompoundFault::truncated) {
        error = kTruncated + check.what;
    } else if (check.fault == CompoundFault::damaged) {
        error = "a damaged Windows Installer package: " + check.what;
    } else if (everyStream && !check.cutStream.empty()) {
        error = kTruncated + check.cutStream;
        return false;
    }
    return check.fault == CompoundFault::none;
}

// libmsi loads the string pool as its entries say, past the pool's end and the strings'
// data too (what it finds there differs from one opening to the next): a pool that does
// not agree with its data is refused before libmsi reads it.
bool HasWholeStringPool(const std::string& path, std::string& error)
{
    std::string unused;
    const auto file = CompoundReader::Open(path, unused);
    std::string pool;
    std::string data;
    if (file == nullptr || !file->ReadStream(StreamNameUtf8(EncodeStreamName("_StringPool", true)), pool) ||
        !file->ReadStream(StreamNameUtf8(EncodeStreamName("_StringData", true)), data)) {
        return true;  // libmsi says what it is instead
    }
    std::string what;
    if (IsWholeStringPool(pool, data, what)) {
        return true;
    }
    error = "a damaged Windows Installer package: " + what;
    return false;
}

// Versions of files found damaged while libmsi read them: libmsi reads a damaged package
// differently from one opening to the next, and the checker opens its package again for
// each run, so the first finding holds for the rest.
std::map<std::string, std::string>& DamagedVersions()
{
    static std::map<std::string, std::string> damaged;
    return damaged;
}

// What libgsf or libmsi found inconsistent while the package was read, and passed over: a
// package that reads only in part is damaged, not a package with less in it.
bool ReadConsistently(const Complaints& before, std::string& error)
{
    const Complaints now = ComplaintsSoFar();
    if (now.libgsf != before.libgsf) {
        error = "a damaged Windows Installer package: its compound file does not read as its directory says";
        return false;
    }
    if (now.libmsi != before.libmsi) {
        error = "a damaged Windows Installer package: its string pool or a table does not read as it says";
        return false;
    }
    return true;
}

}  // namespace boot::msi
