#pragma once
// The checker's findings, one a line, in the form compilers use so that editors and CI
// pick them up: "FILE:LINE: SEVERITY: TEXT [RULE]", or without ":LINE" where no line
// applies.

#include <cstdint>

#include "checker/text_output.h"

namespace boot {

enum class Severity { error, warning };

class Findings {
public:
    explicit Findings(TextOutput& output) : output_(output) {}

    // `line` 0: the finding is about the whole file.
    void Report(const char* file, std::uint32_t line, Severity severity, const char* rule, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 6, 7)))
#endif
        ;

    std::uint32_t Errors() const { return errors_; }
    std::uint32_t Warnings() const { return warnings_; }

private:
    TextOutput& output_;
    std::uint32_t errors_ = 0;
    std::uint32_t warnings_ = 0;
};

}  // namespace boot
