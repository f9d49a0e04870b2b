#pragma once
// Whether a compound file is whole: its header, its sector tables and its directory agree
// with each other and with the file's length. libgsf reads a stream where its directory
// entry says (below 4,096 bytes from the mini stream, from the file's own sectors above),
// reports what does not fit on stderr and reads on, and libmsi takes what it gets. A
// package is checked here before either reads it, so that a file cut short or a
// directory that contradicts its sectors is refused, with what it concerns named.

#include <cstdint>
#include <string>

namespace boot::msi {

enum class CompoundFault : std::uint8_t {
    none,       // whole, or no compound file at all (its readers say what it is)
    truncated,  // the file ends before a sector its header or directory places in it
    damaged,    // its header, sector tables and directory contradict each other
};

struct CompoundCheck {
    CompoundFault fault = CompoundFault::none;
    // What is cut off or damaged, and how: "its stream \005SummaryInformation runs past
    // the end of the file".
    std::string what;
    // With no fault, the first stream cut off that holds none of the database's tables: one
    // of the file's own sectors directly in the root storage, neither a table's stream nor
    // a property set (an embedded cabinet, a Binary row's data). Windows Installer opens
    // such a package and reads its tables (a download cut short inside its last cabinet);
    // only a reading of that stream fails. Said as `what` is.
    std::string cutStream;
};

// Reads the header, the sector tables and the directory, none of the streams' bytes.
CompoundCheck CheckCompoundFile(const std::string& path);

}  // namespace boot::msi
