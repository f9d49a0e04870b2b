#include "msi_file/writing/transform_builder.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "msi_file/format/code_page_text.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/string_pool.h"
#include "msi_file/format/summary_stream.h"
#include "msi_file/writing/table_diff.h"
#include "msi_file/format/table_stream.h"
#include "msi_file/writing/transform_summary.h"

namespace boot::msi {

namespace {

bool SameCodePage(const Database& base, const Database& target, std::string& why)
{
    if (base.codePage != kNeutralCodePage && target.codePage != kNeutralCodePage && base.codePage != target.codePage) {
        why = "the packages' code pages differ (" + std::to_string(base.codePage) + " and " +
              std::to_string(target.codePage) + "): a transform cannot change a database's code page";
        return false;
    }
    return true;
}

const LooseStream* FindStream(const Database& package, const std::string& name)
{
    const auto found = std::find_if(package.looseStreams.begin(), package.looseStreams.end(),
                                    [&name](const LooseStream& stream) { return stream.name == name; });
    return found != package.looseStreams.end() ? &*found : nullptr;
}

bool HasBinaryColumn(const Table* table)
{
    return table != nullptr && std::any_of(table->columns.begin(), table->columns.end(),
                                           [](const Column& column) { return column.IsBinary(); });
}

// A stream named like a binary field ("Binary.Logo") that no row names: libmsi leaves the
// stream of a deleted row behind. Nothing reads it; the rows tell the difference.
bool IsOrphanedField(const Database& base, const Database& target, const std::string& name)
{
    const std::size_t dot = name.find('.');
    if (dot == std::string::npos || dot == 0) {
        return false;
    }
    const std::string table = name.substr(0, dot);
    return HasBinaryColumn(base.FindTable(table)) || HasBinaryColumn(target.FindTable(table));
}

// Streams outside the tables (embedded cabinets) travel in no transform.
bool SameLooseStreams(const Database& base, const Database& target, std::string& why)
{
    std::set<std::string> names;
    for (const Database* package : {&base, &target}) {
        for (const LooseStream& stream : package->looseStreams) {
            if (!IsOrphanedField(base, target, stream.name)) {
                names.insert(stream.name);
            }
        }
    }
    for (const std::string& name : names) {
        const LooseStream* before = FindStream(base, name);
        const LooseStream* after = FindStream(target, name);
        if (before == nullptr || after == nullptr || before->bytes != after->bytes) {
            why = "the embedded stream " + name + " differs between the packages (in the files they install, or " +
                  "only in the files' times): a transform carries no embedded cabinet, so build both packages " +
                  "from the same files";
            return false;
        }
    }
    return true;
}

bool SameCode(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

// A transform that changes the product's identity makes the installed product another
// one: the setup asks Windows Installer for the base's ProductCode, finds nothing and
// installs a second copy beside the first.
bool SameIdentity(const Database& base, const Database& target, std::string& why)
{
    for (const char* name : {"ProductCode", "UpgradeCode", "ProductVersion"}) {
        const std::string before = base.Property(name);
        const std::string after = target.Property(name);
        const bool same = std::string(name) == "ProductVersion" ? before == after : SameCode(before, after);
        if (!same) {
            why = std::string("the packages' ") + name + " differs (" + (before.empty() ? "none" : before) +
                  " in the base, " + (after.empty() ? "none" : after) +
                  " in the target): a language transform installs the same product in another language, so " +
                  "build both packages with the same ProductCode (a fixed Product Id, not \"*\"), UpgradeCode " +
                  "and version";
            return false;
        }
    }
    return true;
}

// Storages below the root (an embedded package or transform) travel in no transform this
// tool writes.
bool SameStorages(const Database& base, const Database& target, std::string& why)
{
    std::set<std::string> names;
    for (const Database* package : {&base, &target}) {
        for (const LooseStream& storage : package->storages) {
            names.insert(storage.name);
        }
    }
    for (const std::string& name : names) {
        const auto find = [&name](const Database& package) {
            const auto found = std::find_if(package.storages.begin(), package.storages.end(),
                                            [&name](const LooseStream& storage) { return storage.name == name; });
            return found != package.storages.end() ? &*found : nullptr;
        };
        const LooseStream* before = find(base);
        const LooseStream* after = find(target);
        if (before == nullptr || after == nullptr || before->bytes != after->bytes) {
            why = "the embedded storage " + name + " " +
                  (before == nullptr ? "is in the target only" : after == nullptr ? "is in the base only" : "differs") +
                  ": a transform made here carries no storage, so build both packages with the same storages";
            return false;
        }
    }
    return true;
}

bool DiffTables(const Database& base, const Database& target, TransformChanges& changes, std::string& why)
{
    std::set<std::string> names;
    for (const Database* package : {&base, &target}) {
        for (const Table& table : package->tables) {
            names.insert(table.name);
        }
    }
    return std::all_of(names.begin(), names.end(), [&](const std::string& name) {
        return DiffTable(base.FindTable(name), target.FindTable(name), changes, why);
    });
}

void UseStrings(const TransformChanges& changes, StringPoolBuilder& pool)
{
    for (const auto& [table, stream] : changes) {
        for (const TransformRecord& record : stream.records) {
            for (std::size_t i = 0; i < stream.columns.size(); ++i) {
                const Column& column = stream.columns[i];
                if (column.IsText() && HoldsColumn(record.mask, column, i) && !record.values[i].IsNull()) {
                    pool.Use(record.values[i].text);
                }
            }
        }
    }
}

bool AddStream(std::vector<CompoundStream>& streams, const std::string& name, bool isTable, std::string bytes,
               std::string& why)
{
    const std::u16string units = EncodeStreamName(name, isTable);
    if (!FitsStreamName(units)) {
        why = "the stream name " + name + " is too long for a transform (" + std::to_string(units.size()) +
              " packed characters)";
        return false;
    }
    const std::string stored = StreamNameUtf8(units);
    // A binary field of a row deleted and added again is there already.
    if (std::none_of(streams.begin(), streams.end(), [&stored](const CompoundStream& s) { return s.name == stored; })) {
        streams.push_back({stored, std::move(bytes)});
    }
    return true;
}

bool EncodeTables(const TransformChanges& changes, const StringPoolBuilder& pool,
                  std::vector<CompoundStream>& streams, std::string& why)
{
    for (const auto& [table, stream] : changes) {
        std::string bytes;
        for (const TransformRecord& record : stream.records) {
            if (!EncodeRecord(stream.columns, record.mask, record.values, pool, bytes, why)) {
                why.insert(0, "table " + table + ": ");
                return false;
            }
            for (std::size_t i = 0; i < stream.columns.size(); ++i) {
                const Value& value = record.values[i];
                if (stream.columns[i].IsBinary() && HoldsColumn(record.mask, stream.columns[i], i) &&
                    value.kind == Value::Kind::binary &&
                    !AddStream(streams, BinaryStreamName(table, stream.columns, record.values), false, value.text,
                               why)) {
                    return false;
                }
            }
        }
        if (!AddStream(streams, table, true, bytes, why)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool BuildTransform(const Database& base, const Database& target, const TransformOptions& options,
                    std::vector<CompoundStream>& streams, std::string& why)
{
    streams.clear();
    TransformChanges changes;
    SummaryInfo summary;
    if (!SameCodePage(base, target, why) || !SameLooseStreams(base, target, why) || !SameStorages(base, target, why) ||
        !DiffTables(base, target, changes, why) ||
        !ComposeTransformSummary(base, target, options.validation, options.suppress, summary, why) ||
        !SameIdentity(base, target, why)) {
        return false;
    }
    StringPoolBuilder pool;
    UseStrings(changes, pool);
    std::uint32_t codePage = target.codePage != kNeutralCodePage ? target.codePage : base.codePage;
    if (codePage == kNeutralCodePage && pool.HasNonAscii()) {
        // A neutral pool would read in whatever ANSI code page the installing system has.
        codePage = kWesternCodePage;
    }
    std::string poolBytes;
    std::string data;
    std::string summaryBytes;
    if (!pool.Encode(codePage, poolBytes, data, why) || !AddStream(streams, "_StringPool", true, poolBytes, why) ||
        !AddStream(streams, "_StringData", true, data, why) || !EncodeTables(changes, pool, streams, why) ||
        !EncodeSummaryStream(summary, summaryBytes, why)) {
        return false;
    }
    streams.push_back({kSummaryStreamName, summaryBytes});
    return true;
}

bool ComposeTransformFile(const std::vector<CompoundStream>& streams, std::string& bytes, std::string& error)
{
    return ComposeCompoundFile(kTransformClassId, streams, bytes, error);
}

}  // namespace boot::msi
