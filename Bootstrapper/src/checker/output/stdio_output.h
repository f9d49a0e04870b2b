#pragma once
// The checker programs' output: standard output or standard error.

#include <cstdio>

#include "checker/output/text_output.h"

namespace boot {

class StdioOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    explicit StdioOutput(std::FILE* stream) : stream_(stream) {}
    // A failed write has nowhere else to be told.
    void Write(const char* text) override { static_cast<void>(std::fputs(text, stream_)); }

private:
    std::FILE* stream_;
};

}  // namespace boot
