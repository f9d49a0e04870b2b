#pragma once
// Setup.ini's text as Windows' profile reader reads it, line by line and with line
// numbers: what the checker needs to point at a line, find names given twice or never
// read, and see a value as written. The Linux folder reader's profile reader answers from the
// same reading, so that checker and program read one file one way.
//
// Windows' rules, and what each rests on. "Documented": Microsoft's documentation of
// GetPrivateProfileString. "Tested": the public reverse-engineering notes
// IniFileFormatReverseEngineering, whose tests ran on real Windows, or Wine's tests of
// the profile functions (dlls/kernel32/tests/profile.c), which pass on Windows.
// - The file is ANSI text, or UTF-16 LE when it begins with FF FE (tested), converted to
//   the ANSI code page as the platform converts it. A UTF-8 byte order mark is no mark:
//   its three bytes are the start of line 1 and spoil a section header there (tested).
//   The big-endian mark FE FF is no mark either: Windows' reader knows only FF FE and
//   reads such a file as all defaults (Wine's reader takes it), so it holds no line here.
// - Lines end at CR LF, LF or CR (tested, Wine's "CR only" run).
// - Blanks are space, tab and vertical tab (tested): they are trimmed at both ends of a
//   line, around a key's name and around its value. Whether Windows also trims other
//   characters (form feed, the end-of-file character 0x1A, the no-break space A0) is
//   not known: a name or value that begins or ends with one is read untrimmed and its
//   line is doubtful.
// - A line whose first character is ";" is a comment (tested, also behind blanks). A ";"
//   anywhere else belongs to the name or value it stands in (tested).
// - A line whose first character is "[" is a section header. Its name runs to the first
//   "]" (tested: "[sec]whoops" is "sec"), or to the end of the line when there is none
//   (tested: "[sec" is "sec"), and is trimmed of blanks (tested: "[ sec ]" is "sec";
//   Wine's tests agree). Text after the "]" is ignored (tested: "[sec]key=value" holds
//   no key); unless it is a ";" comment the line is doubtful, as the author meant it.
// - Any other line with an "=" is a key: the name is what stands before the first "=",
//   the value the rest, both trimmed (tested). A line without "=" is no key (tested:
//   Wine's test lists a section's keys without it); how Windows reads a key of that
//   name after it is not known, so the line is doubtful. Keys before the first section
//   belong to none and are never read (tested).
// - Names match without regard to letter case (documented; ASCII letters here, as every
//   name the program reads is ASCII). The first of two equal sections counts and the
//   keys of a later one are never read; within a section the first of two equal keys
//   counts (tested).
// - A value enclosed in a matching pair of double or single quotes is handed back
//   without them (documented; tested: only the outermost pair, and only a matching one).
// - A zero byte followed by nothing but zero bytes, blanks and line breaks ends the
//   file: such padding reads as nothing whether a reader takes a zero byte for the end of
//   the file or for the end of a name or value (Wine's does: a line that begins with one
//   has no name a read could match). Any other zero byte ends the value it stands in,
//   as the ANSI caller reads the text; how Windows reads the rest of the file is not
//   known there, so the line is doubtful.
//
// The whole file is read, up to kProfileTextLimit bytes of text; a longer one is not
// read at all, so that nothing is ever checked in part.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/platform.h"

namespace boot {

constexpr std::size_t kProfileTextLimit = std::size_t{16} << 20;  // bytes of text, 16 MiB

enum class ProfileEncoding { ansi, utf16, utf8WithMark, utf16BigEndian };

enum class ProfileLoad {
    read,
    notOpened,  // missing, a folder, a device or not readable: the platform cannot open it
    tooLarge,   // more than kProfileTextLimit bytes of text: nothing was read
};

enum class ProfileLineKind : std::uint8_t { blank, comment, section, key, other };

// Why Windows' reading of a line is uncertain, or not what it looks like.
enum class LineDoubt : std::uint8_t {
    none,
    noEquals,       // an "other" line: no section, no comment, no "="
    textAfterName,  // a section header with text after its "]"
    noBracket,      // a section header without "]": Windows reads the section, other readers none
    unknownBlank,   // a name or value begins or ends with a character of unknown blankness
    zeroByte,       // the line holds a zero byte
};

// A piece of the text: `length` bytes from `start`, not zero-terminated.
struct TextSpan {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

struct ProfileLine {
    std::uint32_t number = 0;  // 1 for the first line
    ProfileLineKind kind = ProfileLineKind::blank;
    LineDoubt doubt = LineDoubt::none;
    TextSpan name;              // a section's or a key's name; an "other" line's text
    TextSpan value;             // a key's value as written: blanks trimmed, quotes kept
    std::int32_t section = -1;  // the index of the section header a line follows, -1 before any
};

class ProfileText {
public:
    ProfileText() = default;
    ProfileText(const ProfileText&) = delete;
    ProfileText& operator=(const ProfileText&) = delete;
    ~ProfileText() = default;

    // Reads the file through the platform (CreateFileA, ReadFile, CloseHandle). Without
    // `read`, there are no lines.
    ProfileLoad Load(Platform& platform, const char* path);

    ProfileEncoding Encoding() const { return encoding_; }

    // The lines that are not blank, in file order (a blank line has no entry; the
    // numbers say where each line is).
    std::size_t LineCount() const { return lines_.size(); }
    const ProfileLine& Line(std::size_t index) const { return lines_[index]; }
    const char* Text() const { return text_.data(); }
    std::size_t TextLength() const { return text_.size(); }

    // The index of the line of the section that counts for `section` (the first of that
    // name), or -1.
    std::int32_t FindSection(const char* section) const;
    // Whether section line `index` is the one that counts for its name.
    bool IsCountingSection(std::size_t index) const;
    // The line that counts for the name of line `index`, compared as written (zero bytes
    // and all): for a section, the first section of that name; for a key of the section
    // that counts, the first key of that name in it. Line `index` itself where none other
    // counts.
    std::size_t CountingLineOf(std::size_t index) const;
    // The index of the line of the key that counts (the first of that name in the section
    // that counts), or -1.
    std::int32_t FindKey(const char* section, const char* key) const;

    // Whether Windows' reader may read the key otherwise than this reading, so that only
    // Windows can tell: the file holds a section header of an odd form (no "]", blanks or
    // doubtful characters inside the brackets) or a UTF-8 mark; a section of that name
    // holds a doubtful line or a name the ANSI code page cannot hold exactly; or the value
    // is long enough to be cut, or holds such characters.
    bool MayBeReadOtherwise(const char* section, const char* key) const;

    // A line of the key's name without "=" that stands before the key in the section that
    // counts, so that how Windows reads the key is not known: as the value below (the
    // line is no key) or as an empty value (the line is the key, as Wine reads it). The
    // line's index, or -1 where both would read the same.
    std::int32_t KeylessLineBefore(const char* section, const char* key) const;
    bool HasKeylessLines() const { return !keylessLines_.empty(); }

    // What GetPrivateProfileStringA hands back for the key: its value cut at a zero
    // byte, without a matching pair of outer quotes. Empty when section or key are
    // missing.
    TextSpan ReadValue(const char* section, const char* key) const;

    // Whether every character of `span` is the one the file holds: false where a UTF-16
    // file holds a character the ANSI code page has no exact form for (the text then
    // holds what the conversion made of it).
    bool IsExact(TextSpan span) const;
    bool IsExactAt(std::uint32_t offset) const;

private:
    void Begin();
    bool Append(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool first, bool last);
    bool AppendUtf16(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool last);
    bool ConvertUnits(Platform& platform, bool last);
    void NoteInexactCharacters(Platform& platform, const char* converted, std::size_t written, std::size_t count);
    void EndAtTrailingZero();
    void Parse();
    void ReadLine(std::size_t begin, std::size_t end, std::uint32_t number, std::int32_t section);
    bool ReadSectionHeader(std::size_t begin, std::size_t end, ProfileLine& line) const;
    void Index();
    // A name as the index holds it: lower case; a name with a character the ANSI code
    // page holds no exact form of is marked, so that none of the program's names matches it.
    std::string IndexName(TextSpan span) const;
    bool IsOddHeader(const ProfileLine& line) const;
    bool IsDoubtfulValue(TextSpan value) const;

    std::string text_;
    std::vector<ProfileLine> lines_;
    // Lower-case names: a section's to its counting header; "section\nkey" to the counting key.
    std::unordered_map<std::string, std::int32_t> sections_;
    std::unordered_map<std::string, std::int32_t> keys_;
    // "section\nkey" to the first line of the key's name without "=" in the counting section.
    std::unordered_map<std::string, std::int32_t> keylessLines_;
    std::unordered_set<std::string> doubtfulSections_;  // lower-case names of sections with a doubtful line
    bool oddHeaders_ = false;
    bool doubtfulValues_ = false;  // a value long enough to be cut, or with characters the code page lacks
    ProfileEncoding encoding_ = ProfileEncoding::ansi;
    std::vector<WideChar> pendingUnits_;  // UTF-16 units not converted yet
    std::vector<std::uint32_t> inexact_;  // offsets in the text, ascending, of characters not converted exactly
};

// A span without a matching pair of outer double or single quotes.
TextSpan WithoutOuterQuotes(const char* text, TextSpan span);

// The text of a span as a string.
std::string SpanText(const ProfileText& text, TextSpan span);

}  // namespace boot
