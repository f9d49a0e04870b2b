#include "checker/rules/reader_comparison.h"

#include <string>

#include "checker/reading/known_names.h"
#include "checker/rules/setup_ini_check.h"
#include "prereq/prerequisite_chain.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

void CompareValue(Platform& platform, const TextBuffer& iniPath, const ProfileText& text, const char* section,
                  const char* key, Findings& findings)
{
    TextBuffer platformValue;
    const TextSpan textValue = text.ReadValue(section, key);
    // A value longer than the program takes is reported as such, whoever reads it.
    if (ReadSetupValue(platform, iniPath, section, key, platformValue) != SetupValue::read ||
        textValue.length >= kTextBufferSize) {
        return;
    }
    const std::string checkerValue = SpanText(text, textValue);
    if (checkerValue == platformValue.Get()) {
        return;
    }
    std::uint32_t line = KeyLine(text, section, key);
    line = line != 0 ? line : SectionLine(text, section);
    findings.Report(kSetupIniFile, line, Severity::error, "reader-mismatch",
                    "this system's profile reader (GetPrivateProfileStringW) reads %s in [%s] as \"%s\", the "
                    "checker's reading of the text as \"%s\": the plan follows the system, the checker's other "
                    "findings may not (please report it)",
                    key, section, platformValue.Get(), checkerValue.c_str());
}

}  // namespace

void CompareReaders(Platform& platform, const TextBuffer& iniPath, const ProfileText& text, const Plan& plan,
                    Findings& findings)
{
    if (plan.endsAt > Plan::Stage::start) {
        CompareValue(platform, iniPath, text, kStartSection, "SetupPath", findings);
    }
    if (plan.endsAt > Plan::Stage::preSetup) {
        // The sections the chain read whole, and the Execute of the one it ended at.
        for (std::size_t number = 0; number <= plan.prerequisiteCount; ++number) {
            TextBuffer section;
            section.Format("%s%u", kPrerequisiteSectionPrefix, static_cast<unsigned>(number));
            for (const char* key : kPrerequisiteKeys) {
                if (number < plan.prerequisiteCount || TextEquals(key, "Execute")) {
                    CompareValue(platform, iniPath, text, section.Get(), key, findings);
                }
            }
        }
    }
    if (plan.endsAt >= Plan::Stage::package) {
        CompareValue(platform, iniPath, text, kStartSection, "MsiPath", findings);
        CompareValue(platform, iniPath, text, kStartSection, "LanguagesDir", findings);
    }
}

}  // namespace boot
