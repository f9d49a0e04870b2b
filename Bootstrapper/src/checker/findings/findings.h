#pragma once
// The checker's findings. Each rule reports what it finds as it walks the folder; the
// findings are kept until the check is over, so that an output format can write them all
// at once, in order of file and line, with counts and a summary. Their texts are in the
// checker's ANSI code page, as the program reads names and values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "checker/findings/rule_table.h"

namespace boot {

// A finding's file when it is about the folder itself.
constexpr const char* kFolderFile = ".";

// A finding as the output formats read it; its texts belong to the Findings it came from.
struct Finding {
    const char* file = "";     // relative to the folder, "/" between names; "." for the folder itself
    std::uint32_t line = 0;    // 0: the finding is about the whole file
    Severity severity = Severity::error;
    const char* rule = "";     // its id: "unknown-key"
    int ruleIndex = 0;         // its row in the rule table
    const char* message = "";
};

class Findings {
public:
    // Findings of the rule are left out: neither kept nor counted.
    void Ignore(Rule rule);

    // A finding of `rule`, with the rule's severity. `line` 0: the finding is about the whole file.
    // The message is `format` with its arguments, whole (output/formatted_text.h).
    void Report(Rule rule, const char* file, std::uint32_t line, const char* format, ...)
#if defined(__MINGW32__) && !defined(__clang__)
        __attribute__((format(gnu_printf, 5, 6)))
#elif defined(__GNUC__)
        __attribute__((format(printf, 5, 6)))
#endif
        ;

    std::uint32_t Errors() const { return errors_; }
    std::uint32_t Warnings() const { return warnings_; }

    std::size_t Count() const { return kept_.size(); }
    // Orders the findings by file, then line; findings at the same place stay in the order
    // they were found.
    void Sort();
    // The finding at `index` of that order (before Sort(): of the order they were found).
    Finding At(std::size_t index) const;

private:
    struct Kept {
        std::string file;
        std::uint32_t line;
        Rule rule;
        std::string message;
    };

    std::vector<Kept> kept_;
    bool ignored_[kRuleCount] = {};
    std::uint32_t errors_ = 0;
    std::uint32_t warnings_ = 0;
};

}  // namespace boot
