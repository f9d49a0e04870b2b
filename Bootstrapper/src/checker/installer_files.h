#pragma once
// What only the checker reads from Windows Installer files: the summary information of a
// package (its Template: platform and languages). The program reads the Property table
// through the Platform seam and nothing else, so none of this is linked into it.

#include <cstdint>
#include <string>

namespace boot {

// Property ids of the summary information stream (PID_...).
constexpr std::uint32_t kSummaryTemplate = 7;

class InstallerFiles {
public:
    InstallerFiles(const InstallerFiles&) = delete;
    InstallerFiles& operator=(const InstallerFiles&) = delete;

    // A text property of the summary information of the file at the full Windows path
    // (ANSI); empty when the file has none. False when the file cannot be read as a
    // Windows Installer file.
    virtual bool ReadSummaryText(const char* path, std::uint32_t property, std::string& value) = 0;

protected:
    InstallerFiles() = default;
    ~InstallerFiles() = default;
};

}  // namespace boot
