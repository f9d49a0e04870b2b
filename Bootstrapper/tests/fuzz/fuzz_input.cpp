#include "fuzz_input.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace boot::fuzzing {

namespace {

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Unescape(const std::string& raw)
{
    std::string out;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\\' && i + 3 < raw.size() && raw[i + 1] == 'x' && HexDigit(raw[i + 2]) >= 0 &&
            HexDigit(raw[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(raw[i + 2]) * 16 + HexDigit(raw[i + 3]));
            i += 3;
        } else {
            out += raw[i];
        }
    }
    return out;
}

std::string Repeat(const std::string& value, std::size_t length)
{
    const std::string unit = value.empty() ? std::string("x") : value;
    std::string out;
    out.reserve(length);
    while (out.size() < length) {
        out += unit;
    }
    out.resize(length);
    return out;
}

}  // namespace

FuzzFields::FuzzFields(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find('\n', start);
        if (end == std::string::npos) {
            end = input.size();
        }
        const std::string line = input.substr(start, end - start);
        start = end + 1;

        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || equals == 0) {
            continue;
        }
        std::string name = line.substr(0, equals);
        std::string value = Unescape(line.substr(equals + 1));
        const std::size_t star = name.find('*');
        if (star != std::string::npos) {
            const std::size_t length = std::strtoul(name.c_str() + star + 1, nullptr, 10);
            name.resize(star);
            value = Repeat(value, length < kMaxRepeat ? length : kMaxRepeat);
        }
        if (value.size() > kMaxRepeat) {
            value.resize(kMaxRepeat);
        }
        fields_[name] = value;
    }
}

std::string FuzzFields::Bytes(const std::string& name) const
{
    const auto found = fields_.find(name);
    return found == fields_.end() ? std::string() : found->second;
}

std::string FuzzFields::Text(const std::string& name, const std::string& fallback) const
{
    return Has(name) ? UpToZero(Bytes(name)) : fallback;
}

std::uint32_t FuzzFields::Number(const std::string& name, std::uint32_t fallback) const
{
    if (!Has(name)) {
        return fallback;
    }
    // Negative numbers wrap as exit codes do.
    return static_cast<std::uint32_t>(std::strtoll(Text(name).c_str(), nullptr, 0));
}

std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

std::int32_t ExitCodeOf(testing::FakePlatform& probe, const std::string& commandLine, const char* applicationName)
{
    std::vector<char> writable(commandLine.begin(), commandLine.end());
    writable.push_back('\0');
    CreateProcessArgs args{};
    args.applicationName = applicationName;
    args.commandLine = writable.data();
    ProcessInfo process{kNullHandle, kNullHandle};
    if (!probe.CreateProcessA(args, &process)) {
        return -1000;
    }
    std::uint32_t exitCode = 0;
    probe.GetExitCodeProcess(process.process, &exitCode);
    probe.CloseHandle(process.thread);
    probe.CloseHandle(process.process);
    return static_cast<std::int32_t>(exitCode);
}

void Fail(const char* file, int line, const char* condition, const std::string& detail)
{
    std::fprintf(stderr, "\n==== invariant broken at %s:%d: %s\n%s\n", file, line, condition, detail.c_str());
    std::fflush(stderr);
    std::abort();
}

}  // namespace boot::fuzzing
