#include <algorithm>
#include <iterator>
#include <string>

#include "checker/walk/folder_walk.h"
#include "common/text_rules.h"
#include "prereq/prerequisite_chain.h"
#include "services/file_search.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

bool ReportTooLongValue(Walk& walk, const char* section, const char* key, const char* message)
{
    TextBuffer value;
    if (ReadSetupValue(walk.platform, walk.iniPath, section, key, value) != SetupValue::tooLong) {
        return false;
    }
    walk.findings.Report(Rule::tooLong, kSetupIniFile, walk.Line(section, key),
                         "%s is longer than 1023 characters: the setup ends with \"%s\"", key, message);
    return true;
}

bool ReportUnusableValue(Walk& walk, const char* section, const char* key)
{
    TextBuffer value;
    if (ReadSetupValue(walk.platform, walk.iniPath, section, key, value) != SetupValue::unusableCharacters) {
        return false;
    }
    walk.findings.Report(Rule::unusableCharacters, kSetupIniFile, walk.Line(section, key),
                         "%s holds characters the ANSI code page cannot hold exactly (Windows would read them "
                         "as other characters), or bytes it cannot decode (an ANSI file on a system set to "
                         "UTF-8): the setup ends with \"%s\"",
                         key, kMessageUnusableSetting);
    return true;
}

namespace {

// The first of `keys` the program refuses; it reads none after it.
template <std::size_t N>
bool ReportFirstRefused(Walk& walk, const char* section, const char* const (&keys)[N], bool tooLong)
{
    return std::any_of(std::begin(keys), std::end(keys), [&walk, section, tooLong](const char* key) {
        return tooLong ? ReportTooLongValue(walk, section, key, kMessageSettingTooLong)
                       : ReportUnusableValue(walk, section, key);
    });
}

// Each Explain...End reports why the run ends with `message` at its stage, and is false
// when only the path budget can tell (a path beyond the file functions).
bool ExplainPreSetupEnd(Walk& walk, const std::string& message)
{
    if (message == kMessageCommandLineTooLong) {
        if (!ReportTooLongValue(walk, kStartSection, "SetupPath", kMessageCommandLineTooLong)) {
            walk.findings.Report(Rule::tooLong, kSetupIniFile, walk.Line(kStartSection, "SetupPath"),
                                 "SetupPath and \" /uionlyifneeded\" are longer than 1023 characters: the setup "
                                 "ends with \"%s\"",
                                 kMessageCommandLineTooLong);
        }
        return true;
    }
    if (message == kMessageUnusableSetting) {
        ReportUnusableValue(walk, kStartSection, "SetupPath");
    }
    // The folder's own characters and a directory search that fails show in the plan.
    return message != kMessagePathTooLong;
}

bool ExplainPrerequisiteEnd(Walk& walk, const std::string& message)
{
    TextBuffer section;
    section.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(walk.furthest.lastPrerequisite));
    if (message == kMessageCommandLineTooLong) {
        ReportTooLongValue(walk, section.Get(), "Execute", kMessageCommandLineTooLong);
    } else if (message == kMessageSettingTooLong) {
        const char* const keys[] = {"DoExecuteIfCheckIs", "ExecuteOkIfResultIs", "CheckKey", "CheckValue",
                                    "CheckContent"};
        ReportFirstRefused(walk, section.Get(), keys, true);
    } else if (message == kMessageUnusableSetting) {
        const char* const keys[] = {"Execute", "DoExecuteIfCheckIs", "ExecuteOkIfResultIs", "CheckKey", "CheckValue",
                                    "CheckContent"};
        ReportFirstRefused(walk, section.Get(), keys, false);
    }
    return true;
}

// "Path too long!" where the package is located: a setting too long for the buffer it is
// read into, or a path the file functions cannot take (false: the path budget tells).
bool ExplainLocationTooLong(Walk& walk)
{
    if (ReportTooLongValue(walk, kStartSection, "MsiPath", kMessagePathTooLong)) {
        return true;
    }
    if (walk.plan.packagePath.IsEmpty()) {
        return false;
    }
    // The package was found: the languages folder was not.
    if (!ReportTooLongValue(walk, kStartSection, "LanguagesDir", kMessagePathTooLong)) {
        walk.findings.Report(Rule::tooLong, kSetupIniFile, walk.Line(kStartSection, "LanguagesDir"),
                             "the folder's path and LanguagesDir are longer than 1023 characters: the setup ends "
                             "with \"%s\"",
                             kMessagePathTooLong);
    }
    return true;
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

void ReportUnopenedPackage(Walk& walk, const std::string& message)
{
    TextBuffer msiPath;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "MsiPath", msiPath);
    if (message == kMessageOpenDatabase && !msiPath.IsEmpty() &&
        FindEntry(walk.platform, walk.plan.packagePath.Get()) != Entry::present) {
        walk.findings.Report(Rule::noPackage, kSetupIniFile, walk.Line(kStartSection, "MsiPath"),
                             "MsiPath=%s names no file in the folder (it is always taken relative to it): the setup "
                             "ends with \"%s\"",
                             msiPath.Get(), message.c_str());
        return;
    }
    const char* other = OtherInstallerFile(walk.platform.ClassOf(walk.plan.packagePath.Get()));
    if (other != nullptr) {
        walk.findings.Report(Rule::packageUnreadable, walk.packageFile.Get(), 0,
                             "this is %s, not a package: Windows Installer does not open it as one (result %d), "
                             "and the setup ends with \"%s\"",
                             other, static_cast<int>(walk.furthest.exitCode), message.c_str());
        return;
    }
    walk.findings.Report(Rule::packageUnreadable, walk.packageFile.Get(), 0,
                         "this is no Windows Installer package, or its Property table cannot be read (result "
                         "%d): the setup ends with \"%s\"",
                         static_cast<int>(walk.furthest.exitCode), message.c_str());
}

// Windows Installer refuses a ProductCode that is no GUID in braces as a parameter (87),
// before it looks anything up, on every machine; another result is the machine's.
void ReportProductLookup(Walk& walk, const std::string& message)
{
    const PackageInfo& info = walk.plan.package;
    if (walk.furthest.exitCode != static_cast<std::int32_t>(kErrorInvalidParameter)) {
        walk.findings.Report(Rule::packageUnreadable, walk.packageFile.Get(), 0,
                             "Windows Installer cannot look up ProductCode \"%s\" (result %d): the setup ends with "
                             "\"%s\"",
                             info.productCode.Get(), static_cast<int>(walk.furthest.exitCode), message.c_str());
    } else if (info.productCode.IsEmpty()) {
        walk.findings.Report(Rule::productCodeSyntax, walk.packageFile.Get(), 0,
                             "the Property table has no ProductCode (or none of at most 1023 characters), which "
                             "Windows Installer refuses to look up (result 87): the setup ends with \"%s\"",
                             message.c_str());
    } else {
        walk.findings.Report(Rule::productCodeSyntax, walk.packageFile.Get(), 0,
                             "ProductCode %s is not a GUID in braces ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}), "
                             "which Windows Installer refuses to look up (result 87): the setup ends with \"%s\"",
                             info.productCode.Get(), message.c_str());
    }
}

bool ExplainPackageEnd(Walk& walk, const std::string& message)
{
    const PackageInfo& info = walk.plan.package;
    if (message == kMessagePathTooLong) {
        return ExplainLocationTooLong(walk);
    }
    if (message == kMessageNoMsi) {
        walk.findings.Report(Rule::noPackage, kFolderFile, 0,
                             "there is no MsiPath, and the folder holds no file whose name ends in \".msi\": the "
                             "setup ends with \"%s\"",
                             kMessageNoMsi);
    } else if (message == kMessageUnusableSetting) {
        ReportUnusableValue(walk, kStartSection, walk.plan.packagePath.IsEmpty() ? "MsiPath" : "LanguagesDir");
    } else if (message == kMessageProductVersion && info.productVersion.IsEmpty()) {
        walk.findings.Report(Rule::productVersion, walk.packageFile.Get(), 0,
                             "the Property table has no ProductVersion: the setup ends with \"%s\"", message.c_str());
    } else if (message == kMessageProductVersion) {
        walk.findings.Report(Rule::productVersion, walk.packageFile.Get(), 0,
                             "ProductVersion %s has fewer than three components: the setup ends with \"%s\"",
                             info.productVersion.Get(), message.c_str());
    } else if (message == kMessageInstalledVersion) {
        ReportProductLookup(walk, message);
    } else if (message == kMessageOpenDatabase || message == kMessageOpenView || message == kMessageExecuteView) {
        ReportUnopenedPackage(walk, message);
    }
    return true;
}

bool ExplainLanguagesEnd(Walk& walk, const std::string& message)
{
    if (message != kMessageNoLanguages) {
        return message != kMessagePathTooLong;  // a transform beyond the file functions
    }
    walk.findings.Report(Rule::noLanguages, walk.packageFile.Get(), 0,
                         "ProductLanguage is %d, neither German (1031) nor English (1033), and neither 1031.mst nor "
                         "1033.mst is in the languages folder: the setup ends with \"%s\"",
                         static_cast<int>(walk.plan.package.productLanguage), kMessageNoLanguages);
    return true;
}

// The boxes a way shows once the languages are known, whichever way it is: an msiexec
// command line that does not fit, or a languages folder whose ";" would split TRANSFORMS.
void ExplainInstallerBoxes(Walk& walk)
{
    bool tooLong = false;
    bool splits = false;
    for (const RunWay& way : walk.plan.ways.ways) {
        for (const WayEvent& event : way.events) {
            if (event.kind != WayEvent::Kind::box || event.stage < RunStage::languages) {
                continue;
            }
            tooLong = tooLong || event.text == kMessageCommandLineTooLong;
            splits = splits || event.text == kMessageUnsupportedPath;
        }
    }
    if (splits) {
        walk.findings.Report(Rule::unsupportedPath, kFolderFile, 0,
                             "the languages folder's path %s holds \";\", which separates the transforms msiexec "
                             "is given (TRANSFORMS): after the language is chosen, the setup ends with \"%s\"",
                             walk.plan.languagesDirectory.Get(), kMessageUnsupportedPath);
    }
    if (tooLong) {
        walk.findings.Report(Rule::tooLong, walk.packageFile.Get(), 0,
                             "an msiexec command line would be longer than it may be: the setup ends with \"%s\"",
                             kMessageCommandLineTooLong);
    }
}

}  // namespace

void ExplainTheEnds(Walk& walk)
{
    ExplainInstallerBoxes(walk);
    const Plan& plan = walk.plan;
    if (plan.endMessage.empty() || plan.endsAt == RunStage::start) {
        return;  // the folder's path and Setup.ini itself are the Setup.ini rules' to explain
    }
    const std::string& message = plan.endMessage;
    bool explained = true;
    switch (plan.endsAt) {
    case RunStage::preSetup:
        explained = ExplainPreSetupEnd(walk, message);
        break;
    case RunStage::prerequisites:
        explained = ExplainPrerequisiteEnd(walk, message);
        break;
    case RunStage::package:
        explained = ExplainPackageEnd(walk, message);
        break;
    case RunStage::languages:
        explained = ExplainLanguagesEnd(walk, message);
        break;
    case RunStage::start:
    case RunStage::installer:
    case RunStage::done:
        break;
    }
    walk.endedAtFileLimit = walk.endedAtFileLimit || !explained;
}

}  // namespace boot::folder_walk
