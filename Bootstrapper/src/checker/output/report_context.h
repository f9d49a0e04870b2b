#pragma once
// What every output format needs besides the findings and the plan: who the checker is,
// how its texts become UTF-8, and how a finding's file is named for the reader.
//
// A finding names its file relative to the folder ("Setup.ini", "Languages/1036.mst", "."
// for the folder itself). Shown to a person (text, JSON) it is put behind the folder as
// the command line gave it, so that editors and problem matchers open it; for GitHub
// (SARIF, workflow commands) behind the folder's path relative to the current directory,
// which is where CI runs from: the checkout's root.

#include <cstddef>
#include <cstdint>
#include <string>

namespace boot {

enum class ReportFormat { text, json, sarif, github, markdown };

// The checker's texts are in the ANSI code page (names, values, the package's data, as
// the program reads them); the output is UTF-8. False when it does not fit.
using AnsiToUtf8 = bool (*)(const char* ansi, char* utf8, std::size_t capacity);

struct ReportSettings {
    const char* program = "";         // the checker's own name: "bootstrapper-check"
    const char* version = "";         // its version: "1.0.0"
    const char* informationUri = "";  // where it is documented, empty when nowhere
    AnsiToUtf8 toUtf8 = nullptr;
    // UTF-8. The folder as the command line gave it, without separators at its end (but
    // "/" or "C:\" for a root), empty for the current directory; and the separator put
    // between it and a file's names, whose "/" become that separator too.
    const char* shownFolder = "";
    char separator = '/';
    // UTF-8, "/" between names. The folder relative to the current directory, empty for
    // the current directory itself; or, where it has no relative path (another drive), its
    // absolute path ("D:/Packages/App", "//server/share/App").
    const char* relativeFolder = "";
    // UTF-8, "/" between names: the current directory's absolute path, empty when unknown.
    const char* currentDirectory = "";
    // The text format: each finding's line is followed by its rule's fix (--show-fixes).
    bool showFixes = false;
};

// `ansi` in UTF-8; a placeholder when it cannot be converted.
std::string ToUtf8(const ReportSettings& settings, const std::string& ansi);

// "1 error, 2 warnings", as the summaries count the findings.
std::string CountsInWords(std::uint32_t errors, std::uint32_t warnings);

// A finding's file (`file` in UTF-8) as shown to a person, and relative to the current
// directory ("/" between names).
std::string ShownPath(const ReportSettings& settings, const std::string& file);
std::string RelativePath(const ReportSettings& settings, const std::string& file);
// Whether a relative path of RelativePath is absolute after all: "/...", "//..." or "C:/...".
bool IsAbsolutePath(const char* path);

}  // namespace boot
