#include "checker/reading/unicode_text.h"

#include "common/code_page_1252.h"

namespace boot {

namespace {

constexpr std::uint32_t kTwoByteLimit = 0x80;
constexpr std::uint32_t kThreeByteLimit = 0x800;
constexpr std::uint32_t kFourByteLimit = 0x10000;
constexpr std::uint32_t kHighSurrogateFirst = 0xD800;
constexpr std::uint32_t kLowSurrogateFirst = 0xDC00;
constexpr std::uint32_t kSurrogateEnd = 0xE000;
constexpr std::uint32_t kSurrogateBits = 10;
constexpr std::uint32_t kSurrogateMask = 0x3FF;
constexpr unsigned kContinuationBits = 6;
constexpr unsigned kContinuationMask = 0x3F;
constexpr unsigned kContinuationTag = 0x80;
constexpr unsigned kContinuationTagMask = 0xC0;

struct Utf8Lead {
    unsigned char first;  // lead bytes first..last
    unsigned char last;
    unsigned char payloadMask;
    unsigned char extra;  // continuation bytes that follow
    unsigned char low;    // the first continuation byte's range: no overlong form, no surrogate,
    unsigned char high;   // nothing past U+10FFFF
};

constexpr Utf8Lead kUtf8Leads[] = {
    {0xC2, 0xDF, 0x1F, 1, 0x80, 0xBF}, {0xE0, 0xE0, 0x0F, 2, 0xA0, 0xBF}, {0xE1, 0xEC, 0x0F, 2, 0x80, 0xBF},
    {0xED, 0xED, 0x0F, 2, 0x80, 0x9F}, {0xEE, 0xEF, 0x0F, 2, 0x80, 0xBF}, {0xF0, 0xF0, 0x07, 3, 0x90, 0xBF},
    {0xF1, 0xF3, 0x07, 3, 0x80, 0xBF}, {0xF4, 0xF4, 0x07, 3, 0x80, 0x8F},
};

bool IsContinuation(unsigned char byte) { return (byte & kContinuationTagMask) == kContinuationTag; }

// Appends `codePoint` in UTF-8 behind `used` bytes, keeping room for the zero.
bool PutUtf8(std::uint32_t codePoint, char* utf8, std::size_t capacity, std::size_t& used)
{
    char bytes[kLongestUtf8] = {};
    const std::size_t count = EncodeUtf8(codePoint, bytes);
    if (used + count >= capacity) {
        return false;
    }
    for (std::size_t k = 0; k < count; ++k) {
        utf8[used++] = bytes[k];
    }
    return true;
}

// Ends a converted text: its zero behind `used` units when it fits, else an empty text.
template <typename Unit>
bool EndText(Unit* text, std::size_t capacity, std::size_t used, bool fits)
{
    if (capacity == 0) {
        return false;
    }
    text[fits ? used : 0] = 0;
    return fits;
}

// `codePoint` in UTF-16: one unit, or a surrogate pair beyond U+FFFF. Returns the count.
std::size_t EncodeUtf16(std::uint32_t codePoint, WideChar (&units)[2])
{
    if (codePoint < kFourByteLimit) {
        units[0] = static_cast<WideChar>(codePoint);
        return 1;
    }
    const std::uint32_t offset = codePoint - kFourByteLimit;
    units[0] = static_cast<WideChar>(kHighSurrogateFirst + (offset >> kSurrogateBits));
    units[1] = static_cast<WideChar>(kLowSurrogateFirst + (offset & kSurrogateMask));
    return 2;
}

}  // namespace

bool IsHighSurrogate(std::uint32_t unit) { return unit >= kHighSurrogateFirst && unit < kLowSurrogateFirst; }
bool IsLowSurrogate(std::uint32_t unit) { return unit >= kLowSurrogateFirst && unit < kSurrogateEnd; }

std::size_t EncodeUtf8(std::uint32_t codePoint, char (&bytes)[kLongestUtf8])
{
    if (codePoint < kTwoByteLimit) {
        bytes[0] = static_cast<char>(codePoint);
        return 1;
    }
    // The lead byte's tag and the number of continuation bytes, by the code point's size.
    const std::size_t extra = codePoint < kThreeByteLimit ? 1 : codePoint < kFourByteLimit ? 2 : 3;
    constexpr unsigned char kLeadTags[] = {0, 0xC0, 0xE0, 0xF0};
    bytes[0] = static_cast<char>(kLeadTags[extra] | (codePoint >> (kContinuationBits * extra)));
    for (std::size_t k = 1; k <= extra; ++k) {
        const std::uint32_t bits = (codePoint >> (kContinuationBits * (extra - k))) & kContinuationMask;
        bytes[k] = static_cast<char>(kContinuationTag | bits);
    }
    return extra + 1;
}

std::uint32_t DecodeUtf8(const char* text, std::size_t& position)
{
    const auto lead = static_cast<unsigned char>(text[position]);
    ++position;
    if (lead < kTwoByteLimit) {
        return lead;
    }
    for (const Utf8Lead& form : kUtf8Leads) {
        if (lead < form.first || lead > form.last) {
            continue;
        }
        const auto second = static_cast<unsigned char>(text[position]);
        if (second < form.low || second > form.high) {
            return kReplacementCharacter;
        }
        std::uint32_t codePoint = lead & form.payloadMask;
        for (unsigned k = 0; k < form.extra; ++k) {
            // A zero ends the text and is no continuation byte, so this never reads past it.
            const auto next = static_cast<unsigned char>(text[position + k]);
            if (!IsContinuation(next)) {
                return kReplacementCharacter;
            }
            codePoint = (codePoint << kContinuationBits) | (next & kContinuationMask);
        }
        position += form.extra;
        return codePoint;
    }
    return kReplacementCharacter;
}

std::uint32_t DecodeUtf16(const WideChar* text, std::size_t length, std::size_t& position)
{
    const std::uint32_t unit = text[position];
    ++position;
    if (IsHighSurrogate(unit) && position < length && IsLowSurrogate(text[position])) {
        const std::uint32_t low = text[position];
        ++position;
        return kFourByteLimit + (((unit - kHighSurrogateFirst) << kSurrogateBits) | (low - kLowSurrogateFirst));
    }
    return IsHighSurrogate(unit) || IsLowSurrogate(unit) ? kReplacementCharacter : unit;
}

bool Utf8FromAnsi(const char* ansi, char* utf8, std::size_t capacity)
{
    std::size_t used = 0;
    bool fits = true;
    for (std::size_t i = 0; fits && ansi[i] != '\0'; ++i) {
        fits = PutUtf8(DecodeCodePage1252(static_cast<unsigned char>(ansi[i])), utf8, capacity, used);
    }
    return EndText(utf8, capacity, used, fits);
}

bool Utf8FromWide(const WideChar* wide, char* utf8, std::size_t capacity)
{
    const std::size_t length = std::char_traits<WideChar>::length(wide);
    std::size_t used = 0;
    bool fits = true;
    for (std::size_t position = 0; fits && position < length;) {
        fits = PutUtf8(DecodeUtf16(wide, length, position), utf8, capacity, used);
    }
    return EndText(utf8, capacity, used, fits);
}

bool WideFromUtf8(const char* utf8, WideChar* wide, std::size_t capacity)
{
    std::size_t used = 0;
    bool fits = true;
    for (std::size_t position = 0; fits && utf8[position] != '\0';) {
        WideChar units[2] = {};
        const std::size_t count = EncodeUtf16(DecodeUtf8(utf8, position), units);
        fits = used + count < capacity;
        for (std::size_t k = 0; fits && k < count; ++k) {
            wide[used++] = units[k];
        }
    }
    return EndText(wide, capacity, used, fits);
}

bool AnsiFromUtf8(const char* utf8, char* ansi, std::size_t capacity)
{
    std::size_t used = 0;
    bool fits = true;
    for (std::size_t position = 0; fits && utf8[position] != '\0';) {
        const char byte = AnsiCharacter(DecodeUtf8(utf8, position));
        fits = used + 1 < capacity;
        if (fits) {
            ansi[used++] = byte;
        }
    }
    return EndText(ansi, capacity, used, fits);
}

bool LeaveEmpty(char* text, std::size_t capacity)
{
    if (capacity > 0) {
        text[0] = '\0';
    }
    return false;
}

std::u16string Utf16FromUtf8(const std::string& utf8)
{
    std::u16string wide;
    for (std::size_t position = 0; position < utf8.size();) {
        WideChar units[2] = {};
        wide.append(units, EncodeUtf16(DecodeUtf8(utf8.c_str(), position), units));
    }
    return wide;
}

char AnsiCharacter(std::uint32_t codePoint)
{
    unsigned char byte = '?';
    if (!EncodeCodePage1252(codePoint, byte)) {
        byte = '?';
    }
    return static_cast<char>(byte);
}

std::string AnsiFromUtf8(const std::string& utf8)
{
    std::string ansi;
    for (std::size_t position = 0; position < utf8.size();) {
        ansi += AnsiCharacter(DecodeUtf8(utf8.c_str(), position));
    }
    return ansi;
}

std::string Utf8FromUtf16(const std::u16string& wide)
{
    std::string utf8;
    for (std::size_t position = 0; position < wide.size();) {
        char bytes[kLongestUtf8] = {};
        utf8.append(bytes, EncodeUtf8(DecodeUtf16(wide.data(), wide.size(), position), bytes));
    }
    return utf8;
}

bool IsUtf8BeyondAscii(const char* text, std::size_t length)
{
    // DecodeUtf8 reads up to a zero byte: a copy ends where the text does.
    const std::string copy(text, length);
    bool beyondAscii = false;
    for (std::size_t position = 0; position < copy.size();) {
        const std::size_t start = position;
        const std::uint32_t codePoint = DecodeUtf8(copy.c_str(), position);
        if (codePoint == 0) {
            return false;  // a zero byte: no text an editor saved
        }
        // A malformed byte decodes on its own to U+FFFD; a real U+FFFD takes three bytes.
        if (codePoint == kReplacementCharacter && position - start != 3) {
            return false;
        }
        beyondAscii = beyondAscii || codePoint >= kTwoByteLimit;
    }
    return beyondAscii;
}

}  // namespace boot
