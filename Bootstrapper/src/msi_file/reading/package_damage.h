#pragma once
// What tells that a package is damaged, before libmsi reads it or while it does: the
// compound file and the string pool checked first, the readings tried in a child process
// (isolated_run.h) before this process makes them, and what libgsf and libmsi complain of
// while they read on regardless. package_reader.cpp asks here before every libmsi call.

#include <sys/stat.h>

#include <cstddef>
#include <map>
#include <string>

namespace boot::msi {

// What a child reads besides the whole package: "summary", or "query:" and the query.
constexpr char kSummaryReading[] = "summary";
constexpr char kQueryReading[] = "query:";

// What the libraries complained of so far, to compare after a reading.
struct Complaints {
    std::size_t libgsf = 0;
    std::size_t libmsi = 0;
};

// libmsi's messages go to a handler that counts those of damage, and to no stream.
void QuietLibmsi();
Complaints ComplaintsSoFar();
// False, with the reason, when a library complained of damage since `before`.
bool ReadConsistently(const Complaints& before, std::string& error);

// The file as it is now (path, device, inode, size, time): the key of what was learnt of it.
std::string FileVersion(const std::string& path, const struct stat& info);
// Versions found damaged, with the reason, for the rest of the process.
std::map<std::string, std::string>& DamagedVersions();

// False, with the reason, for a compound file damaged or cut short; one cut short only
// inside a stream that holds no part of the database (compound_integrity.h) is whole
// unless `everyStream` is read.
bool IsWholeCompoundFile(const std::string& path, std::string& error, bool everyStream = false);
bool HasWholeStringPool(const std::string& path, std::string& error);
// The whole reading in a child: false, with the reason, when it crashed or hung there;
// readWhole: it ran to its end there.
bool SurvivesReading(const std::string& path, const std::string& version, bool& readWhole, std::string& error);
// One reading (kSummaryReading, or kQueryReading and a query) alone in a child.
bool SurvivesReadingAlone(const std::string& path, const std::string& version, const std::string& what,
                          std::string& error);

}  // namespace boot::msi
