// The registry check of a prerequisite section, with fuzzed CheckKey, CheckValue,
// CheckContent and value data of several types (strings with and without their zero,
// numbers, multi-strings, raw bytes, every length). Checked once directly and once as
// section Prereq0 of a chain that may run a program.
//
// Fields: key, value, content, exists (default 1), denied, present (default 1), type
// (sz, raw, multi, dword, qword; default raw), data, do, expect, exec, exit.

#include <string>
#include <vector>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "prereq/prerequisite_chain.h"
#include "reference.h"

namespace boot::fuzzing {
namespace {

constexpr std::size_t kLongestValue = kTextBufferSize - 1;
const char* const kIniPath = "C:\\Setup\\Setup.ini";
const char* const kProgram = "prereq.exe";

struct RegistryWorld {
    std::string key;
    std::string value;
    std::string content;
    bool exists = true;
    bool denied = false;
    bool present = true;
    std::uint32_t type = testing::kRegBinary;
    std::string data;  // the bytes stored, as the value's type lays them out (text in UTF-16)
};

std::string LittleEndian(std::uint64_t number, std::size_t bytes)
{
    std::string out;
    for (std::size_t i = 0; i < bytes; ++i) {
        out += static_cast<char>((number >> (8 * i)) & 0xFF);
    }
    return out;
}

// Text as Windows stores it: UTF-16 units, little-endian; the payload is code page 1252.
std::string Utf16Bytes(const std::string& ansi)
{
    std::string bytes;
    for (const char16_t unit : testing::Utf16(testing::AnsiToUtf8(ansi))) {
        bytes += LittleEndian(unit, 2);
    }
    return bytes;
}

void StoreData(const FuzzFields& fields, RegistryWorld& world)
{
    const std::string type = fields.Text("type", "raw");
    const std::string payload = fields.Bytes("data");
    world.type = testing::kRegBinary;
    if (type == "sz" || type == "multi") {
        world.type = type == "sz" ? kRegSz : kRegMultiSz;
        world.data = Utf16Bytes(payload + std::string(type == "sz" ? 1 : 2, '\0'));
    } else if (type == "dword") {
        world.type = testing::kRegDword;
        world.data = LittleEndian(fields.Number("data", 0), 4);
    } else if (type == "qword") {
        world.type = 11;  // REG_QWORD
        world.data = LittleEndian(std::strtoull(fields.Text("data").c_str(), nullptr, 0), 8);
    } else {
        world.data = payload;  // raw bytes, or a string stored without its zero
    }
}

void Script(testing::FakePlatform& platform, const RegistryWorld& world)
{
    if (world.key.empty() || !world.exists) {
        return;
    }
    // The fake keeps registry names as text (UTF-8); the settings are code page 1252.
    const std::string key = testing::AnsiToUtf8(world.key);
    platform.AddRegistryKey(key);
    if (world.denied) {
        platform.DenyRegistryKey(key);
    }
    const std::string storedName = testing::AnsiToUtf8(world.present ? world.value : world.value + "-other");
    platform.SetRegistryBytes(key, storedName, std::vector<std::uint8_t>(world.data.begin(), world.data.end()),
                              world.type);
}

bool IsText(const RegistryWorld& world) { return world.type == kRegSz || world.type == kRegMultiSz; }

// The check as documented: the data must fit in the content and its zero (text in UTF-16
// units, other types in bytes), and read as a zero-terminated string over the returned
// data only, equal the content.
bool ExpectedCheck(const RegistryWorld& world)
{
    if (world.key.empty()) {
        return true;
    }
    if (!world.exists || world.denied || !world.present) {
        return false;
    }
    if (!IsText(world)) {
        return world.data.size() <= world.content.size() + 1 && UpToZero(world.data) == world.content;
    }
    const std::u16string content = testing::Utf16(testing::AnsiToUtf8(world.content));
    std::u16string units;
    for (std::size_t i = 0; i + 1 < world.data.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(world.data[i]) |
                                       (static_cast<unsigned char>(world.data[i + 1]) << 8));
    }
    if (units.size() > content.size() + 1) {
        return false;
    }
    return units.substr(0, units.find(u'\0')) == content;
}

std::size_t CountEvents(const testing::FakePlatform& platform, const std::string& prefix)
{
    std::size_t count = 0;
    for (const std::string& event : platform.events) {
        count += event.compare(0, prefix.size(), prefix) == 0 ? 1 : 0;
    }
    return count;
}

void CheckRegistryUse(const testing::FakePlatform& platform, const RegistryWorld& world)
{
    FUZZ_CHECK(platform.OpenRegistryKeys() == 0, "a registry key was left open");
    if (world.key.empty()) {
        FUZZ_CHECK(CountEvents(platform, "RegOpenKeyExA:") == 0, "the registry was opened without a CheckKey");
        return;
    }
    FUZZ_CHECK(platform.registryOpenAccess == std::vector<std::uint32_t>{kKeyRead}, "one open with KEY_READ alone");
    FUZZ_CHECK(platform.registryOpenOptions == std::vector<std::uint32_t>{0}, "options 0");
    FUZZ_CHECK(platform.HasEvent("RegOpenKeyExA:" + testing::AnsiToUtf8(world.key)), "the key opened is not the CheckKey");
    const bool opens = world.exists && !world.denied;
    if (!opens) {
        FUZZ_CHECK(platform.registryReadCapacities.empty(), "a value was read from a key that did not open");
        return;
    }
    // Room for the content and its zero in UTF-16: code page 1252 has one unit a byte.
    const std::uint32_t capacity = static_cast<std::uint32_t>(2 * (world.content.size() + 1));
    FUZZ_CHECK(platform.registryReadCapacities == std::vector<std::uint32_t>{capacity},
               "read capacity for content of " << world.content.size() << " characters");
    FUZZ_CHECK(capacity <= 2 * kTextBufferSize, "read capacity " << capacity);
    FUZZ_CHECK(platform.HasEvent("RegQueryValueExW:" + testing::AnsiToUtf8(world.value)),
               "the value read is not the CheckValue");
}

void CheckDirectly(const RegistryWorld& world)
{
    testing::FakePlatform platform;
    Script(platform, world);
    PrerequisiteStep step;
    step.execute.Assign(kProgram);
    step.checkKey.Assign(world.key.c_str());
    step.checkValue.Assign(world.value.c_str());
    step.checkContent.Assign(world.content.c_str());

    const bool passed = EvaluateRegistryCheck(platform, step);
    FUZZ_CHECK(passed == ExpectedCheck(world), "check " << passed << " for content \"" << world.content.substr(0, 100)
                                                         << "\" (" << world.content.size() << " characters) against "
                                                         << world.data.size() << " stored bytes");
    CheckRegistryUse(platform, world);
}

void CheckInTheChain(const RegistryWorld& written, const FuzzFields& fields)
{
    // The settings as written in the file, and the world as the chain reads them: the
    // profile reader trims values and removes outer quotes.
    RegistryWorld world = written;
    world.key = ReferenceProfileValue(written.key);
    world.value = ReferenceProfileValue(written.value);
    world.content = ReferenceProfileValue(written.content);
    testing::FakePlatform platform;
    Script(platform, world);
    const std::string writtenExecute = fields.Text("exec", std::string(kProgram) + " /install");
    const std::string execute = ReferenceProfileValue(writtenExecute);
    const std::string doExecute = ReferenceProfileValue(fields.Text("do"));
    const std::string expectedResult = ReferenceProfileValue(fields.Text("expect"));
    platform.AddProgram(kProgram, fields.Number("exit", 0));
    platform.SetIniValue(kIniPath, "Prereq0", "Execute", writtenExecute);
    platform.SetIniValue(kIniPath, "Prereq0", "DoExecuteIfCheckIs", fields.Text("do"));
    platform.SetIniValue(kIniPath, "Prereq0", "ExecuteOkIfResultIs", fields.Text("expect"));
    platform.SetIniValue(kIniPath, "Prereq0", "CheckKey", written.key);
    platform.SetIniValue(kIniPath, "Prereq0", "CheckValue", written.value);
    platform.SetIniValue(kIniPath, "Prereq0", "CheckContent", written.content);
    TextBuffer iniPath;
    iniPath.Assign(kIniPath);

    PrerequisiteStep step;
    RunEnd end;
    const StepResult result = RunPrerequisiteChain(platform, iniPath, DllSearch::systemDirectoryOnly, step, end);

    FUZZ_CHECK(platform.OpenRegistryKeys() == 0 && platform.OpenKernelHandles() == 0, "a handle was left open");
    if (execute.empty()) {
        FUZZ_CHECK(!result.endsRun && platform.processes.empty() && platform.registryOpenAccess.empty(),
                   "an empty Execute must end the chain before anything else");
        return;
    }
    if (execute.size() > kLongestValue) {
        FUZZ_CHECK(result.endsRun && result.exitCode == 6 && platform.processes.empty(), "a cut Execute");
        FUZZ_CHECK(platform.messageBoxes.size() == 1 && platform.messageBoxes[0].text == "Command line too long!",
                   "message for an Execute that does not fit");
        return;
    }
    for (const std::string* setting :
         std::initializer_list<const std::string*>{&doExecute, &expectedResult, &world.key, &world.value, &world.content}) {
        if (setting->size() > kLongestValue) {
            FUZZ_CHECK(result.endsRun && result.exitCode == 6, "a setting that does not fit was taken");
            FUZZ_CHECK(platform.processes.empty() && platform.registryOpenAccess.empty(), "acted on a cut setting");
            FUZZ_CHECK(platform.messageBoxes.size() == 1 && platform.messageBoxes[0].text == "Setting too long!",
                       "message for a setting that does not fit");
            return;
        }
    }
    CheckRegistryUse(platform, world);

    const bool runs = ExpectedCheck(world) == (ReferenceUpper(doExecute) == "TRUE");
    if (!runs) {
        FUZZ_CHECK(!result.endsRun && platform.processes.empty() && platform.messageBoxes.empty(),
                   "a skipped section did something");
        return;
    }
    FUZZ_CHECK(platform.processes.size() == 1 && platform.processes[0].commandLine == execute,
               "the section's command line was not started as written");
    testing::FakePlatform probe;
    probe.AddProgram(kProgram, fields.Number("exit", 0));
    const std::int32_t exitCode = ExitCodeOf(probe, execute);
    if (ReferenceUpper(expectedResult) == "DEBUG") {
        const std::string text = execute + "\n\rreturned\n\rDec: " + std::to_string(exitCode) + "\n\rHex: " +
                                 Hex(static_cast<std::uint32_t>(exitCode));
        FUZZ_CHECK(result.endsRun && result.exitCode == exitCode, "debug run must end with the program's code");
        FUZZ_CHECK(platform.messageBoxes.size() == 1, "one debug box");
        FUZZ_CHECK(platform.messageBoxes[0].text == text, "debug text \"" << platform.messageBoxes[0].text << "\"");
        FUZZ_CHECK(platform.messageBoxes[0].caption == "Execution result" && platform.messageBoxes[0].style == 0x40u,
                   "debug box caption and style");
        return;
    }
    FUZZ_CHECK(platform.messageBoxes.empty(), "a box outside debug mode");
    const bool expected = exitCode == ReferenceDecimal(expectedResult);
    FUZZ_CHECK(result.endsRun == !expected, "exit code " << exitCode << " against \"" << expectedResult << "\"");
    if (result.endsRun) {
        FUZZ_CHECK(result.exitCode == exitCode, "the run must end with the program's exit code");
    }
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace boot::fuzzing;
    const FuzzFields fields(data, size);
    RegistryWorld world;
    world.key = fields.Text("key");
    world.value = fields.Text("value");
    world.content = fields.Text("content");
    world.exists = !fields.Has("exists") || fields.Flag("exists");
    world.denied = fields.Flag("denied");
    world.present = !fields.Has("present") || fields.Flag("present");
    StoreData(fields, world);

    if (world.key.size() <= kLongestValue && world.value.size() <= kLongestValue &&
        world.content.size() <= kLongestValue) {
        CheckDirectly(world);
    }
    CheckInTheChain(world, fields);
    return 0;
}
