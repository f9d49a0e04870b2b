#pragma once
// Writing texts that come from the folder (names, values, what the package says) into
// the checker's output without letting them change its shape: no control character, line
// break or direction override gets through, so a file named like a finding, or a value
// holding a terminal's escape sequence, shows as text and forges nothing.
//
// Every function takes UTF-8; a malformed sequence stands for U+FFFD. Each output form has
// its own rule:
// - shown text (text format, workflow commands): each such character as \xHH (up to
//   U+00FF) or \uHHHH, visibly. A backslash stays as it is: Windows paths are full of them.
// - JSON strings: the same characters as \u escapes, and " and \ escaped.
// - workflow commands: shown text, then % (and in properties : and ,) as GitHub Actions
//   escapes them.
// - URI references: every byte but letters, digits, - . _ ~ and / percent-encoded.
// - Mermaid labels (between the quotes of n1["..."]): every character but ASCII letters,
//   digits, blank and . , - / ( ) as Mermaid's code for it, #quot; for the quote and
//   #<decimal>; for the rest; the unsafe ones shown as in text, their backslash #92;.
// - Markdown text (a table's cell): the marks GitHub's Markdown reads, \ ` * _ [ ] < > &
//   | ~ $, as HTML's &#<decimal>;, which it shows as the character and reads as nothing
//   else; the unsafe characters shown as in text, their backslash &#92;.

#include <cstddef>
#include <cstdint>

#include "checker/output/text_output.h"

namespace boot {

// Gathers output in pieces of whole characters and hands each piece on.
class OutputBuffer {
public:
    explicit OutputBuffer(TextOutput& output) : output_(output) {}
    OutputBuffer(const OutputBuffer&) = delete;
    OutputBuffer& operator=(const OutputBuffer&) = delete;
    ~OutputBuffer() { Flush(); }

    // As it is: text the checker composed itself.
    void Put(const char* text);
    void PutCodePoint(std::uint32_t codePoint);
    void Flush();

private:
    static constexpr std::size_t kSize = 1024;

    void PutBytes(const char* bytes, std::size_t count);

    TextOutput& output_;
    char buffer_[kSize] = {};
    std::size_t used_ = 0;
};

// Whether the character would change how the output reads: C0 and C1 controls, DEL, the
// line and paragraph separators and the marks and overrides of text direction.
bool IsUnsafeCharacter(std::uint32_t codePoint);

void PutShown(OutputBuffer& out, const char* utf8);
// A whole line of shown text (without its line end). A line that begins, after blanks,
// with "::" would be a workflow command where GitHub Actions reads the output: its first
// colon is shown escaped.
void PutShownLine(OutputBuffer& out, const char* utf8);
// With the quotes.
void PutJsonString(OutputBuffer& out, const char* utf8);
void PutCommandData(OutputBuffer& out, const char* utf8);
void PutCommandProperty(OutputBuffer& out, const char* utf8);
void PutMermaidText(OutputBuffer& out, const char* utf8);
void PutMarkdownText(OutputBuffer& out, const char* utf8);
void PutUriPath(OutputBuffer& out, const char* utf8);

}  // namespace boot
