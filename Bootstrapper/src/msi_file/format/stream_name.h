#pragma once
// The names of a database's streams as the compound file holds them: Windows Installer
// packs names of letters, digits, "." and "_" two characters to a UTF-16 unit, and marks
// the streams of tables with one unit in front.

#include <cstddef>
#include <string>

namespace boot::msi {

// Longest name a compound file's directory entry holds, in UTF-16 units.
constexpr std::size_t kMaxStreamNameUnits = 31;
// The unit in front of a table's stream name.
constexpr char16_t kTableStreamMark = 0x4840;

// The packed name of `utf8Name` (the stream of a table when `isTable`). Empty for text that
// is no UTF-8.
std::u16string EncodeStreamName(const std::string& utf8Name, bool isTable);

// A packed name read back: the plain name, and whether it names a table's stream.
std::string DecodeStreamName(const std::u16string& units, bool& isTable);

// Whether Windows Installer can open the stream of this packed name: a table's name must
// leave its reader room for the terminating zero.
bool FitsStreamName(const std::u16string& units);

// How libgsf names a stream: the UTF-8 form of its UTF-16 units, and back.
std::string StreamNameUtf8(const std::u16string& units);
std::u16string StreamNameUnits(const std::string& utf8);

}  // namespace boot::msi
