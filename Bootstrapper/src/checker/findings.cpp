#include "checker/findings.h"

#include <cstdarg>

#include "common/fixed_text.h"

namespace boot {

namespace {

// Room for three values of 1023 characters in one finding, and the words around them.
constexpr std::size_t kFindingTextSize = 4 * kTextBufferSize;
using FindingText = FixedText<kFindingTextSize>;
// The finding with its file, line, severity and rule around it.
constexpr std::size_t kFindingLineSize = kFindingTextSize + kTextBufferSize;

}  // namespace

void Findings::Report(const char* file, std::uint32_t line, Severity severity, const char* rule, const char* format,
                      ...)
{
    FindingText text;
    std::va_list args{};
    va_start(args, format);
    if (!FormatTextV(text.Data(), text.Capacity(), format, args)) {
        text.Assign("(the text of this finding is too long to show)");
    }
    va_end(args);

    const char* kind = severity == Severity::error ? "error" : "warning";
    FixedText<kFindingLineSize> lineText;
    const bool composed = line != 0 ? lineText.Format("%s:%u: %s: %s [%s]\n", file, static_cast<unsigned>(line), kind,
                                                      text.Get(), rule)
                                    : lineText.Format("%s: %s: %s [%s]\n", file, kind, text.Get(), rule);
    if (composed) {
        output_.Write(lineText.Get());
    }
    if (severity == Severity::error) {
        ++errors_;
    } else {
        ++warnings_;
    }
}

}  // namespace boot
