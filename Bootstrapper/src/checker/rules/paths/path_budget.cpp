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
void Count(Platform& platform, const char* relative, Plan& plan)
{
    if (CharacterCount(platform, relative) > CharacterCount(platform, plan.deepestPath.c_str())) {
        plan.deepestPath = relative;
    }
}

// A program Windows' search finds in the folder by its relative name.
void CountProgram(Platform& platform, const char* folder, const char* commandLine, Plan& plan)
{
    ProgramPart part;
    FindProgramPart(platform, folder, commandLine, part);
    if (part.relative && part.inFolder) {
        Count(platform, part.path.Get(), plan);
    }
}

void CountPrograms(FolderReader& platform, const TextBuffer& iniPath, Plan& plan)
{
    TextBuffer setupPath;
    ReadSetupValue(platform, iniPath, kStartSection, "SetupPath", setupPath);
    if (setupPath.IsEmpty()) {
        Count(platform, kDefaultSetupProgram, plan);  // tested in the folder, found or not
    } else {
        CountProgram(platform, plan.folder.c_str(), setupPath.Get(), plan);
    }
    for (const PlannedPrerequisite& planned : plan.prerequisites) {
        CountProgram(platform, plan.folder.c_str(), planned.execute.c_str(), plan);
    }
}

void CountPackage(FolderReader& platform, const TextBuffer& iniPath, Plan& plan)
{
    TextBuffer name;
    ReadSetupValue(platform, iniPath, kStartSection, "MsiPath", name);
    if (name.IsEmpty()) {
        FindPackageInCurrentDirectory(platform, name);
    }
    Count(platform, name.Get(), plan);
}

void CountIfFile(FolderReader& platform, Plan& plan, const TextBuffer& relative)
{
    TextBuffer full;
    if (full.Format("%s\\%s", plan.folder.c_str(), relative.Get()) && platform.KindOf(full.Get()) == EntryKind::file) {
        Count(platform, relative.Get(), plan);
    }
}

// The transforms the program tests that are there: another language's, and the
// documentation transform, composed as the program composes them ("." included).
void CountTransforms(FolderReader& platform, const TextBuffer& iniPath,
                     const std::vector<TransformFile>& transforms, Plan& plan)
{
    TextBuffer setting;
    ReadSetupValue(platform, iniPath, kStartSection, "LanguagesDir", setting);
    if (setting.IsEmpty()) {
        setting.Assign(kDefaultLanguagesDir);
    }
    TextBuffer composed;
    if (!composed.Format("%s\\%s", plan.folder.c_str(), setting.Get())) {
        return;
    }
    // The names the program tests, however deep the languages folder lies.
    for (const std::int32_t language : kLanguageIds) {
        TextBuffer relative;
        if (language != plan.package.productLanguage &&
            relative.Format("%s\\%d%s", setting.Get(), static_cast<int>(language), kTransformExtension)) {
            CountIfFile(platform, plan, relative);
        }
    }
    TextBuffer documentation;
    if (documentation.Format("%s\\%s%s", setting.Get(), kDocumentationTransformName, kTransformExtension)) {
        CountIfFile(platform, plan, documentation);
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
                Count(platform, relative.Get(), plan);
            }
        }
    }
}

}  // namespace

void MeasurePathBudget(FolderReader& platform, const TextBuffer& iniPath,
                       const std::vector<TransformFile>& transforms, Plan& plan)
{
    plan.deepestPath = kSetupIniName;
    CountPrograms(platform, iniPath, plan);
    CountPackage(platform, iniPath, plan);
    CountTransforms(platform, iniPath, transforms, plan);
    // The folder, a backslash and the deepest path make at most kLongestFilePath.
    const std::size_t deepest = CharacterCount(platform, plan.deepestPath.c_str()) + 1;
    plan.pathBudget = deepest < kLongestFilePath ? kLongestFilePath - deepest : 0;
}

void CheckPathBudget(Platform& platform, const Plan& plan, bool endedAtFileLimit, Findings& findings)
{
    const std::size_t folder = CharacterCount(platform, plan.folder.c_str());
    if (folder <= plan.pathBudget && !endedAtFileLimit) {
        return;
    }
    findings.Report(Rule::tooLong, kFolderFile, 0,
                    "the folder's path has %u characters, and with \\%s it has %u, more than the %u Windows' file "
                    "functions take: %s. A package folder may have at most %u characters for this package",
                    static_cast<unsigned>(folder), plan.deepestPath.c_str(),
                    static_cast<unsigned>(folder + 1 + CharacterCount(platform, plan.deepestPath.c_str())),
                    static_cast<unsigned>(kLongestFilePath),
                    endedAtFileLimit ? "the setup ends with \"Path too long!\""
                                     : "Windows cannot open or start it from there",
                    static_cast<unsigned>(plan.pathBudget));
}

}  // namespace boot
