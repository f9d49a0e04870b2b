#pragma once
// The paths the front ends work out for the report (see report_context.h): the folder as
// given, and the folder relative to the current directory.

#include "checker/output/report_context.h"

namespace boot {

// Removes separators ("/", and "\" when `backslash`) at the end of `path`, but not the one
// of a root ("/", "C:\").
void TrimFolderSeparators(char* path, bool backslash);

// Makes "\" into "/" (a Windows path in the form URIs and GitHub use).
void UseForwardSlashes(char* path);

// `folder` relative to `base`: both absolute, "/" between names, without "." or ".." parts.
// `ignoreCase`: names match without regard to ASCII letter case, as Windows matches them.
// False when the two share no root (two drives), or the result does not fit.
bool RelativeFolder(const char* folder, const char* base, bool ignoreCase, Utf8Text& relative);

}  // namespace boot
