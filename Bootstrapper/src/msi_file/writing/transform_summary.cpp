#include "msi_file/writing/transform_summary.h"

#include <algorithm>

#include "msi_file/format/code_page_text.h"
#include "msi_file/writing/transform_flags.h"

namespace boot::msi {

namespace {

constexpr std::int32_t kDefaultPageCount = 200;  // Windows Installer 2.0
constexpr std::int32_t kSecurityReadOnlyEnforced = 4;

bool IsDecimal(const std::string& text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The properties the summary names; false, with the reason, for one that is missing.
bool ProductIdentity(const Database& package, const char* role, std::string& code, std::string& version,
                     std::string& language, std::string& why)
{
    code = package.Property("ProductCode");
    version = package.Property("ProductVersion");
    language = package.Property("ProductLanguage");
    const char* missing = code.empty() ? "ProductCode" : version.empty() ? "ProductVersion" : nullptr;
    if (missing != nullptr) {
        why = std::string("the ") + role + " package has no " + missing;
        return false;
    }
    if (!IsDecimal(language)) {
        why = std::string("the ") + role + " package's ProductLanguage \"" + language + "\" is no language id";
        return false;
    }
    return true;
}

std::string PlatformOf(const Database& package)
{
    std::string platform;
    std::string languages;
    SplitTemplate(package.summary.Text(kPidTemplate), platform, languages);
    return platform;
}

bool SameProperty(const SummaryInfo& a, const SummaryInfo& b, std::uint32_t pid)
{
    const auto before = a.properties.find(pid);
    const auto after = b.properties.find(pid);
    if (before == a.properties.end() || after == b.properties.end()) {
        return before == a.properties.end() && after == b.properties.end();
    }
    return before->second.kind == after->second.kind && before->second.integer == after->second.integer &&
           before->second.text == after->second.text;
}

}  // namespace

std::string SummaryNotCarried(const Database& base, const Database& target)
{
    // Revision Number (the package code), the times, Page Count and the creating
    // application differ between any two builds, and Template's language is what the
    // transform's Last Saved By names; its platform is the package's own.
    const struct {
        std::uint32_t pid;
        const char* name;
    } properties[] = {{kPidTitle, "Title"},       {kPidSubject, "Subject"},   {kPidAuthor, "Author"},
                      {kPidKeywords, "Keywords"}, {kPidComments, "Comments"}, {kPidWordCount, "Word Count"}};
    std::string names;
    for (const auto& property : properties) {
        if (!SameProperty(base.summary, target.summary, property.pid)) {
            names += (names.empty() ? "" : ", ") + std::string(property.name);
        }
    }
    const std::string basePlatform = PlatformOf(base);
    const std::string targetPlatform = PlatformOf(target);
    if (basePlatform != targetPlatform) {
        names += (names.empty() ? "" : ", ") + std::string("Template's platform (") + basePlatform + " in the base, " +
                 targetPlatform + " in the target)";
    }
    return names;
}

bool ComposeTransformSummary(const Database& base, const Database& target, std::uint16_t validation,
                             std::uint16_t suppress, SummaryInfo& summary, std::string& why)
{
    std::string baseCode;
    std::string baseVersion;
    std::string baseLanguage;
    std::string targetCode;
    std::string targetVersion;
    std::string targetLanguage;
    if (!ProductIdentity(base, "base", baseCode, baseVersion, baseLanguage, why) ||
        !ProductIdentity(target, "target", targetCode, targetVersion, targetLanguage, why)) {
        return false;
    }
    const std::string upgradeCode = base.Property("UpgradeCode");
    if (upgradeCode.empty() && (validation & kValidateUpgradeCode) != 0) {
        why = "the base package has no UpgradeCode to validate";
        return false;
    }
    std::string revision = baseCode + baseVersion + ";" + targetCode + targetVersion;
    if (!upgradeCode.empty()) {
        revision += ";" + upgradeCode;
    }
    summary = SummaryInfo{};
    summary.SetInteger(kPidCodePage, static_cast<std::int32_t>(kWesternCodePage));
    summary.SetText(kPidTitle, "Transform");
    summary.SetText(kPidTemplate, PlatformOf(base) + ";" + baseLanguage);
    summary.SetText(kPidLastSavedBy, PlatformOf(target) + ";" + targetLanguage);
    summary.SetText(kPidRevisionNumber, revision);
    summary.SetInteger(kPidPageCount, std::max(base.summary.Integer(kPidPageCount, kDefaultPageCount),
                                               target.summary.Integer(kPidPageCount, kDefaultPageCount)));
    summary.SetInteger(kPidCharacterCount, CharacterCount(validation, suppress));
    summary.SetText(kPidCreatingApplication, "bootstrapper-transform");
    summary.SetInteger(kPidSecurity, kSecurityReadOnlyEnforced);
    return true;
}

void SplitTemplate(const std::string& text, std::string& platform, std::string& languages)
{
    const std::size_t semicolon = text.find(';');
    platform = text.substr(0, semicolon);
    languages = semicolon == std::string::npos ? std::string() : text.substr(semicolon + 1);
}

}  // namespace boot::msi
