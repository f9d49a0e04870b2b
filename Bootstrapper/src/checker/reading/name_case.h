#pragma once
// File names as Windows' file systems compare them: without regard to letter case, by
// NTFS's upper-case table, and in NTFS's order, which is the order of the upper-cased
// UTF-16 units. A directory search on NTFS hands its entries back in that order, so the
// first "*.msi" the program finds is the first in it.
//
// The table here holds the letters of the scripts package names are written in: ASCII,
// Latin-1, Latin Extended-A, basic Greek and Cyrillic, and the full-width Latin letters;
// every other unit is its own upper case.

#include <string>

#include "platform/platform.h"

namespace boot {

WideChar UpperCaseUnit(WideChar unit);
std::u16string UpperCaseName(const std::u16string& name);

// Whether two names are one name to Windows.
bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b);

// Whether `a` comes before `b` in NTFS's order; names NTFS takes for one are ordered by
// their units, so that the order is total.
bool ComesFirstOnNtfs(const std::u16string& a, const std::u16string& b);

}  // namespace boot
