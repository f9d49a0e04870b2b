#pragma once
// Windows Installer packages read with libmsi, read-only: the tables with their columns
// and rows, any query, the summary information and the database's code page. Every
// reading of a package on Linux goes through here, and every call of libmsi on a package
// is made in a child process first (isolated_run.h): a damaged package is an error of
// the reading, never the tool's crash. So is a package libmsi reads only in part.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "msi_file/model/summary_info.h"
#include "msi_file/model/table_data.h"

namespace boot::msi {

// Failures come with the reason in words and, where asked for, the result Windows
// Installer gives for them (110 for a path that is no file or a patch, 1627 for another
// file that is no package, 1615 for a query it cannot parse, ...).
class Package {
public:
    // Null, with the reason, for a path that is no package libmsi can open.
    static std::unique_ptr<Package> Open(const std::string& path, std::string& error,
                                         std::uint32_t* windowsResult = nullptr);
    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // 0 for a neutral database.
    std::uint32_t CodePage() const { return codePage_; }
    // The persistent tables' columns, by table name.
    const std::map<std::string, std::vector<Column>>& Columns() const;
    // The persistent tables, in name order.
    bool TableNames(std::vector<std::string>& names, std::string& error) const;
    // One table whole: its columns as `_Columns` has them and every row.
    bool ReadTable(const std::string& name, Table& table, std::string& error) const;
    // The rows a query selects (binary fields with their streams' bytes), e.g.
    // "SELECT `Property`,`Value` FROM `Property`".
    bool Select(const std::string& query, std::vector<Row>& rows, std::string& error,
                std::uint32_t* windowsResult = nullptr) const;
    bool ReadSummary(SummaryInfo& summary, std::string& error) const;
    // The streams no table column owns (embedded cabinets), in name order.
    bool ReadLooseStreams(std::vector<LooseStream>& streams, std::string& error) const;

private:
    struct State;
    explicit Package(std::unique_ptr<State> state);
    // Whether the reading `what` is safe in this process: made by the whole reading a child
    // ran to its end, or tried alone in a child first. False, with the reason, when it
    // crashed or hung there.
    bool Survives(const std::string& what, std::string& error) const;
    friend bool ReadDatabase(const std::string& path, Database& database, std::string& error);

    std::unique_ptr<State> state_;
    std::uint32_t codePage_ = 0;
};

// The whole package in memory: every table, the loose streams, the summary and the code
// page.
bool ReadDatabase(const std::string& path, Database& database, std::string& error);

}  // namespace boot::msi
