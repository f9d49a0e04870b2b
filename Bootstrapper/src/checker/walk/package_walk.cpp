#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "checker/reading/setup_languages.h"
#include "checker/rules/package/cabinet_check.h"
#include "checker/rules/package/package_facts_check.h"
#include "checker/rules/package/package_folder_check.h"
#include "checker/rules/package/transform_check.h"
#include "checker/walk/folder_walk.h"
#include "language/language_discovery.h"
#include "language/language_state.h"
#include "language/language_table.h"
#include "services/setup_ini.h"

namespace boot::folder_walk {

namespace {

// The language dialog's entry for German (0) or English (1).
const char* DialogEntry(std::size_t language)
{
    const auto* entry = std::find_if(std::begin(kLanguageTable), std::end(kLanguageTable),
                                     [language](const LanguageEntry& row) {
                                         return row.transformLanguage == kLanguageIds[language];
                                     });
    return entry != std::end(kLanguageTable) ? entry->displayName : "";
}

// Whether a way read Setup.ini as the plan's first way does: the same answer at each line
// whose reading is not known. Only those ways start what the plan's steps describe.
bool ReadsAsTheFirstWay(const WholeWay& whole)
{
    return std::none_of(whole.events.begin(), whole.events.end(), [](const WayEvent* event) {
        return event->kind == WayEvent::Kind::choice && event->choiceKind == ChoiceKind::reading &&
               event->answer != 0;
    });
}

// The msiexec runs, as the ways started them: after the dialog, each language's
// installation; without it, the maintenance run, after the re-cache when there is one.
void TakeInstallerCommands(Plan& plan)
{
    for (std::size_t i = 0; i < plan.ways.ways.size(); ++i) {
        const WholeWay whole = FollowWay(plan.ways, i);
        if (!ReadsAsTheFirstWay(whole)) {
            continue;
        }
        std::string language;
        std::vector<const WayEvent*> starts;
        for (const WayEvent* event : whole.events) {
            if (event->kind == WayEvent::Kind::choice && event->choiceKind == ChoiceKind::language) {
                language = event->text;
            } else if (event->kind == WayEvent::Kind::start && event->stage == RunStage::installer) {
                starts.push_back(event);
            }
        }
        if (starts.empty()) {
            continue;
        }
        plan.msiexec = starts.back()->application;
        for (std::size_t k = 0; k < kOfferedLanguageCount; ++k) {
            if (language == DialogEntry(k)) {
                plan.install[k] = starts.back()->text;
            }
        }
        if (language.empty()) {
            plan.maintenance = starts.back()->text;
            if (starts.size() > 1) {
                plan.recache = starts.front()->text;
            }
        }
    }
}

// A run that ends at the languages offers none, whatever its search found first.
void MarkOfferedLanguages(Plan& plan)
{
    if (plan.endsAt == RunStage::languages) {
        return;
    }
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        for (int row = 0; row < kLanguageCount; ++row) {
            plan.offered[i] = plan.offered[i] ||
                              (plan.language.available[row] && kLanguageTable[row].transformLanguage == kLanguageIds[i]);
        }
    }
}

// Whether the program read the package's Property table: a run went past the package,
// or ended there only at what it read (the installed product's lookup, the version).
bool PropertiesRead(const Plan& plan)
{
    return plan.endsAt > RunStage::package || plan.end.cause == EndCause::productLookup ||
           plan.end.cause == EndCause::productVersion;
}

// The languages the setup offers for the package, also where no run came to them: the
// program's own discovery, on the folder, as the run would have made it.
void KnowTheLanguages(Walk& walk)
{
    Plan& plan = walk.plan;
    if (plan.endsAt >= RunStage::languages || plan.languagesDirectory.empty()) {
        return;
    }
    LanguageState state;
    RunEnd end;
    TextBuffer folder;
    folder.Assign(plan.languagesDirectory.c_str());
    DiscoverLanguages(walk.platform, 0, plan.package.productLanguage, folder, state, end);
    plan.language = PlannedLanguagesOf(state);
}

}  // namespace

void CheckThePackage(Walk& walk)
{
    Plan& plan = walk.plan;
    if (plan.packagePath.empty()) {
        return;  // no run located a package
    }
    TextBuffer msiPath;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, kMsiPathKey, msiPath);
    if (msiPath.IsEmpty()) {
        PackageChoice choice = CheckPackageChoice(walk.platform, walk.findings);
        plan.packagesFound = choice.found;
        plan.ntfsFirstPackage = std::move(choice.ntfsFirst);
    }
    if (!PropertiesRead(plan)) {
        return;  // the package's own facts are not known: its end explains why
    }
    // Whatever the run's end after it, the package is checked whole.
    KnowTheLanguages(walk);
    PackageFacts facts = CheckPackageFacts(walk.platform, walk.packageFile.Get(), plan, walk.findings);
    plan.packageTemplate = std::move(facts.packageTemplate);
    plan.upgradeCode = std::move(facts.upgradeCode);
    plan.is64BitPackage = facts.is64BitPackage;
    CheckCabinets(walk.platform, walk.packageFile.Get(), plan, walk.findings);
    if (plan.languagesDirectory.empty()) {
        return;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, kLanguagesDirKey, setting);
    CheckLanguagesFolder(walk.platform, setting, walk.Line(kStartSection, kLanguagesDirKey), plan, walk.findings);
    MarkOfferedLanguages(plan);
    CheckTransformPlaces(walk.platform, walk.transforms, setting, plan, walk.findings);
    TakeInstallerCommands(plan);
    plan.transformVerdict = CheckTransformFiles(walk.platform, walk.transforms, setting, plan, walk.findings);
}

}  // namespace boot::folder_walk
