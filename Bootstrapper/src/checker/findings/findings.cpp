#include "checker/findings/findings.h"

#include <algorithm>
#include <cstdarg>

#include "common/fixed_text.h"

namespace boot {

namespace {

constexpr std::size_t kFirstMessageRoom = 4 * kTextBufferSize;
// Values are at most 1023 characters: a text beyond this is a format the program's
// formatting does not know.
constexpr std::size_t kMostMessageRoom = std::size_t{1} << 20;

// The program's own formatting (the rules name what it reads the way it shows it), into
// as much room as the text takes.
#if defined(__GNUC__)
__attribute__((format(printf, 1, 0)))
#endif
std::string FormatMessage(const char* format, std::va_list args)
{
    std::string text(kFirstMessageRoom, '\0');
    while (!FormatTextV(text.data(), text.size(), format, args)) {
        if (text.size() >= kMostMessageRoom) {
            return "(the text of this finding is too long to show)";
        }
        text.resize(2 * text.size());
    }
    text.resize(TextLength(text.c_str()));
    return text;
}

}  // namespace

void Findings::Ignore(Rule rule) { ignored_[static_cast<std::size_t>(rule)] = true; }

void Findings::Report(Rule rule, const char* file, std::uint32_t line, const char* format, ...)
{
    if (ignored_[static_cast<std::size_t>(rule)]) {
        return;
    }
    if (RuleOf(rule).severity == Severity::error) {
        ++errors_;
    } else {
        ++warnings_;
    }
    std::va_list args{};
    va_start(args, format);
    kept_.push_back(Kept{file, line, rule, FormatMessage(format, args)});
    va_end(args);
}

void Findings::Sort()
{
    std::stable_sort(kept_.begin(), kept_.end(), [](const Kept& a, const Kept& b) {
        const int files = a.file.compare(b.file);
        return files != 0 ? files < 0 : a.line < b.line;
    });
}

Finding Findings::At(std::size_t index) const
{
    const Kept& kept = kept_[index];
    const RuleInfo& rule = RuleOf(kept.rule);
    Finding finding;
    finding.file = kept.file.c_str();
    finding.line = kept.line;
    finding.severity = rule.severity;
    finding.rule = rule.id;
    finding.ruleIndex = static_cast<int>(kept.rule);
    finding.message = kept.message.c_str();
    return finding;
}

}  // namespace boot
