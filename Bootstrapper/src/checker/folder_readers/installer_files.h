#pragma once
// What only the checker reads from Windows Installer files: what kind of file one is, the
// summary information of a package (its Template: platform and languages), the cabinets
// its Media table names, and what a transform is and does to the package. The program
// reads the Property table through the Platform seam and nothing else, so none of this is
// linked into it.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "msi_file/format/storage_class.h"

namespace boot {

// Property ids of the summary information stream (PID_...).
constexpr std::uint32_t kSummaryTemplate = 7;

// A transform file as Windows Installer would take it, for one package.
struct TransformReading {
    enum class Kind : std::uint8_t {
        transform,
        missing,
        folder,
        notTransform,  // no transform storage: a text, a package, a patch, a damaged file
    };
    Kind kind = Kind::missing;
    std::string problem;          // for notTransform: what it is instead, in words
    // Its summary information (empty where it has none).
    std::string templateText;     // the base package's platform;language
    std::string lastSavedBy;      // platform;language once the transform is applied
    std::string revisionNumber;   // {base ProductCode}version;{target ProductCode}version;{UpgradeCode}
    std::int32_t characterCount = 0;  // validation conditions << 16 | error conditions to suppress
    // ProductLanguage once the transform is applied to the package; the package's own
    // when the transform leaves it alone.
    bool languageKnown = false;
    std::int32_t languageAfter = 0;
    // ProductCode, UpgradeCode and ProductVersion (kIdentityProperties' order) where the
    // transform leaves them otherwise than the package holds them: another value, a row
    // deleted or added. One it leaves alone, or sets to the value the package holds
    // already, is not `written`.
    struct PropertyAfter {
        bool written = false;
        std::string value;  // the value once the transform is applied; empty for a deleted row
    };
    std::array<PropertyAfter, 3> identityAfter;
    // The rows it adds, changes or deletes in the package's tables: the table's name, then
    // each key field, separated by tabs; sorted, each once.
    std::vector<std::string> rowsWritten;
};

// A file by the class id of its root storage, which is what tells Windows Installer a
// package, a transform and a patch apart.
enum class InstallerFileClass : std::uint8_t {
    package,
    transform,
    patch,
    other,  // no compound file, or one of another class
};

inline InstallerFileClass ClassOfRootStorage(const msi::ClassId& classId)
{
    return classId == msi::kPackageClassId     ? InstallerFileClass::package
           : classId == msi::kTransformClassId ? InstallerFileClass::transform
           : classId == msi::kPatchClassId     ? InstallerFileClass::patch
                                               : InstallerFileClass::other;
}

// The properties that make a product the one Windows Installer knows as installed.
constexpr const char* kIdentityProperties[3] = {"ProductCode", "UpgradeCode", "ProductVersion"};

class InstallerFiles {
public:
    InstallerFiles(const InstallerFiles&) = delete;
    InstallerFiles& operator=(const InstallerFiles&) = delete;

    // A text property of the summary information of the file at the full Windows path
    // (ANSI); empty when the file has none. False when the file cannot be read as a
    // Windows Installer file.
    virtual bool ReadSummaryText(const char* path, std::uint32_t property, std::string& value) = 0;

    // What the file at the full Windows path (ANSI) is; `other` when it cannot be read.
    virtual InstallerFileClass ClassOf(const char* path) = 0;

    // The Cabinet field of each row of the Media table of the package at the full Windows
    // path (ANSI), in the table's order; empty for a null field. True and none when the
    // package has no Media table; false when the package cannot be read.
    virtual bool ReadCabinets(const char* packagePath, std::vector<std::string>& cabinets) = 0;

    // Reads the transform at `transformPath` for the package at `packagePath`, whose
    // ProductLanguage is `packageLanguage` (full Windows paths, ANSI). Nothing is written
    // beside either file.
    virtual void ReadTransform(const char* transformPath, const char* packagePath, std::int32_t packageLanguage,
                               TransformReading& reading) = 0;

protected:
    InstallerFiles() = default;
    ~InstallerFiles() = default;
};

}  // namespace boot
