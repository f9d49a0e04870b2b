#pragma once
// What the fuzz targets share: a readable input format that the mutator handles well, and
// the way a broken invariant ends the run.
//
// An input is a list of lines `name=value`. `name*N=value` repeats the value (or "x" when
// it is empty) until it is exactly N bytes long, so that a few bytes of input reach the
// lengths around the product's buffer sizes. In a value, \xHH stands for the byte HH;
// every other backslash is itself, so Windows paths need no escaping. A name given twice
// takes its last value; lines that are not of this form are ignored.

#include <cstddef>
#include <cstdint>
#include <map>
#include <sstream>
#include <string>

#include "fake_platform.h"

namespace boot::fuzzing {

// Longer values are cut here: enough for every buffer of the product and its neighbours.
constexpr std::size_t kMaxRepeat = 4000;

class FuzzFields {
public:
    FuzzFields(const std::uint8_t* data, std::size_t size);

    bool Has(const std::string& name) const { return fields_.count(name) != 0; }
    // The bytes of the value, zeros included; empty when absent.
    std::string Bytes(const std::string& name) const;
    // The value as a zero-terminated platform text would carry it: up to its first zero.
    std::string Text(const std::string& name, const std::string& fallback = std::string()) const;
    std::uint32_t Number(const std::string& name, std::uint32_t fallback) const;
    bool Flag(const std::string& name) const { return Text(name) == "1"; }

private:
    std::map<std::string, std::string> fields_;
};

// The text up to its first zero byte.
std::string UpToZero(const std::string& text);

// What starting `commandLine` would hand back on a platform scripted like `probe`: the
// program's exit code, or -1000 when it cannot be started. Asks the fake itself, so that
// the targets do not restate how it finds programs.
std::int32_t ExitCodeOf(testing::FakePlatform& probe, const std::string& commandLine,
                        const char* applicationName = nullptr);

[[noreturn]] void Fail(const char* file, int line, const char* condition, const std::string& detail);

}  // namespace boot::fuzzing

// Aborts the run, so that libFuzzer keeps the input, when an invariant does not hold.
#define FUZZ_CHECK(condition, detail)                                                           \
    do {                                                                                         \
        if (!(condition)) {                                                                      \
            std::ostringstream fuzzDetail_;                                                      \
            fuzzDetail_ << detail;                                                               \
            ::boot::fuzzing::Fail(__FILE__, __LINE__, #condition, fuzzDetail_.str());            \
        }                                                                                        \
    } while (false)
