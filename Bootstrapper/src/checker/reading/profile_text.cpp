#include "checker/reading/profile_text.h"

#include <algorithm>
#include <cstring>

#include "checker/reading/unicode_text.h"
#include "common/fixed_text.h"
#include "common/text_rules.h"

namespace boot {

namespace {

constexpr std::size_t kReadChunk = std::size_t{1} << 16;      // even: a piece of a UTF-16 file holds whole units
constexpr std::size_t kConvertUnits = std::size_t{1} << 15;   // UTF-16 units converted at a time
constexpr std::size_t kBytesPerUnit = 3;                      // the most an ANSI code page (UTF-8) needs
constexpr std::uint8_t kUtf16Mark[2] = {0xFF, 0xFE};
constexpr std::uint8_t kUtf16BigEndianMark[2] = {0xFE, 0xFF};
constexpr std::uint8_t kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};
constexpr unsigned kBitsPerByte = 8;
constexpr char kSectionKeySeparator = '\n';  // never part of a name

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

// Characters some readers take as blanks and of which it is not known whether Windows'
// profile reader does: form feed, the separators 1C to 1F, the end-of-file character
// 1A, and the no-break space A0 of code page 1252.
bool IsDoubtfulBlank(char c)
{
    constexpr unsigned char kEndOfFile = 0x1A;
    constexpr unsigned char kFirstSeparator = 0x1C;  // file, group, record and unit separators
    constexpr unsigned char kLastSeparator = 0x1F;
    constexpr unsigned char kNoBreakSpace = 0xA0;
    const auto byte = static_cast<unsigned char>(c);
    return byte == '\f' || byte == kEndOfFile || (byte >= kFirstSeparator && byte <= kLastSeparator) ||
           byte == kNoBreakSpace;
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

// Whether a byte after a zero byte leaves it the file's end: it begins no name.
bool IsPadding(char c) { return c == '\0' || IsBlank(c) || IsLineBreak(c) || IsDoubtfulBlank(c); }

bool StartsWith(const std::uint8_t* bytes, std::size_t size, const std::uint8_t* mark, std::size_t markSize)
{
    return size >= markSize && std::equal(mark, mark + markSize, bytes);
}

// Moves `from` and `to` inward past the blanks at both ends of that piece of `text`.
void TrimBlanks(const char* text, std::size_t& from, std::size_t& to)
{
    while (from < to && IsBlank(text[from])) {
        ++from;
    }
    while (to > from && IsBlank(text[to - 1])) {
        --to;
    }
}

TextSpan MakeSpan(std::size_t begin, std::size_t end)
{
    TextSpan span;
    span.start = static_cast<std::uint32_t>(begin);
    span.length = static_cast<std::uint32_t>(end - begin);
    return span;
}

// The piece from `begin` to `end` without the blanks at its ends.
TextSpan TrimmedSpan(const char* text, std::size_t begin, std::size_t end)
{
    TrimBlanks(text, begin, end);
    return MakeSpan(begin, end);
}

// Whether the piece begins or ends with a character of unknown blankness.
bool HasDoubtfulEdge(const char* text, TextSpan span)
{
    const std::uint32_t end = span.start + span.length;
    return span.length > 0 && (IsDoubtfulBlank(text[span.start]) || IsDoubtfulBlank(text[end - 1]));
}

std::string LowerName(const char* text, std::size_t length)
{
    std::string name(text, length);
    std::transform(name.begin(), name.end(), name.begin(), LowerAscii);
    return name;
}

std::string LowerName(const char* text) { return LowerName(text, std::strlen(text)); }

// A key's index name: its section's, the separator, its own.
std::string KeyName(std::string section, const std::string& key)
{
    section += kSectionKeySeparator;
    section += key;
    return section;
}

// The line an index holds for `name`, or -1.
template <typename Index>
std::int32_t LineOf(const Index& index, const std::string& name)
{
    const auto found = index.find(name);
    return found == index.end() ? -1 : found->second;
}

// Fills `buffer` as far as the file goes; ReadFile may hand back less than asked.
std::size_t ReadPiece(Platform& platform, Handle file, std::uint8_t* buffer, std::size_t size)
{
    std::size_t filled = 0;
    while (filled < size) {
        std::uint32_t read = 0;
        if (!platform.ReadFile(file, buffer + filled, static_cast<std::uint32_t>(size - filled), &read) ||
            read == 0) {
            break;
        }
        filled += read;
    }
    return filled;
}

}  // namespace

TextSpan WithoutOuterQuotes(const char* text, TextSpan span)
{
    if (span.length < 2) {
        return span;
    }
    const char first = text[span.start];
    const char last = text[span.start + span.length - 1];
    if ((first == '"' || first == '\'') && last == first) {
        span.start += 1;
        span.length -= 2;
    }
    return span;
}

std::string SpanText(const ProfileText& text, TextSpan span)
{
    return std::string(text.Text() + span.start, span.length);
}

ProfileLoad ProfileText::Load(Platform& platform, const char* path)
{
    Begin();
    const Handle file = platform.CreateFileA(path, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting,
                                             kFileAttributeNormal);
    if (file == kInvalidHandle) {
        return ProfileLoad::notOpened;
    }
    std::vector<std::uint8_t> piece(kReadChunk);
    bool first = true;
    bool last = false;
    bool fits = true;
    while (!last && fits) {
        const std::size_t size = ReadPiece(platform, file, piece.data(), piece.size());
        last = size < piece.size();
        fits = Append(platform, piece.data(), size, first, last);
        first = false;
    }
    platform.CloseHandle(file);
    if (!fits) {
        Begin();
        return ProfileLoad::tooLarge;
    }
    EndAtTrailingZero();
    Parse();
    return ProfileLoad::read;
}

void ProfileText::EndAtTrailingZero()
{
    const auto zero = std::find(text_.begin(), text_.end(), '\0');
    if (zero == text_.end() || !std::all_of(zero, text_.end(), IsPadding)) {
        return;
    }
    text_.erase(zero, text_.end());
    const auto size = static_cast<std::uint32_t>(text_.size());
    inexact_.erase(std::lower_bound(inexact_.begin(), inexact_.end(), size), inexact_.end());
}

void ProfileText::Begin()
{
    text_.clear();
    lines_.clear();
    sections_.clear();
    keys_.clear();
    keylessLines_.clear();
    doubtfulSections_.clear();
    pendingUnits_.clear();
    inexact_.clear();
    encoding_ = ProfileEncoding::ansi;
}

// False when the text would grow beyond the limit.
bool ProfileText::Append(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool first, bool last)
{
    if (first && StartsWith(bytes, size, kUtf16Mark, sizeof kUtf16Mark)) {
        encoding_ = ProfileEncoding::utf16;
        bytes += sizeof kUtf16Mark;
        size -= sizeof kUtf16Mark;
    } else if (first && StartsWith(bytes, size, kUtf8Mark, sizeof kUtf8Mark)) {
        // Windows knows no such mark: its bytes stay, as the start of line 1.
        encoding_ = ProfileEncoding::utf8WithMark;
    } else if (first && StartsWith(bytes, size, kUtf16BigEndianMark, sizeof kUtf16BigEndianMark)) {
        encoding_ = ProfileEncoding::utf16BigEndian;
    }
    if (encoding_ == ProfileEncoding::utf16) {
        return AppendUtf16(platform, bytes, size, last);
    }
    if (encoding_ == ProfileEncoding::utf16BigEndian) {
        return true;  // Windows reads not a line of it
    }
    if (size > kProfileTextLimit - text_.size()) {
        return false;
    }
    text_.append(bytes, bytes + size);
    return true;
}

bool ProfileText::AppendUtf16(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool last)
{
    // A lone byte at the very end is no character.
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        pendingUnits_.push_back(static_cast<WideChar>(bytes[i] | (bytes[i + 1] << kBitsPerByte)));
        if (pendingUnits_.size() == kConvertUnits && !ConvertUnits(platform, false)) {
            return false;
        }
    }
    return ConvertUnits(platform, last);
}

// Converts the pending units and appends them; unless it is the last, a high surrogate at
// the end is kept back for the low one the next piece begins with, so that the pair
// converts as the one character it is.
bool ProfileText::ConvertUnits(Platform& platform, bool last)
{
    const bool keep = !last && !pendingUnits_.empty() && IsHighSurrogate(pendingUnits_.back());
    const std::size_t convert = pendingUnits_.size() - (keep ? 1 : 0);
    if (convert > 0) {
        std::vector<char> converted(kBytesPerUnit * convert);
        const std::int32_t written = platform.WideCharToMultiByte(
            kCodePageAnsi, 0, pendingUnits_.data(), static_cast<std::int32_t>(convert), converted.data(),
            static_cast<std::int32_t>(converted.size()), nullptr, nullptr);
        if (written > 0) {
            if (static_cast<std::size_t>(written) > kProfileTextLimit - text_.size()) {
                return false;
            }
            NoteInexactCharacters(platform, converted.data(), static_cast<std::size_t>(written), convert);
            text_.append(converted.data(), static_cast<std::size_t>(written));
        }
    }
    pendingUnits_.erase(pendingUnits_.begin(), pendingUnits_.begin() + static_cast<std::ptrdiff_t>(convert));
    return true;
}

// Where the conversion of `units` (the first `count` pending ones) into `converted` was
// not exact, as the platform converts back. Told character by character only where each
// character became one byte (a single-byte code page); elsewhere the program's own
// reading of each value decides.
void ProfileText::NoteInexactCharacters(Platform& platform, const char* converted, std::size_t written,
                                        std::size_t count)
{
    std::vector<WideChar> back(written);
    if (platform.MultiByteToWideChar(kCodePageAnsi, 0, converted, static_cast<std::int32_t>(written), back.data(),
                                     static_cast<std::int32_t>(back.size())) != static_cast<std::int32_t>(written)) {
        return;
    }
    const auto base = static_cast<std::uint32_t>(text_.size());
    std::size_t byte = 0;
    for (std::size_t unit = 0; unit < count && byte < written; ++unit, ++byte) {
        const bool pair = IsHighSurrogate(pendingUnits_[unit]) && unit + 1 < count &&
                          IsLowSurrogate(pendingUnits_[unit + 1]);
        if (pair || back[byte] != pendingUnits_[unit]) {
            inexact_.push_back(base + static_cast<std::uint32_t>(byte));
        }
        unit += pair ? 1 : 0;
    }
}

bool ProfileText::IsExact(TextSpan span) const
{
    const auto first = std::lower_bound(inexact_.begin(), inexact_.end(), span.start);
    return first == inexact_.end() || *first >= span.start + span.length;
}

bool ProfileText::IsExactAt(std::uint32_t offset) const
{
    return !std::binary_search(inexact_.begin(), inexact_.end(), offset);
}

void ProfileText::Parse()
{
    std::int32_t section = -1;
    std::size_t begin = 0;
    std::uint32_t number = 1;
    while (begin < text_.size()) {
        std::size_t end = begin;
        while (end < text_.size() && !IsLineBreak(text_[end])) {
            ++end;
        }
        ReadLine(begin, end, number, section);
        if (!lines_.empty() && lines_.back().number == number && lines_.back().kind == ProfileLineKind::section) {
            section = static_cast<std::int32_t>(lines_.size() - 1);
        }
        ++number;
        // CR LF is one line break, and so is a CR or an LF alone.
        begin = end < text_.size() ? end + 1 : end;
        if (text_[end] == '\r' && begin < text_.size() && text_[begin] == '\n') {
            ++begin;
        }
    }
    Index();
}

void ProfileText::ReadLine(std::size_t begin, std::size_t end, std::uint32_t number, std::int32_t section)
{
    const char* text = text_.data();
    TrimBlanks(text, begin, end);
    // A line of nothing but such characters is ignored whichever way Windows reads them.
    if (std::all_of(text + begin, text + end, IsDoubtfulBlank)) {
        return;
    }
    ProfileLine line;
    line.number = number;
    line.section = section;
    bool unknownBlank = HasDoubtfulEdge(text, MakeSpan(begin, end));
    if (text[begin] == '[') {
        unknownBlank = ReadSectionHeader(begin, end, line) || unknownBlank;
    } else if (text[begin] == ';') {
        line.kind = ProfileLineKind::comment;
    } else {
        const char* equals = std::find(text + begin, text + end, '=');
        if (equals == text + end) {
            line.kind = ProfileLineKind::other;
            line.name = MakeSpan(begin, end);
            line.doubt = LineDoubt::noEquals;
        } else {
            const auto at = static_cast<std::size_t>(equals - text);
            line.kind = ProfileLineKind::key;
            line.name = TrimmedSpan(text, begin, at);
            line.value = TrimmedSpan(text, at + 1, end);
            unknownBlank = unknownBlank || HasDoubtfulEdge(text, line.name) || HasDoubtfulEdge(text, line.value);
        }
    }
    if (unknownBlank) {
        line.doubt = LineDoubt::unknownBlank;
    }
    if (std::find(text + begin, text + end, '\0') != text + end) {
        line.doubt = LineDoubt::zeroByte;
    }
    lines_.push_back(line);
}

// A line that begins with "[": the name runs to the first "]" or to the line's end. True
// when the name begins or ends with a character of unknown blankness.
bool ProfileText::ReadSectionHeader(std::size_t begin, std::size_t end, ProfileLine& line) const
{
    const char* text = text_.data();
    const char* close = std::find(text + begin + 1, text + end, ']');
    const auto closeAt = static_cast<std::size_t>(close - text);
    line.kind = ProfileLineKind::section;
    line.name = TrimmedSpan(text, begin + 1, closeAt);
    const TextSpan rest = TrimmedSpan(text, close != text + end ? closeAt + 1 : end, end);
    if (rest.length > 0 && text[rest.start] != ';') {
        line.doubt = LineDoubt::textAfterName;
    }
    if (close == text + end) {
        line.doubt = LineDoubt::noBracket;
    }
    return HasDoubtfulEdge(text, line.name);
}

std::string ProfileText::IndexName(TextSpan span) const
{
    std::string name = LowerName(text_.data() + span.start, span.length);
    if (!IsExact(span)) {
        name.insert(name.begin(), kSectionKeySeparator);
    }
    return name;
}

// A header Windows is known to read as this reading does: "[Name]", nothing doubtful.
bool ProfileText::IsOddHeader(const ProfileLine& line) const
{
    const std::size_t end = line.name.start + line.name.length;
    return line.doubt != LineDoubt::none || line.name.start == 0 || text_[line.name.start - 1] != '[' ||
           end >= text_.size() || text_[end] != ']' || !IsExact(line.name);
}

void ProfileText::Index()
{
    oddHeaders_ = encoding_ == ProfileEncoding::utf8WithMark;
    doubtfulValues_ = false;
    // Keys follow their header, so one pass knows for each key whether its section counts.
    std::string sectionName;
    bool counting = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ProfileLine& line = lines_[i];
        if (line.kind == ProfileLineKind::section) {
            sectionName = IndexName(line.name);
            counting = sections_.emplace(sectionName, static_cast<std::int32_t>(i)).second;
            oddHeaders_ = oddHeaders_ || IsOddHeader(line);
            continue;
        }
        if (line.section >= 0 && (line.doubt != LineDoubt::none || !IsExact(line.name))) {
            doubtfulSections_.insert(sectionName);
        }
        doubtfulValues_ = doubtfulValues_ || (line.kind == ProfileLineKind::key && IsDoubtfulValue(line.value));
        const bool keyless = line.kind == ProfileLineKind::other && line.doubt == LineDoubt::noEquals;
        if ((line.kind == ProfileLineKind::key || keyless) && line.section >= 0 && counting) {
            auto& index = keyless ? keylessLines_ : keys_;
            index.emplace(KeyName(sectionName, IndexName(line.name)), static_cast<std::int32_t>(i));
        }
    }
}

bool ProfileText::IsDoubtfulValue(TextSpan value) const
{
    // A quoted value of 1,022 characters fills the program's buffer once its quotes go.
    constexpr std::uint32_t kLongValue = kTextBufferSize - 2;
    return value.length >= kLongValue || !IsExact(value);
}

bool ProfileText::MayBeReadOtherwise(const char* section, const char* key) const
{
    if (!oddHeaders_ && !doubtfulValues_ && doubtfulSections_.empty()) {
        return false;  // the usual file, answered without a look-up
    }
    if (oddHeaders_ || doubtfulSections_.count(LowerName(section)) != 0) {
        return true;
    }
    const std::int32_t found = FindKey(section, key);
    return found >= 0 && IsDoubtfulValue(lines_[static_cast<std::size_t>(found)].value);
}

std::int32_t ProfileText::FindSection(const char* section) const
{
    return LineOf(sections_, LowerName(section));
}

bool ProfileText::IsCountingSection(std::size_t index) const
{
    const auto found = sections_.find(IndexName(lines_[index].name));
    return found != sections_.end() && found->second == static_cast<std::int32_t>(index);
}

std::size_t ProfileText::CountingLineOf(std::size_t index) const
{
    const ProfileLine& line = lines_[index];
    const std::string name = IndexName(line.name);
    std::int32_t counting = -1;
    if (line.kind == ProfileLineKind::section) {
        counting = LineOf(sections_, name);
    } else if (line.kind == ProfileLineKind::key && line.section >= 0) {
        counting = LineOf(keys_, KeyName(IndexName(lines_[static_cast<std::size_t>(line.section)].name), name));
    }
    return counting < 0 ? index : static_cast<std::size_t>(counting);
}

std::int32_t ProfileText::FindKey(const char* section, const char* key) const
{
    return LineOf(keys_, KeyName(LowerName(section), LowerName(key)));
}

std::int32_t ProfileText::KeylessLineBefore(const char* section, const char* key) const
{
    if (keylessLines_.empty()) {
        return -1;
    }
    const std::int32_t keyless = LineOf(keylessLines_, KeyName(LowerName(section), LowerName(key)));
    const std::int32_t found = FindKey(section, key);
    if (keyless < 0 || found < 0 || keyless > found || ReadValue(section, key).length == 0) {
        return -1;
    }
    return keyless;
}

TextSpan ProfileText::ReadValue(const char* section, const char* key) const
{
    const std::int32_t found = FindKey(section, key);
    if (found < 0) {
        return TextSpan{};
    }
    TextSpan value = lines_[static_cast<std::size_t>(found)].value;
    // The value ends at a zero byte, and only what is left can be a quoted pair.
    const char* start = text_.data() + value.start;
    value.length = static_cast<std::uint32_t>(std::find(start, start + value.length, '\0') - start);
    return WithoutOuterQuotes(text_.data(), value);
}

}  // namespace boot
