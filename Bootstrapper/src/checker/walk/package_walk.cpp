#include "checker/walk/folder_walk.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "checker/reading/program_part.h"
#include "checker/reading/unicode_text.h"
#include "checker/rules/package_facts_check.h"
#include "checker/rules/package_folder_check.h"
#include "checker/rules/path_budget.h"
#include "checker/rules/reader_comparison.h"
#include "checker/rules/setup_ini_check.h"
#include "checker/rules/transform_check.h"
#include "common/text_rules.h"
#include "language/language_discovery.h"
#include "language/language_table.h"
#include "launcher/package_location.h"
#include "package/msi_handle_holder.h"
#include "package/package_inspection.h"
#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/library_loading.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

constexpr std::int32_t kGerman = 1031;
constexpr std::int32_t kEnglish = 1033;

}  // namespace

bool LocateThePackage(Walk& walk)
{
    Plan& plan = walk.plan;
    TextBuffer msiPath;
    if (ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "MsiPath", msiPath) == SetupValue::tooLong) {
        ReportTooLongValue(walk, kStartSection, "MsiPath", kMessagePathTooLong);
        walk.End(Plan::Stage::package, kMessagePathTooLong);
        return false;
    }
    const std::uint32_t msiLine = walk.Line(kStartSection, "MsiPath");
    switch (LocatePackage(walk.platform, walk.iniPath, plan.folder, plan.packagePath)) {
    case Location::located:
        break;
    case Location::noPackage:
        walk.findings.Report(kFolderFile, 0, Severity::error, "no-package",
                             "there is no MsiPath, and the folder holds no file whose name ends in \".msi\": the "
                             "setup ends with \"%s\"",
                             kMessageNoMsi);
        walk.End(Plan::Stage::package, kMessageNoMsi);
        return false;
    case Location::unusableSetting:
        ReportUnusableValue(walk, kStartSection, "MsiPath");
        walk.End(Plan::Stage::package, kMessageUnusableSetting);
        return false;
    case Location::folderUnreadable:
        walk.End(Plan::Stage::package, kMessageFolderUnreadable);
        return false;
    case Location::settingTooLong:
    case Location::pathTooLong:
        walk.EndAtFileLimit(Plan::Stage::package);
        return false;
    }
    // The package's name is what follows the folder and its backslash.
    AsFindingFile(plan.packagePath.Get() + plan.folder.Length() + 1, walk.packageFile);
    if (msiPath.IsEmpty()) {
        CheckPackageChoice(walk.platform, plan, walk.findings);
    }
    // The program finds the languages folder before it opens the package.
    const Location languages = LocateLanguagesDirectory(walk.platform, walk.iniPath, plan.folder, plan.languagesDirectory);
    if (languages == Location::unusableSetting) {
        ReportUnusableValue(walk, kStartSection, "LanguagesDir");
        walk.End(Plan::Stage::package, kMessageUnusableSetting);
        return false;
    }
    if (languages != Location::located) {
        if (!ReportTooLongValue(walk, kStartSection, "LanguagesDir", kMessagePathTooLong)) {
            walk.findings.Report(kSetupIniFile, walk.Line(kStartSection, "LanguagesDir"), Severity::error,
                                 "too-long",
                                 "the folder's path and LanguagesDir are longer than 1023 characters: the setup "
                                 "ends with \"%s\"",
                                 kMessagePathTooLong);
        }
        walk.End(Plan::Stage::package, kMessagePathTooLong);
        return false;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckLanguagesFolder(walk.platform, setting, walk.Line(kStartSection, "LanguagesDir"), plan, walk.findings);
    if (!msiPath.IsEmpty() && FindEntry(walk.platform, plan.packagePath.Get()) != Entry::present) {
        walk.findings.Report(kSetupIniFile, msiLine, Severity::error, "no-package",
                             "MsiPath=%s names no file in the folder (it is always taken relative to it): the setup "
                             "ends with \"%s\"",
                             msiPath.Get(), kMessageOpenDatabase);
        walk.End(Plan::Stage::package, kMessageOpenDatabase);
        return false;
    }
    return true;
}

void ReportInspectionFailure(Walk& walk, std::int32_t exitCode)
{
    const char* message = walk.record.lastBoxText.Get();
    const PackageInfo& info = walk.plan.package;
    if (TextEquals(message, kMessageProductVersion)) {
        if (info.productVersion.IsEmpty()) {
            walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "product-version",
                                 "the Property table has no ProductVersion: the setup ends with \"%s\"", message);
        } else {
            walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "product-version",
                                 "ProductVersion %s has fewer than three components: the setup ends with \"%s\"",
                                 info.productVersion.Get(), message);
        }
    } else if (TextEquals(message, kMessageInstalledVersion)) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "package-unreadable",
                             "Windows Installer cannot look up ProductCode \"%s\" (result %d): the setup ends with "
                             "\"%s\"",
                             info.productCode.Get(), static_cast<int>(exitCode), message);
    } else {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "package-unreadable",
                             "this is no Windows Installer package, or its Property table cannot be read (result "
                             "%d): the setup ends with \"%s\"",
                             static_cast<int>(exitCode), message);
    }
    walk.End(Plan::Stage::package, message);
}

bool InspectThePackage(Walk& walk)
{
    if (!LoadWindowsInstaller(walk.platform, RestrictDllSearch(walk.platform))) {
        walk.End(Plan::Stage::package, kMessageNoWindowsInstaller);
        return false;
    }
    static PackageHandles handles(walk.platform);
    walk.record.Clear();
    const StepResult inspected = InspectPackage(walk.platform, walk.plan.packagePath, walk.plan.package, handles);
    if (inspected.endsRun) {
        ReportInspectionFailure(walk, inspected.exitCode);
        return false;
    }
    const std::int32_t count = DiscoverLanguages(walk.platform, 0, walk.plan.package.productLanguage,
                                                 walk.plan.languagesDirectory, walk.plan.language);
    ReleasePackageHandles(handles);
    if (count == 0 && TextEquals(walk.record.lastBoxText.Get(), kMessagePathTooLong)) {
        walk.EndAtFileLimit(Plan::Stage::languages);
        return false;
    }
    if (count == 0) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "no-languages",
                             "ProductLanguage is %d, neither German (1031) nor English (1033), and neither "
                             "1031.mst nor 1033.mst is in the languages folder: the setup ends with \"%s\"",
                             static_cast<int>(walk.plan.package.productLanguage), kMessageNoLanguages);
        walk.End(Plan::Stage::languages, kMessageNoLanguages);
        return false;
    }
    return true;
}

void CheckTransforms(Walk& walk)
{
    TextBuffer pattern;
    if (!pattern.Format("%s\\*%s", walk.plan.languagesDirectory.Get(), kTransformExtension)) {
        return;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckTransformPlaces(walk.platform, walk.transforms, setting, walk.plan, walk.findings);
    TextBuffer prefix;
    if (!setting.IsEmpty() && !TextEquals(setting.Get(), kDefaultLanguagesDir)) {
        AsFindingFile(setting.Get(), prefix);
        prefix.Append("/");
    }
    FindData found{};
    const Handle search = walk.platform.FindFirstFileA(pattern.Get(), &found);
    if (search == kInvalidHandle) {
        return;
    }
    do {
        // "*.mst" also matches 8.3 aliases: only names that really end in ".mst" count.
        if (!NameEndsWithTransformExtension(found.fileName) ||
            IsAppliedTransform(found.fileName, walk.plan.package.productLanguage)) {
            continue;
        }
        TextBuffer file;
        file.Format("%s%s", prefix.Get(), found.fileName);
        walk.findings.Report(file.Get(), 0, Severity::warning, "unused-transform",
                             "the program never applies %s: it knows 1031.mst (German) and 1033.mst (English) for "
                             "a language other than the package's own (%d), and Documentation.mst",
                             found.fileName, static_cast<int>(walk.plan.package.productLanguage));
    } while (walk.platform.FindNextFileA(search, &found));
    walk.platform.FindClose(search);
}

void ComposeCommands(Walk& walk)
{
    Plan& plan = walk.plan;
    MakeAbsolute(walk.platform, plan.packagePath);
    MakeAbsolute(walk.platform, plan.languagesDirectory);
    ComposeMsiexecPath(walk.platform, plan.msiexec);
    bool fits = ComposeRecacheCommand(plan.packagePath, plan.recache) &&
                ComposeMaintenanceCommand(plan.packagePath, plan.maintenance);
    bool splits = false;
    const std::int32_t languages[2] = {kGerman, kEnglish};
    for (int i = 0; i < 2; ++i) {
        for (int row = 0; row < kLanguageCount; ++row) {
            plan.offered[i] = plan.offered[i] ||
                              (plan.language.available[row] && kLanguageTable[row].transformLanguage == languages[i]);
        }
        if (plan.offered[i]) {
            const InstallCommand composed =
                ComposeInstallCommand(plan.packagePath, plan.languagesDirectory, languages[i],
                                      plan.package.productLanguage, plan.language.hasDocumentationTransform,
                                      plan.install[i]);
            fits = fits && composed != InstallCommand::tooLong;
            splits = splits || composed == InstallCommand::splitTransforms;
        }
    }
    if (splits) {
        walk.findings.Report(kFolderFile, 0, Severity::error, "unsupported-path",
                             "the languages folder's path %s holds \";\", which separates the transforms msiexec "
                             "is given (TRANSFORMS): after the language is chosen, the setup ends with \"%s\"",
                             plan.languagesDirectory.Get(), kMessageUnsupportedPath);
        walk.End(Plan::Stage::installer, kMessageUnsupportedPath);
        return;
    }
    if (!fits) {
        walk.findings.Report(walk.packageFile.Get(), 0, Severity::error, "too-long",
                             "an msiexec command line would be longer than it may be: the setup ends with \"%s\"",
                             kMessageCommandLineTooLong);
        walk.End(Plan::Stage::installer, kMessageCommandLineTooLong);
    }
}

}  // namespace boot::folder_walk
