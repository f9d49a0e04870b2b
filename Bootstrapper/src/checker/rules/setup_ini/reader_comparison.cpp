#include "checker/rules/setup_ini/reader_comparison.h"

#include <string>
#include <vector>

#include "checker/output/formatted_text.h"
#include "checker/reading/known_names.h"
#include "checker/rules/setup_ini/setup_ini_check.h"
#include "prereq/prerequisite_chain.h"
#include "services/ansi_names.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::size_t kBytesPerUnit = 3;  // the most an ANSI code page (UTF-8) needs

// The value as the platform's profile reader hands it to the program, in UTF-16, then
// converted to the ANSI code page the way the checker's reading converts a UTF-16 file, so
// that both compare byte for byte, also where the code page has no exact form of a
// character. `full`: the value fills the program's buffer, which never takes it.
bool ReadAsThePlatform(Platform& platform, const TextBuffer& iniPath, const char* section, const char* key,
                       std::string& value, bool& full)
{
    std::vector<WideChar> file(kTextBufferSize);
    WideChar sectionName[kLongestSetupIniName + 1] = {};
    WideChar keyName[kLongestSetupIniName + 1] = {};
    if (!ToWideText(platform, iniPath.Get(), file.data(), file.size()) || TextLength(section) > kLongestSetupIniName ||
        TextLength(key) > kLongestSetupIniName) {
        return false;
    }
    for (std::size_t i = 0; section[i] != '\0'; ++i) {
        sectionName[i] = static_cast<WideChar>(static_cast<unsigned char>(section[i]));
    }
    for (std::size_t i = 0; key[i] != '\0'; ++i) {
        keyName[i] = static_cast<WideChar>(static_cast<unsigned char>(key[i]));
    }
    // With the program's room, so that a value is cut where the program's is, and no further.
    std::vector<WideChar> wide(kSetupValueProbeSize);
    const std::uint32_t count = platform.GetPrivateProfileStringW(sectionName, keyName, nullptr, wide.data(),
                                                                  kSetupValueProbeSize, file.data());
    full = count >= kTextBufferSize;
    value.clear();
    if (count == 0) {
        return true;
    }
    std::vector<char> ansi(kBytesPerUnit * count);
    const std::int32_t written =
        platform.WideCharToMultiByte(kCodePageAnsi, 0, wide.data(), static_cast<std::int32_t>(count), ansi.data(),
                                     static_cast<std::int32_t>(ansi.size()), nullptr, nullptr);
    value.assign(ansi.data(), written > 0 ? static_cast<std::size_t>(written) : 0);
    return written > 0;
}

void CompareValue(Platform& platform, const TextBuffer& iniPath, const ProfileText& text, const char* section,
                  const char* key, Findings& findings)
{
    // Elsewhere the platform's answer comes from the checker's own reading, or is known to
    // agree with it.
    if (!text.MayBeReadOtherwise(section, key)) {
        return;
    }
    std::string platformValue;
    bool platformFull = false;
    if (!ReadAsThePlatform(platform, iniPath, section, key, platformValue, platformFull)) {
        return;
    }
    const TextSpan textValue = text.ReadValue(section, key);
    const std::string checkerValue = SpanText(text, textValue);
    // A value too long for the program is refused whoever reads it, however it was cut.
    const bool checkerFull = textValue.length >= kTextBufferSize;
    if (checkerFull == platformFull && (checkerFull || checkerValue == platformValue)) {
        return;
    }
    std::uint32_t line = KeyLine(text, section, key);
    line = line != 0 ? line : SectionLine(text, section);
    findings.Report(Rule::readerMismatch, kSetupIniFile, line,
                    "this system's profile reader (GetPrivateProfileStringW) reads %s in [%s] as \"%s\" (%u "
                    "characters), the checker's reading of the text as \"%s\" (%u characters): the plan follows "
                    "the system, the checker's other findings may not (please report it)",
                    key, section, ShownText(platformValue).c_str(), static_cast<unsigned>(platformValue.size()),
                    ShownText(checkerValue).c_str(), static_cast<unsigned>(checkerValue.size()));
}

}  // namespace

void CompareReaders(FolderReader& platform, const TextBuffer& iniPath, const ProfileText& text, const Plan& plan,
                    Findings& findings)
{
    if (platform.ReadsProfilesItself()) {
        return;
    }
    if (plan.endsAt > RunStage::start) {
        CompareValue(platform, iniPath, text, kStartSection, kSetupPathKey, findings);
    }
    if (plan.endsAt > RunStage::preSetup) {
        // The sections the chain read whole, and the Execute of the one it ended at.
        for (std::size_t number = 0; number <= plan.prerequisites.size(); ++number) {
            const std::string section = Formatted("%s%zu", kPrerequisiteSectionPrefix, number);
            for (const char* key : kPrerequisiteKeys) {
                if (number < plan.prerequisites.size() || TextEquals(key, kExecuteKey)) {
                    CompareValue(platform, iniPath, text, section.c_str(), key, findings);
                }
            }
        }
    }
    if (plan.endsAt >= RunStage::package) {
        CompareValue(platform, iniPath, text, kStartSection, kMsiPathKey, findings);
        CompareValue(platform, iniPath, text, kStartSection, kLanguagesDirKey, findings);
    }
}

}  // namespace boot
