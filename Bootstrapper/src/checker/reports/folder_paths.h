#pragma once
// The paths the front ends work out for the report (see report_context.h): the folder as
// given, and the folder relative to the current directory.

#include <string>

namespace boot {

// Removes separators ("/", and "\" when `backslash`) at the end of `path`, but not the one
// of a root ("/", "C:\").
void TrimFolderSeparators(std::string& path, bool backslash);

// Makes "\" into "/" (a Windows path in the form URIs and GitHub use).
void UseForwardSlashes(std::string& path);

// `folder` relative to `base`: both absolute, "/" between names, without "." or ".." parts.
// `ignoreCase`: names match without regard to ASCII letter case, as Windows matches them.
// False when the two share no root (two drives).
bool RelativeFolder(const std::string& folder, const std::string& base, bool ignoreCase, std::string& relative);

}  // namespace boot
