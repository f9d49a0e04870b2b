#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "checker/reading/setup_languages.h"
#include "checker/rules/package/cabinet_check.h"
#include "checker/rules/package/package_facts_check.h"
#include "checker/rules/package/package_folder_check.h"
#include "checker/rules/package/transform_check.h"
#include "checker/walk/folder_walk.h"
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

// The msiexec runs, as the ways started them: after the dialog, each language's
// installation; without it, the maintenance run, after the re-cache when there is one.
void TakeInstallerCommands(Plan& plan)
{
    for (std::size_t i = 0; i < plan.ways.ways.size(); ++i) {
        const WholeWay whole = FollowWay(plan.ways, i);
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

void MarkOfferedLanguages(Plan& plan)
{
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        for (int row = 0; row < kLanguageCount; ++row) {
            plan.offered[i] = plan.offered[i] ||
                              (plan.language.available[row] && kLanguageTable[row].transformLanguage == kLanguageIds[i]);
        }
    }
}

}  // namespace

void CheckThePackage(Walk& walk)
{
    Plan& plan = walk.plan;
    if (walk.plan.packagePath.empty()) {
        return;
    }
    TextBuffer msiPath;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "MsiPath", msiPath);
    if (msiPath.IsEmpty()) {
        CheckPackageChoice(walk.platform, plan, walk.findings);
    }
    if (walk.plan.languagesDirectory.empty()) {
        return;
    }
    TextBuffer setting;
    ReadSetupValue(walk.platform, walk.iniPath, kStartSection, "LanguagesDir", setting);
    CheckLanguagesFolder(walk.platform, setting, walk.Line(kStartSection, "LanguagesDir"), plan, walk.findings);
    MarkOfferedLanguages(plan);
    if (!plan.offered[0] && !plan.offered[1]) {
        return;  // the run never came to know the package's languages
    }
    CheckPackageFacts(walk.platform, walk.packageFile.Get(), plan, walk.findings);
    CheckCabinets(walk.platform, walk.packageFile.Get(), plan, walk.findings);
    CheckTransformPlaces(walk.platform, walk.transforms, setting, plan, walk.findings);
    TakeInstallerCommands(plan);
    CheckTransformFiles(walk.platform, walk.transforms, setting, plan, walk.findings);
}

}  // namespace boot::folder_walk
