#pragma once
// The checker's findings. Each rule reports what it finds as it walks the folder; the
// findings are kept until the check is over, so that an output format can write them all
// at once, in order of file and line, with counts and a summary. Their texts are in the
// checker's ANSI code page, as the program reads names and values.

#include <cstddef>
#include <cstdint>

#include "checker/findings/rule_table.h"

namespace boot {

// The most findings kept, and the room for all their texts. What does not fit is still
// counted (the exit status stays right), and the output says how many were not kept.
constexpr std::size_t kFindingCapacity = 65536;
constexpr std::size_t kFindingTextCapacity = std::size_t{16} << 20;

struct Finding {
    const char* file = "";     // relative to the folder, "/" between names; "." for the folder itself
    std::uint32_t line = 0;    // 0: the finding is about the whole file
    Severity severity = Severity::error;
    const char* rule = "";     // as reported: "unknown-key"
    int ruleIndex = 0;         // its row in the rule table
    const char* message = "";
};

class Findings {
public:
    // Large: keep it in static storage, not on the stack. Defined out of line, so that
    // no caller stores a first image of its tables.
    Findings();
    Findings(const Findings&) = delete;
    Findings& operator=(const Findings&) = delete;
    ~Findings() = default;

    // No findings, and no rule left out.
    void Clear();
    // Findings of the rule are left out: neither kept nor counted.
    void Ignore(Rule rule);

    // A finding of `rule`, with the rule's severity. `line` 0: the finding is about the whole file.
    void Report(Rule rule, const char* file, std::uint32_t line, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;

    std::uint32_t Errors() const { return errors_; }
    std::uint32_t Warnings() const { return warnings_; }
    // Findings counted but not kept, for want of room.
    std::uint32_t Unkept() const { return unkept_; }

    std::size_t Count() const { return count_; }
    // Orders the kept findings by file, then line; findings at the same place stay in the
    // order they were found.
    void Sort();
    // The finding at `index` of that order (before Sort(): of the order they were found).
    Finding At(std::size_t index) const;

private:
    struct Kept {
        std::uint32_t file;     // offsets into text_
        std::uint32_t rule;
        std::uint32_t message;
        std::uint32_t line;
        std::int32_t ruleIndex;
        Severity severity;
    };

    bool IsIgnored(int ruleIndex) const;
    // `text` kept in text_; false when there is no room left.
    bool KeepText(const char* text, std::uint32_t& offset);
    bool KeepFile(const char* file, std::uint32_t& offset);
    bool IsBefore(std::uint32_t a, std::uint32_t b) const;

    Kept kept_[kFindingCapacity] = {};
    std::uint32_t order_[kFindingCapacity] = {};
    char text_[kFindingTextCapacity] = {};
    std::size_t textUsed_ = 0;
    std::size_t count_ = 0;
    bool ignored_[kRuleCount] = {};
    std::uint32_t errors_ = 0;
    std::uint32_t warnings_ = 0;
    std::uint32_t unkept_ = 0;
};

}  // namespace boot
