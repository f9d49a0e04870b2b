#include "checker/output/escaped_output.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "checker/reading/unicode_text.h"
#include "common/fixed_text.h"

namespace boot {

namespace {

constexpr std::uint32_t kDelete = 0x7F;
constexpr std::uint32_t kLastC1Control = 0x9F;
constexpr std::uint32_t kLastLatin1 = 0xFF;
constexpr unsigned kHexBase = 16;
constexpr const char* kHexDigits = "0123456789ABCDEF";
constexpr unsigned kMostHexDigits = 8;

// Ranges of characters that steer how text is shown rather than being shown.
struct Range {
    std::uint32_t first;
    std::uint32_t last;
};
constexpr Range kUnsafeRanges[] = {
    {0x0000, 0x001F}, {kDelete, kLastC1Control},
    {0x061C, 0x061C},  // Arabic letter mark
    {0x200E, 0x200F},  // left-to-right and right-to-left marks
    {0x2028, 0x2029},  // line and paragraph separators
    {0x202A, 0x202E},  // direction embeddings and overrides
    {0x2066, 0x2069},  // direction isolates
};

void PutHex(OutputBuffer& out, std::uint32_t value, unsigned digits)
{
    char text[kMostHexDigits + 1] = {};
    for (unsigned i = 0; i < digits; ++i) {
        text[digits - 1 - i] = kHexDigits[value % kHexBase];
        value /= kHexBase;
    }
    out.Put(text);
}

// "\x1B" up to U+00FF, "\u202E" beyond; `backslash` is how the form writes "\".
void PutVisibleEscape(OutputBuffer& out, std::uint32_t codePoint, const char* backslash = "\\")
{
    out.Put(backslash);
    if (codePoint <= kLastLatin1) {
        out.Put("x");
        PutHex(out, codePoint, 2);
    } else {
        out.Put("u");
        PutHex(out, codePoint, 4);
    }
}

// Calls `put(codePoint)` for each character of the text.
template <typename Put>
void ForEachCharacter(const char* utf8, Put put)
{
    std::size_t position = 0;
    while (utf8[position] != '\0') {
        put(DecodeUtf8(utf8, position));
    }
}

bool IsUnreservedInUri(std::uint32_t codePoint)
{
    return (codePoint >= 'a' && codePoint <= 'z') || (codePoint >= 'A' && codePoint <= 'Z') ||
           (codePoint >= '0' && codePoint <= '9') || codePoint == '-' || codePoint == '.' || codePoint == '_' ||
           codePoint == '~';
}

// The characters a Mermaid label holds as they are: whatever else Mermaid or the HTML it
// makes could read as syntax (quotes, brackets, "#" and ";" of its own character codes,
// ":" of its style statements, "%%" of its comments, backticks of its Markdown, "<" and "&"
// of HTML) or that are not ASCII (its placeholders for character codes are not) is written
// as a code.
bool IsPlainInMermaid(std::uint32_t codePoint)
{
    return (codePoint >= 'a' && codePoint <= 'z') || (codePoint >= 'A' && codePoint <= 'Z') ||
           (codePoint >= '0' && codePoint <= '9') || codePoint == ' ' || codePoint == '.' || codePoint == ',' ||
           codePoint == '-' || codePoint == '/' || codePoint == '(' || codePoint == ')';
}

// What GitHub's Markdown reads in a table's cell: its columns' "|", the marks of code,
// emphasis, strike-through, math, links and images, and HTML's own.
bool IsMarkdownMark(std::uint32_t codePoint)
{
    constexpr const char* kMarks = "\\`*_[]<>&|~$";
    return codePoint < kDelete && codePoint != 0 && std::strchr(kMarks, static_cast<int>(codePoint)) != nullptr;
}

void PutCommandText(OutputBuffer& out, const char* utf8, bool property)
{
    ForEachCharacter(utf8, [&out, property](std::uint32_t codePoint) {
        if (IsUnsafeCharacter(codePoint)) {
            PutVisibleEscape(out, codePoint);
        } else if (codePoint == '%') {
            out.Put("%25");
        } else if (property && codePoint == ':') {
            out.Put("%3A");
        } else if (property && codePoint == ',') {
            out.Put("%2C");
        } else {
            out.PutCodePoint(codePoint);
        }
    });
}

}  // namespace

void OutputBuffer::Put(const char* text)
{
    const std::size_t length = TextLength(text);
    if (length >= kSize) {
        Flush();
        output_.Write(text);
        return;
    }
    PutBytes(text, length);
}

void OutputBuffer::PutCodePoint(std::uint32_t codePoint)
{
    char bytes[kLongestUtf8] = {};
    PutBytes(bytes, EncodeUtf8(codePoint, bytes));
}

// `count` is less than a piece: what is put here is handed on whole.
void OutputBuffer::PutBytes(const char* bytes, std::size_t count)
{
    if (used_ + count >= kSize) {
        Flush();
    }
    for (std::size_t i = 0; i < count; ++i) {
        buffer_[used_++] = bytes[i];
    }
}

void OutputBuffer::Flush()
{
    if (used_ == 0) {
        return;
    }
    buffer_[used_] = '\0';
    output_.Write(buffer_);
    used_ = 0;
}

bool IsUnsafeCharacter(std::uint32_t codePoint)
{
    return std::any_of(std::begin(kUnsafeRanges), std::end(kUnsafeRanges),
                       [codePoint](const Range& range) { return codePoint >= range.first && codePoint <= range.last; });
}

void PutShown(OutputBuffer& out, const char* utf8)
{
    ForEachCharacter(utf8, [&out](std::uint32_t codePoint) {
        if (IsUnsafeCharacter(codePoint)) {
            PutVisibleEscape(out, codePoint);
        } else {
            out.PutCodePoint(codePoint);
        }
    });
}

void PutShownLine(OutputBuffer& out, const char* utf8)
{
    const char* text = utf8;
    while (*text == ' ' || *text == '\t') {
        ++text;
    }
    if (text[0] != ':' || text[1] != ':') {
        PutShown(out, utf8);
        return;
    }
    for (const char* blank = utf8; blank != text; ++blank) {
        out.PutCodePoint(static_cast<unsigned char>(*blank));
    }
    PutVisibleEscape(out, ':');
    PutShown(out, text + 1);
}

void PutJsonString(OutputBuffer& out, const char* utf8)
{
    out.Put("\"");
    ForEachCharacter(utf8, [&out](std::uint32_t codePoint) {
        if (codePoint == '"') {
            out.Put("\\\"");
        } else if (codePoint == '\\') {
            out.Put("\\\\");
        } else if (IsUnsafeCharacter(codePoint)) {
            out.Put("\\u");
            PutHex(out, codePoint, 4);
        } else {
            out.PutCodePoint(codePoint);
        }
    });
    out.Put("\"");
}

void PutCommandData(OutputBuffer& out, const char* utf8)
{
    PutCommandText(out, utf8, false);
}

void PutCommandProperty(OutputBuffer& out, const char* utf8)
{
    PutCommandText(out, utf8, true);
}

void PutMermaidText(OutputBuffer& out, const char* utf8)
{
    ForEachCharacter(utf8, [&out](std::uint32_t codePoint) {
        if (IsUnsafeCharacter(codePoint)) {
            PutVisibleEscape(out, codePoint, "#92;");
        } else if (codePoint == '"') {
            out.Put("#quot;");
        } else if (!IsPlainInMermaid(codePoint)) {
            out.Put(("#" + std::to_string(codePoint) + ";").c_str());
        } else {
            out.PutCodePoint(codePoint);
        }
    });
}

void PutMarkdownText(OutputBuffer& out, const char* utf8)
{
    ForEachCharacter(utf8, [&out](std::uint32_t codePoint) {
        if (IsUnsafeCharacter(codePoint)) {
            PutVisibleEscape(out, codePoint, "&#92;");
        } else if (IsMarkdownMark(codePoint)) {
            out.Put(("&#" + std::to_string(codePoint) + ";").c_str());
        } else {
            out.PutCodePoint(codePoint);
        }
    });
}

void PutUriPath(OutputBuffer& out, const char* utf8)
{
    ForEachCharacter(utf8, [&out](std::uint32_t codePoint) {
        if (IsUnreservedInUri(codePoint) || codePoint == '/') {
            out.PutCodePoint(codePoint);
            return;
        }
        char bytes[kLongestUtf8] = {};
        const std::size_t count = EncodeUtf8(codePoint, bytes);
        for (std::size_t i = 0; i < count; ++i) {
            out.Put("%");
            PutHex(out, static_cast<unsigned char>(bytes[i]), 2);
        }
    });
}

}  // namespace boot
