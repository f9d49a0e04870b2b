#pragma once
// Where the checker writes: standard output and standard error in the programs, a string
// in the tests.

namespace boot {

class TextOutput {
public:
    TextOutput(const TextOutput&) = delete;
    TextOutput& operator=(const TextOutput&) = delete;
    virtual void Write(const char* text) = 0;

protected:
    TextOutput() = default;
    ~TextOutput() = default;
};

}  // namespace boot
