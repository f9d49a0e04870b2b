#include "checker/rules/run_ends/run_end_check.h"

#include "checker/rules/setup_ini/setup_ini_check.h"
#include "prereq/prerequisite_chain.h"
#include "services/file_search.h"
#include "services/messages.h"
#include "services/run_end.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

// The findings of one explanation: the facts, the record of the plan's run, the section
// of the key it names and the box the run ends with.
struct Explanation {
    const RunEndFacts& facts;
    Findings& findings;
    const RunEnd& end;
    const char* section;
    const char* box;

    std::uint32_t Line(const char* inSection, const char* key) const { return KeyLine(facts.text, inSection, key); }
    std::int32_t ExitCode() const { return facts.furthest.exitCode; }
};

// A setting the program refused as too long or as holding unusable characters; false for
// any other end.
bool ReportRefusedSetting(const Explanation& why)
{
    if (why.end.cause == EndCause::valueTooLong) {
        why.findings.Report(Rule::tooLong, kSetupIniFile, why.Line(why.section, why.end.key),
                            "%s is longer than 1023 characters: the setup ends with \"%s\"", why.end.key, why.box);
        return true;
    }
    if (why.end.cause == EndCause::unusableCharacters) {
        why.findings.Report(Rule::unusableCharacters, kSetupIniFile, why.Line(why.section, why.end.key),
                            "%s holds characters the ANSI code page cannot hold exactly (Windows would read them "
                            "as other characters), or bytes it cannot decode (an ANSI file on a system set to "
                            "UTF-8): the setup ends with \"%s\"",
                            why.end.key, why.box);
        return true;
    }
    return false;
}

// Each Explain...End reports why the run ends at its stage; a path beyond the file
// functions is the path budget's to tell (EndsAtFileLimit).
void ExplainPreSetupEnd(const Explanation& why)
{
    if (ReportRefusedSetting(why)) {
        return;
    }
    if (why.end.cause == EndCause::commandLineTooLong) {
        why.findings.Report(Rule::tooLong, kSetupIniFile, why.Line(kStartSection, kSetupPathKey),
                            "SetupPath and \" /uionlyifneeded\" are longer than 1023 characters: the setup ends "
                            "with \"%s\"",
                            why.box);
    }
    // The folder's own characters and a directory search that fails show in the plan.
}

// Where the package or the languages folder is located: a setting refused, or "Path too
// long!" for a path the file functions cannot take (the path budget tells).
void ExplainLocationEnd(const Explanation& why)
{
    if (ReportRefusedSetting(why) || why.end.key != kLanguagesDirKey) {
        return;
    }
    why.findings.Report(Rule::tooLong, kSetupIniFile, why.Line(kStartSection, kLanguagesDirKey),
                        "the folder's path and LanguagesDir are longer than 1023 characters: the setup ends with "
                        "\"%s\"",
                        why.box);
}

// A Windows Installer file of another kind given as the package, in words; null for
// anything else.
const char* OtherInstallerFile(InstallerFileClass kind)
{
    switch (kind) {
    case InstallerFileClass::patch:
        return "a patch (.msp), which msiexec applies to an installed product with /p";
    case InstallerFileClass::transform:
        return "a transform (.mst), which msiexec applies to a package with TRANSFORMS";
    case InstallerFileClass::package:
    case InstallerFileClass::other:
        break;
    }
    return nullptr;
}

void ReportUnopenedPackage(const Explanation& why)
{
    const RunEndFacts& facts = why.facts;
    TextBuffer msiPath;
    ReadSetupValue(facts.platform, facts.iniPath, kStartSection, kMsiPathKey, msiPath);  // only to show it
    if (why.end.cause == EndCause::packageUnopened && !msiPath.IsEmpty() &&
        FindEntry(facts.platform, facts.plan.packagePath.c_str()) != Entry::present) {
        why.findings.Report(Rule::noPackage, kSetupIniFile, why.Line(kStartSection, kMsiPathKey),
                            "MsiPath=%s names no file in the folder (it is always taken relative to it): the setup "
                            "ends with \"%s\"",
                            msiPath.Get(), why.box);
        return;
    }
    const char* other = OtherInstallerFile(facts.platform.ClassOf(facts.plan.packagePath.c_str()));
    if (other != nullptr) {
        why.findings.Report(Rule::packageUnreadable, facts.packageFile, 0,
                            "this is %s, not a package: Windows Installer does not open it as one (result %d), "
                            "and the setup ends with \"%s\"",
                            other, static_cast<int>(why.ExitCode()), why.box);
        return;
    }
    why.findings.Report(Rule::packageUnreadable, facts.packageFile, 0,
                        "this is no Windows Installer package, or its Property table cannot be read (result "
                        "%d): the setup ends with \"%s\"",
                        static_cast<int>(why.ExitCode()), why.box);
}

// Windows Installer refuses a ProductCode that is no GUID in braces as a parameter (87),
// before it looks anything up, on every machine; another result is the machine's.
void ReportProductLookup(const Explanation& why)
{
    const PlannedPackage& info = why.facts.plan.package;
    const char* file = why.facts.packageFile;
    if (why.ExitCode() != static_cast<std::int32_t>(kErrorInvalidParameter)) {
        why.findings.Report(Rule::packageUnreadable, file, 0,
                            "Windows Installer cannot look up ProductCode \"%s\" (result %d): the setup ends with "
                            "\"%s\"",
                            info.productCode.c_str(), static_cast<int>(why.ExitCode()), why.box);
    } else if (info.productCode.empty()) {
        why.findings.Report(Rule::productCodeSyntax, file, 0,
                            "the Property table has no ProductCode (or none of at most 1023 characters), which "
                            "Windows Installer refuses to look up (result 87): the setup ends with \"%s\"",
                            why.box);
    } else {
        why.findings.Report(Rule::productCodeSyntax, file, 0,
                            "ProductCode %s is not a GUID in braces ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}), "
                            "which Windows Installer refuses to look up (result 87): the setup ends with \"%s\"",
                            info.productCode.c_str(), why.box);
    }
}

void ReportProductVersion(const Explanation& why)
{
    const PlannedPackage& info = why.facts.plan.package;
    if (info.productVersion.empty()) {
        why.findings.Report(Rule::productVersion, why.facts.packageFile, 0,
                            "the Property table has no ProductVersion: the setup ends with \"%s\"", why.box);
    } else {
        why.findings.Report(Rule::productVersion, why.facts.packageFile, 0,
                            "ProductVersion %s has fewer than three components: the setup ends with \"%s\"",
                            info.productVersion.c_str(), why.box);
    }
}

void ExplainPackageEnd(const Explanation& why)
{
    switch (why.end.cause) {
    case EndCause::valueTooLong:
    case EndCause::pathTooLong:
    case EndCause::unusableCharacters:
        ExplainLocationEnd(why);
        break;
    case EndCause::noPackage:
        why.findings.Report(Rule::noPackage, kFolderFile, 0,
                            "there is no MsiPath, and the folder holds no file whose name ends in \".msi\": the "
                            "setup ends with \"%s\"",
                            why.box);
        break;
    case EndCause::productVersion:
        ReportProductVersion(why);
        break;
    case EndCause::productLookup:
        ReportProductLookup(why);
        break;
    case EndCause::packageUnopened:
    case EndCause::packageUnreadable:
        ReportUnopenedPackage(why);
        break;
    default:
        break;
    }
}

void ExplainLanguagesEnd(const Explanation& why)
{
    if (why.end.cause != EndCause::noLanguages) {
        return;  // a transform beyond the file functions: the path budget tells
    }
    why.findings.Report(Rule::noLanguages, why.facts.packageFile, 0,
                        "ProductLanguage is %d, neither German (1031) nor English (1033), and neither 1031.mst nor "
                        "1033.mst is in the languages folder: the setup ends with \"%s\"",
                        static_cast<int>(why.facts.plan.package.productLanguage), why.box);
}

// The boxes a way shows once the languages are known, whichever way it is: an msiexec
// command line that does not fit, or a languages folder whose ";" would split TRANSFORMS.
// A way that joins another ends as that one does.
void ExplainInstallerBoxes(const RunEndFacts& facts, Findings& findings)
{
    bool tooLong = false;
    bool splits = false;
    for (const RunWay& way : facts.plan.ways.ways) {
        if (way.joins || way.end.stage != RunStage::installer) {
            continue;
        }
        tooLong = tooLong || way.end.cause == EndCause::commandLineTooLong;
        splits = splits || way.end.cause == EndCause::unsupportedPath;
    }
    if (splits) {
        findings.Report(Rule::unsupportedPath, kFolderFile, 0,
                        "the languages folder's path %s holds \";\", which separates the transforms msiexec "
                        "is given (TRANSFORMS): after the language is chosen, the setup ends with \"%s\"",
                        facts.plan.languagesDirectory.c_str(), kMessageUnsupportedPath);
    }
    if (tooLong) {
        findings.Report(Rule::tooLong, facts.packageFile, 0,
                        "an msiexec command line would be longer than it may be: the setup ends with \"%s\"",
                        kMessageCommandLineTooLong);
    }
}

}  // namespace

void ExplainRunEnds(const RunEndFacts& facts, Findings& findings)
{
    ExplainInstallerBoxes(facts, findings);
    const Plan& plan = facts.plan;
    if (plan.endMessage.empty() || plan.endsAt == RunStage::start) {
        return;  // the folder's path and Setup.ini itself are the Setup.ini rules' to explain
    }
    // A key the record names is in the Start section, or at the prerequisites stage in the
    // prerequisite's.
    const RunEnd& end = facts.furthest.end;
    TextBuffer section;
    section.Assign(kStartSection);
    if (end.stage == RunStage::prerequisites) {
        section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(end.prerequisite));
    }
    const Explanation why{facts, findings, end, section.Get(), plan.endMessage.c_str()};
    switch (plan.endsAt) {
    case RunStage::preSetup:
        ExplainPreSetupEnd(why);
        break;
    case RunStage::prerequisites:
        ReportRefusedSetting(why);
        break;
    case RunStage::package:
        ExplainPackageEnd(why);
        break;
    case RunStage::languages:
        ExplainLanguagesEnd(why);
        break;
    case RunStage::start:
    case RunStage::installer:
    case RunStage::done:
        break;
    }
}

}  // namespace boot
