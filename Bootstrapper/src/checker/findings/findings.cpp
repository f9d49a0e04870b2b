#include "checker/findings/findings.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <iterator>

#include "checker/findings/rule_table.h"
#include "common/fixed_text.h"

namespace boot {

namespace {

// Room for three values of 1023 characters in one finding, and the words around them.
constexpr std::size_t kFindingTextSize = 4 * kTextBufferSize;
using FindingText = FixedText<kFindingTextSize>;

}  // namespace

Findings::Findings() = default;

void Findings::Clear()
{
    textUsed_ = 0;
    count_ = 0;
    std::fill(std::begin(ignored_), std::end(ignored_), false);
    errors_ = 0;
    warnings_ = 0;
    unkept_ = 0;
}

void Findings::Ignore(Rule rule) { ignored_[static_cast<std::size_t>(rule)] = true; }

bool Findings::IsIgnored(int ruleIndex) const
{
    return ruleIndex >= 0 && ignored_[static_cast<std::size_t>(ruleIndex)];
}

bool Findings::KeepText(const char* text, std::uint32_t& offset)
{
    const std::size_t size = TextLength(text) + 1;
    if (size > kFindingTextCapacity - textUsed_) {
        return false;
    }
    std::memcpy(text_ + textUsed_, text, size);
    offset = static_cast<std::uint32_t>(textUsed_);
    textUsed_ += size;
    return true;
}

// Most findings are about the file the one before was about: its name is kept once.
bool Findings::KeepFile(const char* file, std::uint32_t& offset)
{
    if (count_ > 0 && TextEquals(text_ + kept_[count_ - 1].file, file)) {
        offset = kept_[count_ - 1].file;
        return true;
    }
    return KeepText(file, offset);
}

void Findings::Report(Rule rule, const char* file, std::uint32_t line, const char* format, ...)
{
    const int ruleIndex = static_cast<int>(rule);
    if (IsIgnored(ruleIndex)) {
        return;
    }
    const Severity severity = RuleOf(rule).severity;
    if (severity == Severity::error) {
        ++errors_;
    } else {
        ++warnings_;
    }

    FindingText text;
    std::va_list args{};
    va_start(args, format);
    if (!FormatTextV(text.Data(), text.Capacity(), format, args)) {
        text.Assign("(the text of this finding is too long to show)");
    }
    va_end(args);

    Kept kept{};
    const std::size_t textBefore = textUsed_;
    if (count_ == kFindingCapacity || !KeepFile(file, kept.file) || !KeepText(RuleOf(rule).id, kept.rule) ||
        !KeepText(text.Get(), kept.message)) {
        textUsed_ = textBefore;
        ++unkept_;
        return;
    }
    kept.line = line;
    kept.ruleIndex = ruleIndex;
    kept.severity = severity;
    kept_[count_] = kept;
    order_[count_] = static_cast<std::uint32_t>(count_);
    ++count_;
}

bool Findings::IsBefore(std::uint32_t a, std::uint32_t b) const
{
    const int files = std::strcmp(text_ + kept_[a].file, text_ + kept_[b].file);
    if (files != 0) {
        return files < 0;
    }
    if (kept_[a].line != kept_[b].line) {
        return kept_[a].line < kept_[b].line;
    }
    return a < b;
}

void Findings::Sort()
{
    // The finding's own number decides between equal places: a total order, so the sort
    // keeps the order of finding without a stable sort's buffer.
    std::sort(order_, order_ + count_, [this](std::uint32_t a, std::uint32_t b) { return IsBefore(a, b); });
}

Finding Findings::At(std::size_t index) const
{
    const Kept& kept = kept_[order_[index]];
    Finding finding;
    finding.file = text_ + kept.file;
    finding.line = kept.line;
    finding.severity = kept.severity;
    finding.rule = text_ + kept.rule;
    finding.ruleIndex = kept.ruleIndex;
    finding.message = text_ + kept.message;
    return finding;
}

}  // namespace boot
