#include "checker/rules/package/package_facts_check.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "checker/reading/guid_text.h"
#include "common/text_rules.h"
#include "package/msi_handle_holder.h"
#include "package/package_inspection.h"

namespace boot {

namespace {

constexpr std::uint64_t kDecimalBase = 10;
constexpr std::uint64_t kFieldCeiling = 1u << 20;  // far beyond every limit: counting stops there
// Windows Installer's limits of ProductVersion: major.minor.build.
constexpr std::uint64_t kLargestField[3] = {255, 255, 65535};

// Windows Installer's form of ProductVersion: major.minor.build, fields of digits, and a
// fourth field, which it ignores. Anything else (a suffix such as "-beta", a fifth field,
// an empty field) it refuses.
bool IsVersionForm(const char* version)
{
    constexpr int kLargestFieldCount = 4;
    int fields = 0;
    for (const char* p = version;; ++p) {
        const char* digits = p;
        while (*p >= '0' && *p <= '9') {
            ++p;
        }
        if (p == digits || ++fields > kLargestFieldCount) {
            return false;
        }
        if (*p != '.') {
            return *p == '\0';
        }
    }
}

bool IsVersionInRange(const char* version)
{
    const char* p = version;
    for (const std::uint64_t largest : kLargestField) {
        std::uint64_t field = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            field = field * kDecimalBase + static_cast<std::uint64_t>(*p - '0');
            field = field > kFieldCeiling ? kFieldCeiling : field;
        }
        if (field > largest) {
            return false;
        }
        if (*p != '.') {
            return true;
        }
        ++p;
    }
    return true;
}

// ProductCode and UpgradeCode: Windows Installer refuses a text that is no GUID in braces
// (the setup ends at a ProductCode of that kind before these rules run), and takes lower
// case, which its documentation asks to avoid.
void CheckGuid(const char* packageFile, const char* property, const std::string& value, Findings& findings)
{
    switch (BracedGuidForm(value.c_str())) {
    case GuidForm::upperCase:
        break;
    case GuidForm::otherCase:
        findings.Report(Rule::productCodeCase, packageFile, 0,
                        "%s %s has lower-case letters: Windows Installer takes it, but its documentation asks for "
                        "upper case ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}), and tools that compare it as text "
                        "may take it for another product",
                        property, value.c_str());
        break;
    case GuidForm::none:
        findings.Report(Rule::productCodeSyntax, packageFile, 0,
                        "%s %s is not a GUID in braces, as Windows Installer requires it "
                        "({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})",
                        property, value.c_str());
        break;
    }
}

// The UpgradeCode of the package's Property table; empty when it has none.
void ReadUpgradeCode(Platform& platform, const char* package, TextBuffer& upgradeCode)
{
    upgradeCode.Clear();
    MsiHandleHolder database(platform);
    MsiHandleHolder view(platform);
    MsiHandleHolder record(platform);
    if (platform.MsiOpenDatabaseA(package, nullptr, database.ResetForOutput()) != kErrorSuccess ||
        platform.MsiDatabaseOpenViewA(database.Get(), kPropertyQuery, view.ResetForOutput()) != kErrorSuccess ||
        platform.MsiViewExecute(view.Get(), 0) != kErrorSuccess) {
        return;
    }
    while (platform.MsiViewFetch(view.Get(), record.ResetForOutput()) == kErrorSuccess) {
        TextBuffer name;
        auto length = static_cast<std::uint32_t>(name.Capacity());
        if (platform.MsiRecordGetStringA(record.Get(), 1, name.Data(), &length) != kErrorSuccess ||
            !TextEquals(name.Get(), "UpgradeCode")) {
            continue;
        }
        length = static_cast<std::uint32_t>(upgradeCode.Capacity());
        if (platform.MsiRecordGetStringA(record.Get(), 2, upgradeCode.Data(), &length) != kErrorSuccess) {
            upgradeCode.Clear();
        }
        return;
    }
}

bool IsSixtyFourBitPlatform(const std::string& platform)
{
    constexpr const char* kSixtyFourBit[] = {"x64", "Intel64", "AMD64", "Arm64"};
    return std::any_of(std::begin(kSixtyFourBit), std::end(kSixtyFourBit),
                       [&platform](const char* name) { return SameTextIgnoringCase(platform.c_str(), name); });
}

// Whether the Template's languages ("1033,1031" behind the ";") hold `language`.
bool TemplateHoldsLanguage(const std::string& languages, std::int32_t language)
{
    std::size_t begin = 0;
    while (begin <= languages.size()) {
        std::size_t end = languages.find(',', begin);
        end = end == std::string::npos ? languages.size() : end;
        const std::string one = languages.substr(begin, end - begin);
        if (!one.empty() && ParseDecimal(one.c_str()) == language &&
            one.find_first_not_of("0123456789 ") == std::string::npos) {
            return true;
        }
        begin = end + 1;
    }
    return false;
}

void CheckTemplate(FolderReader& platform, const char* packageFile, const Plan& plan, PackageFacts& facts,
                   Findings& findings)
{
    std::string summaryTemplate;
    if (!platform.ReadSummaryText(plan.packagePath.c_str(), kSummaryTemplate, summaryTemplate)) {
        return;
    }
    facts.packageTemplate = summaryTemplate;
    const std::size_t separator = summaryTemplate.find(';');
    const std::string platformName = summaryTemplate.substr(0, separator);
    const std::string languages =
        separator == std::string::npos ? std::string() : summaryTemplate.substr(separator + 1);
    facts.is64BitPackage = IsSixtyFourBitPlatform(platformName);
    if (!TemplateHoldsLanguage(languages, plan.package.productLanguage)) {
        findings.Report(Rule::templateLanguage, packageFile, 0,
                        "ProductLanguage %d is not among the languages of the package's summary information "
                        "(Template \"%s\"), where Windows Installer reads the languages a package supports; list "
                        "it there",
                        static_cast<int>(plan.package.productLanguage), facts.packageTemplate.c_str());
    }
}

void CheckProductVersion(const char* packageFile, const PlannedPackage& info, Findings& findings)
{
    if (!IsVersionForm(info.productVersion.c_str())) {
        findings.Report(Rule::productVersionRange, packageFile, 0,
                        "ProductVersion %s is not of Windows Installer's form, fields of digits separated by dots, "
                        "major.minor.build (a fourth field is ignored): it refuses the package",
                        info.productVersion.c_str());
    } else if (!IsVersionInRange(info.productVersion.c_str())) {
        findings.Report(Rule::productVersionRange, packageFile, 0,
                        "ProductVersion %s is out of range: Windows Installer takes the major and minor version up "
                        "to 255 and the build up to 65535, and compares larger ones wrongly (the installed "
                        "version, upgrades)",
                        info.productVersion.c_str());
    }
}

}  // namespace

PackageFacts CheckPackageFacts(FolderReader& platform, const char* packageFile, const Plan& plan,
                               Findings& findings)
{
    const PlannedPackage& info = plan.package;
    if (plan.end.cause != EndCause::productVersion) {
        CheckProductVersion(packageFile, info, findings);
    }
    CheckGuid(packageFile, "ProductCode", info.productCode, findings);
    PackageFacts facts;
    TextBuffer upgradeCode;
    ReadUpgradeCode(platform, plan.packagePath.c_str(), upgradeCode);
    facts.upgradeCode = upgradeCode.Get();
    if (!facts.upgradeCode.empty()) {
        CheckGuid(packageFile, "UpgradeCode", facts.upgradeCode, findings);
    }
    CheckTemplate(platform, packageFile, plan, facts, findings);
    return facts;
}

}  // namespace boot
