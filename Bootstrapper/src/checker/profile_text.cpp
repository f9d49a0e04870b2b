#include "checker/profile_text.h"

#include "common/text_rules.h"

namespace boot {

namespace {

constexpr std::size_t kReadChunk = 4096;  // even: a piece of a UTF-16 file holds whole units
constexpr std::uint8_t kUtf16Mark[2] = {0xFF, 0xFE};
constexpr std::uint8_t kUtf8Mark[3] = {0xEF, 0xBB, 0xBF};
constexpr unsigned kBitsPerByte = 8;
constexpr WideChar kHighSurrogateFirst = 0xD800;
constexpr WideChar kLowSurrogateFirst = 0xDC00;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == '\x1a';
}

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }


bool IsHighSurrogate(WideChar unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }

bool StartsWith(const std::uint8_t* bytes, std::size_t size, const std::uint8_t* mark, std::size_t markSize)
{
    if (size < markSize) {
        return false;
    }
    for (std::size_t i = 0; i < markSize; ++i) {
        if (bytes[i] != mark[i]) {
            return false;
        }
    }
    return true;
}

TextSpan MakeSpan(std::size_t begin, std::size_t end)
{
    TextSpan span;
    span.start = static_cast<std::uint32_t>(begin);
    span.length = static_cast<std::uint32_t>(end - begin);
    return span;
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

ProfileText::ProfileText() = default;

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

bool ProfileText::Load(Platform& platform, const char* path)
{
    Begin();
    const Handle file = platform.CreateFileA(path, kGenericRead, kFileShareRead | kFileShareWrite, kOpenExisting,
                                             kFileAttributeNormal);
    if (file == kInvalidHandle) {
        return false;
    }
    std::uint8_t piece[kReadChunk] = {};
    bool first = true;
    bool last = false;
    while (!last && !cut_) {
        const std::size_t size = ReadPiece(platform, file, piece, sizeof piece);
        last = size < sizeof piece;
        AppendBytes(platform, piece, size, first, last);
        first = false;
    }
    platform.CloseHandle(file);
    Parse();
    return true;
}

void ProfileText::LoadBytes(Platform& platform, const std::uint8_t* bytes, std::size_t size)
{
    Begin();
    AppendBytes(platform, bytes, size, true, true);
    Parse();
}

void ProfileText::Begin()
{
    textLength_ = 0;
    lineCount_ = 0;
    encoding_ = ProfileEncoding::ansi;
    cut_ = false;
    heldHighSurrogate_ = 0;
}

void ProfileText::AppendBytes(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool first, bool last)
{
    if (first && StartsWith(bytes, size, kUtf16Mark, sizeof kUtf16Mark)) {
        encoding_ = ProfileEncoding::utf16;
        bytes += sizeof kUtf16Mark;
        size -= sizeof kUtf16Mark;
    } else if (first && StartsWith(bytes, size, kUtf8Mark, sizeof kUtf8Mark)) {
        // Windows knows no such mark: its bytes stay, as the start of line 1.
        encoding_ = ProfileEncoding::utf8WithMark;
    }
    if (encoding_ == ProfileEncoding::utf16) {
        AppendUtf16(platform, bytes, size, last);
        return;
    }
    for (std::size_t i = 0; i < size && !cut_; ++i) {
        const char c = static_cast<char>(bytes[i]);
        AppendText(&c, 1);
    }
}

void ProfileText::AppendUtf16(Platform& platform, const std::uint8_t* bytes, std::size_t size, bool last)
{
    WideChar units[kConvertUnits] = {};
    std::size_t count = 0;
    if (heldHighSurrogate_ != 0) {
        units[count++] = heldHighSurrogate_;
        heldHighSurrogate_ = 0;
    }
    // A lone byte at the very end is no character.
    for (std::size_t i = 0; i + 1 < size && !cut_; i += 2) {
        if (count == kConvertUnits) {
            count = ConvertUnits(platform, units, count, false);
        }
        units[count++] = static_cast<WideChar>(bytes[i] | (bytes[i + 1] << kBitsPerByte));
    }
    if (ConvertUnits(platform, units, count, last) != 0) {
        heldHighSurrogate_ = units[0];
    }
}

// Converts the units and appends them; unless it is the last, a high surrogate at the end
// is kept back at units[0] for the low one the next piece begins with, so that the pair
// converts as the one character it is. Returns the number of units kept back.
std::size_t ProfileText::ConvertUnits(Platform& platform, WideChar* units, std::size_t count, bool last)
{
    const std::size_t keep = !last && count > 0 && IsHighSurrogate(units[count - 1]) ? 1 : 0;
    const std::size_t convert = count - keep;
    if (convert > 0) {
        // Room for two bytes a unit, as a double-byte code page may need.
        char converted[2 * kConvertUnits] = {};
        const std::int32_t written =
            platform.WideCharToMultiByte(kCodePageAnsi, 0, units, static_cast<std::int32_t>(convert), converted,
                                         static_cast<std::int32_t>(sizeof converted), nullptr, nullptr);
        if (written > 0) {
            AppendText(converted, static_cast<std::size_t>(written));
        }
    }
    if (keep != 0) {
        units[0] = units[count - 1];
    }
    return keep;
}

void ProfileText::AppendText(const char* text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        if (textLength_ == kProfileTextCapacity) {
            cut_ = true;
            return;
        }
        text_[textLength_++] = text[i];
    }
}

void ProfileText::Parse()
{
    lineCount_ = 0;
    std::int32_t section = -1;
    std::size_t begin = 0;
    while (begin < textLength_) {
        if (lineCount_ == kProfileLineCapacity) {
            cut_ = true;
            return;
        }
        std::size_t end = begin;
        while (end < textLength_ && !IsLineBreak(text_[end])) {
            ++end;
        }
        ProfileLine& line = lines_[lineCount_];
        ReadLine(begin, end, section, line);
        if (line.kind == ProfileLineKind::section) {
            section = static_cast<std::int32_t>(lineCount_);
        }
        ++lineCount_;
        // CR LF is one line break, and so is a CR or an LF alone.
        begin = end;
        if (begin < textLength_ && text_[begin] == '\r') {
            ++begin;
            if (begin < textLength_ && text_[begin] == '\n') {
                ++begin;
            }
        } else if (begin < textLength_) {
            ++begin;
        }
    }
}

void ProfileText::ReadLine(std::size_t begin, std::size_t end, std::int32_t section, ProfileLine& line) const
{
    line = ProfileLine{};
    line.number = static_cast<std::uint32_t>(lineCount_ + 1);
    while (begin < end && IsBlank(text_[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text_[end - 1])) {
        --end;
    }
    if (begin == end) {
        return;  // blank
    }
    if (text_[begin] == '[') {
        std::size_t close = end;
        while (close > begin + 1 && text_[close - 1] != ']') {
            --close;
        }
        line.kind = ProfileLineKind::section;
        line.name = MakeSpan(begin + 1, close > begin + 1 ? close - 1 : end);
        return;
    }
    if (text_[begin] == ';') {
        line.kind = ProfileLineKind::comment;
        return;
    }
    std::size_t equals = begin;
    while (equals < end && text_[equals] != '=') {
        ++equals;
    }
    if (equals == end) {
        line.kind = ProfileLineKind::other;
        return;
    }
    std::size_t nameEnd = equals;
    while (nameEnd > begin && IsBlank(text_[nameEnd - 1])) {
        --nameEnd;
    }
    std::size_t valueBegin = equals + 1;
    while (valueBegin < end && IsBlank(text_[valueBegin])) {
        ++valueBegin;
    }
    line.kind = ProfileLineKind::key;
    line.name = MakeSpan(begin, nameEnd);
    line.value = MakeSpan(valueBegin, end);
    line.section = section;
}

bool ProfileText::NameIs(TextSpan span, const char* name) const
{
    return SameTextIgnoringCase(text_ + span.start, span.length, name);
}

std::int32_t ProfileText::FindSection(const char* section) const
{
    for (std::size_t i = 0; i < lineCount_; ++i) {
        if (lines_[i].kind == ProfileLineKind::section && NameIs(lines_[i].name, section)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

std::int32_t ProfileText::FindKey(const char* section, const char* key) const
{
    const std::int32_t header = FindSection(section);
    if (header < 0) {
        return -1;
    }
    // The section's keys stand between its header and the next one.
    for (auto i = static_cast<std::size_t>(header) + 1; i < lineCount_; ++i) {
        const ProfileLine& line = lines_[i];
        if (line.kind == ProfileLineKind::section) {
            break;
        }
        if (line.kind == ProfileLineKind::key && NameIs(line.name, key)) {
            return static_cast<std::int32_t>(i);
        }
    }
    return -1;
}

TextSpan ProfileText::ReadValue(const char* section, const char* key) const
{
    const std::int32_t found = FindKey(section, key);
    if (found < 0) {
        return TextSpan{};
    }
    TextSpan value = lines_[static_cast<std::size_t>(found)].value;
    // The value ends at a zero byte, and only what is left can be a quoted pair.
    for (std::uint32_t i = 0; i < value.length; ++i) {
        if (text_[value.start + i] == '\0') {
            value.length = i;
            break;
        }
    }
    return WithoutOuterQuotes(text_, value);
}

}  // namespace boot
