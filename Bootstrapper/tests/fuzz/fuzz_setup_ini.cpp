// The checker's checks of Setup.ini's text on any bytes as the file: nothing may be read
// outside the text or its lines (the sanitizers watch), every finding names a rule of the
// table and a line the file has, and the lines the walk asks for are lines of the file.

#include <cstdint>
#include <memory>
#include <string>

#include "checker/findings/findings.h"
#include "checker/reading/known_names.h"
#include "checker/reading/profile_text.h"
#include "checker/rules/setup_ini/setup_ini_check.h"
#include "fake_platform.h"
#include "fuzz_input.h"
#include "services/setup_ini.h"

namespace boot::fuzzing {
namespace {

constexpr std::int32_t kSectionsAsked = 3;  // [Prereq0] to [Prereq2]

std::uint32_t LastLineNumber(const ProfileText& text)
{
    return text.LineCount() == 0 ? 0 : text.Line(text.LineCount() - 1).number;
}

void CheckLinesAsked(const ProfileText& text, const char* section, const char* key)
{
    const std::uint32_t last = LastLineNumber(text);
    FUZZ_CHECK(KeyLine(text, section, key) <= last, section << "/" << key);
    FUZZ_CHECK(SectionLine(text, section) <= last, section);
    const TextSpan value = text.ReadValue(section, key);
    FUZZ_CHECK(value.start + value.length <= text.TextLength(), section << "/" << key);
    WrittenValue(text, section, key);
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace boot;
    using namespace boot::fuzzing;
    static testing::FakePlatform platform;
    static auto text = std::make_unique<ProfileText>();
    Findings findings;
    // Read as the checker reads Setup.ini: a file, through the platform.
    constexpr const char* kPath = "C:\\Setup\\Setup.ini";
    platform.SetFileContent(kPath, std::string(reinterpret_cast<const char*>(data), size));
    if (text->Load(platform, kPath) != ProfileLoad::read) {
        return 0;
    }
    CheckSetupIniText(*text, findings);
    for (std::int32_t end = -1; end <= kSectionsAsked; ++end) {
        CheckUnreachableSections(*text, end, findings);
    }
    for (const char* key : kStartKeys) {
        CheckLinesAsked(*text, kStartSection, key);
    }
    for (std::int32_t number = 0; number < kSectionsAsked; ++number) {
        const std::string section = "Prereq" + std::to_string(number);
        for (const char* key : kPrerequisiteKeys) {
            CheckLinesAsked(*text, section.c_str(), key);
        }
    }
    const std::uint32_t last = LastLineNumber(*text);
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        FUZZ_CHECK(finding.ruleIndex >= 0, finding.rule);
        FUZZ_CHECK(finding.line <= last, finding.rule << " at line " << finding.line << " of " << last);
    }
    return 0;
}
