#include "checker/findings/findings.h"

#include <algorithm>
#include <cstdarg>
#include <utility>

#include "checker/output/formatted_text.h"

namespace boot {

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
    std::string message = FormattedV(format, args);
    va_end(args);
    kept_.push_back(Kept{file, line, rule, std::move(message)});
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
