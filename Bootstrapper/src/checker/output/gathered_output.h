#pragma once
// Output gathered in a text: for what a report must see whole before it writes it (a
// value composed by the escaping writers, a diagram it may leave out, the plan in a fence
// it chooses by the plan's own text).

#include <string>

#include "checker/output/text_output.h"

namespace boot {

class GatheredOutput final : public TextOutput {  // NOLINT(cppcoreguidelines-virtual-class-destructor)
public:
    void Write(const char* text) override { text_ += text; }
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};

}  // namespace boot
