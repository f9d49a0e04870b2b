#pragma once
// Windows' rules for path texts, with no file system behind them. Texts are UTF-8 here;
// only the ASCII separators, dots, blanks, letters and wildcards have a meaning.

#include <cstddef>

namespace boot {

// What GetFullPathNameA makes of `path` with `currentDirectory` ("X:\..." form) as the
// current directory: "/" read as "\", relative paths put behind the current directory
// ("\name" behind its drive, "X:name" behind it when X is its drive), repeated separators
// folded, "." and ".." resolved (never above the root), trailing dots and blanks of the
// last name dropped and one trailing dot of every other name (Windows never keeps them),
// a trailing separator kept. "\\server\..."
// stays a UNC path. False, with `full` empty, when the result does not fit `capacity`
// or the path is empty.
bool FullWindowsPath(const char* path, const char* currentDirectory, char* full, std::size_t capacity);

bool HasWildcards(const char* name);

// A directory search's match: "*" any run of characters, "?" one character, letters
// without regard to case (name_case.h), every other character exactly (a byte that is
// no UTF-8 character only by itself).
bool MatchesWildcards(const char* pattern, const char* name);

}  // namespace boot
