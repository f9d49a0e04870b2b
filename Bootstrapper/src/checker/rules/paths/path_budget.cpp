#include "checker/rules/paths/path_budget.h"

#include "checker/reading/program_part.h"
#include "checker/reading/setup_languages.h"
#include "common/text_rules.h"
#include "language/language_discovery.h"
#include "language/language_table.h"
#include "launcher/package_location.h"
#include "launcher/pre_setup.h"
#include "services/file_search.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot {

namespace {


// The characters of an ANSI text as Windows counts a path's: its UTF-16 units, which
// are fewer than its bytes in a double-byte code page or UTF-8.
std::size_t CharacterCount(Platform& platform, const char* text)
{
    const std::int32_t units = platform.MultiByteToWideChar(kCodePageAnsi, 0, text, -1, nullptr, 0);
    return units > 0 ? static_cast<std::size_t>(units) - 1 : TextLength(text);
}

// Keeps `relative` (a path behind the folder and its backslash) when it is the longest yet.
void Count(Platform& platform, const char* relative, PathBudget& budget)
{
    if (CharacterCount(platform, relative) > CharacterCount(platform, budget.deepestPath.c_str())) {
        budget.deepestPath = relative;
    }
}

// A program Windows' search finds in the folder by its relative name.
void CountProgram(Platform& platform, const char* folder, const char* commandLine, PathBudget& budget)
{
    ProgramPart part;
    FindProgramPart(platform, folder, commandLine, part);
    if (part.relative && part.inFolder) {
        Count(platform, part.path.Get(), budget);
    }
}

void CountPrograms(FolderReader& platform, const TextBuffer& iniPath, const Plan& plan, PathBudget& budget)
{
    TextBuffer setupPath;
    ReadSetupValue(platform, iniPath, kStartSection, kSetupPathKey, setupPath);
    if (setupPath.IsEmpty()) {
        Count(platform, kDefaultSetupProgram, budget);  // tested in the folder, found or not
    } else {
        CountProgram(platform, plan.folder.c_str(), setupPath.Get(), budget);
    }
    for (const PlannedPrerequisite& planned : plan.sectionsRead) {
        CountProgram(platform, plan.folder.c_str(), planned.execute.c_str(), budget);
    }
}

void CountPackage(FolderReader& platform, const TextBuffer& iniPath, PathBudget& budget)
{
    TextBuffer name;
    ReadSetupValue(platform, iniPath, kStartSection, kMsiPathKey, name);
    if (name.IsEmpty()) {
        FindPackageInCurrentDirectory(platform, name);
    }
    Count(platform, name.Get(), budget);
}

void CountIfFile(FolderReader& platform, const Plan& plan, const TextBuffer& relative, PathBudget& budget)
{
    TextBuffer full;
    if (full.Format("%s\\%s", plan.folder.c_str(), relative.Get()) && platform.KindOf(full.Get()) == EntryKind::file) {
        Count(platform, relative.Get(), budget);
    }
}

// The transforms the program tests that are there: another language's, and the
// documentation transform, composed as the program composes them ("." included); and the
// search of the languages folder, by which the program tests one whose own path is too
// long for the file functions.
void CountTransforms(FolderReader& platform, const TextBuffer& iniPath,
                     const std::vector<TransformFile>& transforms, const Plan& plan, PathBudget& budget)
{
    TextBuffer setting;
    ReadSetupValue(platform, iniPath, kStartSection, kLanguagesDirKey, setting);
    if (setting.IsEmpty()) {
        setting.Assign(kDefaultLanguagesDir);
    }
    TextBuffer composed;
    if (!composed.Format("%s\\%s", plan.folder.c_str(), setting.Get())) {
        return;
    }
    TextBuffer search;
    if (search.Format("%s\\*%s", setting.Get(), kTransformExtension)) {
        Count(platform, search.Get(), budget);
    }
    // The names the program tests, however deep the languages folder lies.
    for (const std::int32_t language : kLanguageIds) {
        TextBuffer relative;
        if (language != plan.package.productLanguage &&
            relative.Format("%s\\%d%s", setting.Get(), static_cast<int>(language), kTransformExtension)) {
            CountIfFile(platform, plan, relative, budget);
        }
    }
    TextBuffer documentation;
    if (documentation.Format("%s\\%s", setting.Get(), kDocumentationTransformFile)) {
        CountIfFile(platform, plan, documentation, budget);
    }
    const std::string folder = NormalizedFolder(platform, composed.Get());
    for (const TransformFile& transform : transforms) {
        TextBuffer own;
        own.Format("%d%s", static_cast<int>(plan.package.productLanguage), kTransformExtension);
        const bool tested = IsAppliedTransform(transform.name.c_str(), plan.package.productLanguage) &&
                            !SameTextIgnoringCase(transform.name.c_str(), own.Get());
        if (tested && transform.kind == EntryKind::file && !folder.empty() &&
            SameTextIgnoringCase(NormalizedFolder(platform, transform.folderPath).c_str(), folder.c_str())) {
            TextBuffer relative;
            if (relative.Format("%s\\%s", setting.Get(), transform.name.c_str())) {
                Count(platform, relative.Get(), budget);
            }
        }
    }
}

}  // namespace

PathBudget MeasurePathBudget(FolderReader& platform, const TextBuffer& iniPath,
                             const std::vector<TransformFile>& transforms, const Plan& plan)
{
    PathBudget budget;
    budget.deepestPath = kSetupIniName;
    CountPrograms(platform, iniPath, plan, budget);
    CountPackage(platform, iniPath, budget);
    CountTransforms(platform, iniPath, transforms, plan, budget);
    // The folder, a backslash and the deepest path make at most kLongestFilePath.
    const std::size_t deepest = CharacterCount(platform, budget.deepestPath.c_str()) + 1;
    budget.budget = deepest < kLongestFilePath ? kLongestFilePath - deepest : 0;
    return budget;
}

void CheckPathBudget(Platform& platform, const Plan& plan, Findings& findings)
{
    const bool endedAtFileLimit = EndsAtFileLimit(plan);
    const std::size_t folder = CharacterCount(platform, plan.folder.c_str());
    if (folder <= plan.pathBudget && !endedAtFileLimit) {
        return;
    }
    // A path too long by itself fits no folder: only a shorter setting helps.
    const std::string remedy = plan.pathBudget == 0 ? "No package folder can hold this path: shorten the setting "
                                                      "it comes from"
                                                    : "A package folder may have at most " +
                                                          std::to_string(plan.pathBudget) +
                                                          " characters for this package";
    findings.Report(Rule::tooLong, kFolderFile, 0,
                    "the folder's path has %u characters, and with \\%s it has %u, more than the %u Windows' file "
                    "functions take: %s. %s",
                    static_cast<unsigned>(folder), plan.deepestPath.c_str(),
                    static_cast<unsigned>(folder + 1 + CharacterCount(platform, plan.deepestPath.c_str())),
                    static_cast<unsigned>(kLongestFilePath),
                    endedAtFileLimit ? "the setup ends with \"Path too long!\""
                                     : "Windows cannot open or start it from there",
                    remedy.c_str());
}

}  // namespace boot
