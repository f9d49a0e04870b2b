#pragma once
// Setup.ini's text as Windows' profile reader reads it, line by line and with line
// numbers: what the checker needs to point at a line, find names given twice or never
// read, and see a value as written. The Linux platform's profile reader answers from the
// same reading, so that checker and program read one file one way.
//
// Windows' rules, as far as a value's reading depends on them:
// - The file is ANSI text, or UTF-16 LE when it begins with FF FE (converted to the ANSI
//   code page as the platform converts it). A UTF-8 byte order mark is no mark: its three
//   bytes are the start of line 1.
// - Lines end at CR LF, LF or CR. Blanks (space, tab, CR, LF, VT, FF and the end-of-file
//   character 0x1A) are trimmed at both ends of a line.
// - A line whose first character is "[" is a section header; the name runs to the last
//   "]" of the line (or its end), not trimmed.
// - Any other line with an "=" is a key: the name is what stands before the first "=",
//   blanks trimmed at its end; the value is the rest, blanks trimmed. A line beginning
//   with ";" is a comment. Other lines, and keys before the first section, are ignored.
// - Names match without regard to letter case (ASCII letters). The first of two equal
//   sections counts, and within it the first of two equal keys; keys of a later section
//   of the same name are never read.
// - A value enclosed in a matching pair of double or single quotes is handed back
//   without them (the value as written keeps them).
// - A zero byte ends the value it stands in.

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace boot {

constexpr std::size_t kProfileTextCapacity = std::size_t{1} << 20;  // bytes of text kept
constexpr std::size_t kProfileLineCapacity = 32768;                 // lines kept

enum class ProfileEncoding { ansi, utf16, utf8WithMark };

enum class ProfileLineKind : std::uint8_t { blank, comment, section, key, other };

// A piece of the text: `length` bytes from `start`, not zero-terminated.
struct TextSpan {
    std::uint32_t start = 0;
    std::uint32_t length = 0;
};

struct ProfileLine {
    std::uint32_t number = 0;  // 1 for the first line
    ProfileLineKind kind = ProfileLineKind::blank;
    TextSpan name;    // a section's or a key's name
    TextSpan value;   // a key's value as written: blanks trimmed, quotes kept
    std::int32_t section = -1;  // a key's section: the index of its header line, -1 before any
};

class ProfileText {
public:
    // Defined out of line: an instance is large, and a caller that saw an inline
    // constructor would store its whole first image (every line's section is -1) in the
    // program file instead of filling it at run time.
    ProfileText();
    ProfileText(const ProfileText&) = delete;
    ProfileText& operator=(const ProfileText&) = delete;
    ~ProfileText() = default;

    // Reads the file through the platform (CreateFileA, ReadFile, CloseHandle). False,
    // with no lines, when it cannot be opened; a missing file is no error of the text.
    bool Load(Platform& platform, const char* path);
    // The same from bytes in memory (the platform converts UTF-16 text).
    void LoadBytes(Platform& platform, const std::uint8_t* bytes, std::size_t size);

    ProfileEncoding Encoding() const { return encoding_; }
    // More text or lines than are kept: the rest was not read.
    bool IsCut() const { return cut_; }

    std::size_t LineCount() const { return lineCount_; }
    const ProfileLine& Line(std::size_t index) const { return lines_[index]; }
    const char* Text() const { return text_; }

    // Whether `span` equals `name` without regard to ASCII letter case.
    bool NameIs(TextSpan span, const char* name) const;

    // The line of the section that counts for `section` (the first of that name), or -1.
    std::int32_t FindSection(const char* section) const;
    // The line of the key that counts (the first of that name in the section that counts),
    // or -1.
    std::int32_t FindKey(const char* section, const char* key) const;

    // What GetPrivateProfileStringA hands back for the key: its value without a matching
    // pair of outer quotes, cut at a zero byte. Empty when section or key are missing.
    TextSpan ReadValue(const char* section, const char* key) const;

private:
    static constexpr std::size_t kConvertUnits = 512;  // UTF-16 units converted at a time

    void Begin();
    // `bytes` continue the file; the first piece holds its start, only the last one may end
    // inside a UTF-16 unit.
    void AppendBytes(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool first, bool last);
    void AppendUtf16(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool last);
    std::size_t ConvertUnits(Platform& platform, WideChar* units, std::size_t count, bool last);
    void AppendText(const char* text, std::size_t size);
    void Parse();
    void ReadLine(std::size_t begin, std::size_t end, std::int32_t section, ProfileLine& line) const;

    char text_[kProfileTextCapacity] = {};
    std::size_t textLength_ = 0;
    ProfileLine lines_[kProfileLineCapacity] = {};
    std::size_t lineCount_ = 0;
    ProfileEncoding encoding_ = ProfileEncoding::ansi;
    bool cut_ = false;
    WideChar heldHighSurrogate_ = 0;  // the end of one piece, waiting for its partner
};

// A span without a matching pair of outer double or single quotes.
TextSpan WithoutOuterQuotes(const char* text, TextSpan span);

}  // namespace boot
