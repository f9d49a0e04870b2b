#pragma once
// Where things lie in the package folder, as far as the program's existence tests do not
// tell: names Windows would take for one name, a languages folder that is not there,
// transforms outside it or that are folders, a choice among several packages.

#include <cstdint>
#include <string>
#include <vector>

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/findings/findings.h"
#include "common/fixed_text.h"

namespace boot {

// An entry named "*.mst" somewhere in the package folder.
struct TransformFile {
    std::string file;        // relative to the package folder, with forward slashes, for findings
    std::string name;        // its own name
    std::string folderPath;  // the full path of its folder; empty when the ANSI code page cannot name it
    EntryKind kind = EntryKind::missing;
};

// Reads the package folder and its subfolders (eight deep at most, and not through
// links), each once: names there that differ only in letter case are reported
// (case-clash), and every "*.mst" is kept in `transforms`.
void WalkPackageFolder(FolderReader& platform, const char* folder, Findings& findings,
                       std::vector<TransformFile>& transforms);

// The packages the program's directory search finds, without MsiPath.
struct PackageChoice {
    std::uint32_t found = 0;
    std::string ntfsFirst;  // when there are several, the one NTFS returns first
};

// Without MsiPath, several packages leave the choice to the directory search
// (several-packages).
PackageChoice CheckPackageChoice(Platform& platform, Findings& findings);

// LanguagesDir, `setting` as read, names no folder (no-languages-folder); `line` is its line.
void CheckLanguagesFolder(FolderReader& platform, const TextBuffer& setting, std::uint32_t line, const Plan& plan,
                          Findings& findings);

// The package folder's transforms against those the program applies: one it would apply
// that lies outside the languages folder (transform-elsewhere), one in that folder that it
// never applies (unused-transform). `setting`: LanguagesDir as read.
void CheckTransformPlaces(FolderReader& platform, const std::vector<TransformFile>& transforms,
                          const TextBuffer& setting, const Plan& plan, Findings& findings);

// Whether the name ends in ".mst" (a search for "*.mst" also matches 8.3 aliases).
bool NameEndsWithTransformExtension(const char* name);

// A transform the program applies for a package of `productLanguage`: the other
// language's, and the documentation transform.
bool IsAppliedTransform(const char* name, std::int32_t productLanguage);
// 1031 for "1031.mst" (any letter case), and so for 1033; 0 for any other name.
std::int32_t LanguageOfName(const std::string& name);

// A folder's full path as the platform names it, without a trailing backslash; empty when
// it cannot be had.
std::string NormalizedFolder(Platform& platform, const std::string& path);

// A relative Windows path as a finding's file: forward slashes.
void AsFindingFile(const char* path, TextBuffer& file);
// What a file of the languages folder (LanguagesDir `setting`) is named behind in
// findings: the folder and "/", or nothing for the default folder.
void LanguagesFilePrefix(const TextBuffer& setting, TextBuffer& prefix);

}  // namespace boot
