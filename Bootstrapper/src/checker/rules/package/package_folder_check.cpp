#include "checker/rules/package/package_folder_check.h"

#include <algorithm>
#include <initializer_list>
#include <unordered_map>

#include "checker/reading/name_case.h"
#include "checker/reading/setup_languages.h"
#include "checker/rules/setup_ini/setup_ini_check.h"
#include "common/text_rules.h"
#include "language/language_discovery.h"
#include "launcher/package_location.h"
#include "services/ansi_names.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr int kDeepestFolder = 8;
constexpr std::size_t kExtensionLength = 4;

// A name as the program's ANSI calls would show it, "?" for what the code page lacks.
std::string DisplayName(Platform& platform, const std::u16string& name)
{
    if (name.empty()) {
        return std::string();
    }
    std::string ansi(3 * name.size(), '\0');
    const std::int32_t written = platform.WideCharToMultiByte(
        kCodePageAnsi, kWcNoBestFitChars, name.data(), static_cast<std::int32_t>(name.size()), ansi.data(),
        static_cast<std::int32_t>(ansi.size()), nullptr, nullptr);
    ansi.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return ansi;
}

// The name exactly in the ANSI code page, or empty.
std::string ExactName(Platform& platform, const std::u16string& name)
{
    TextBuffer ansi;
    return ToExactAnsi(platform, name.c_str(), ansi) == AnsiName::exact ? std::string(ansi.Get()) : std::string();
}

std::u16string Joined(const std::u16string& folder, const std::u16string& name)
{
    if (folder.empty()) {
        return name;
    }
    return folder.back() == u'\\' ? folder + name : folder + u'\\' + name;
}

std::string FindingFile(const std::string& relative)
{
    std::string file = relative;
    std::replace(file.begin(), file.end(), '\\', '/');
    return file;
}

bool EndsWithPackageExtension(const std::u16string& name)
{
    return name.size() >= kExtensionLength &&
           SameNameIgnoringCase(name.substr(name.size() - kExtensionLength), u".msi");
}

// A full path as GetFullPathNameA makes it, without a trailing backslash but a root's.
struct PendingFolder {
    std::u16string path;
    std::u16string relative;  // empty for the package folder itself
    std::string ansiPath;     // empty when the ANSI code page cannot name it
    int depth = 0;
};

// The entries of one folder: names that clash, and the transforms among them.
void ReadFolder(FolderReader& platform, const PendingFolder& folder, Findings& findings,
                std::vector<TransformFile>& transforms, std::vector<PendingFolder>& pending)
{
    std::vector<FolderEntry> entries;
    if (!platform.ListFolder(folder.path, entries)) {
        return;
    }
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return ComesFirstOnNtfs(a.name, b.name); });
    std::unordered_map<std::u16string, std::u16string> firstOfName;
    for (const FolderEntry& entry : entries) {
        const std::u16string relative = Joined(folder.relative, entry.name);
        const auto named = firstOfName.emplace(UpperCaseName(entry.name), relative);
        if (!named.second) {
            findings.Report(Rule::caseClash, FindingFile(DisplayName(platform, relative)).c_str(), 0,
                            "%s and %s differ only in letter case: Windows holds only one of them in a folder, and "
                            "which one a copy to Windows keeps is not known",
                            DisplayName(platform, named.first->second).c_str(),
                            DisplayName(platform, relative).c_str());
        }
        const std::string name = DisplayName(platform, entry.name);
        if (entry.kind != EntryKind::missing && NameEndsWithTransformExtension(name.c_str())) {
            TransformFile transform;
            transform.file = FindingFile(DisplayName(platform, relative));
            transform.name = name;
            transform.folderPath = folder.ansiPath;
            transform.kind = entry.kind;
            transforms.push_back(std::move(transform));
        }
        if (entry.kind == EntryKind::folder && !entry.throughLink && folder.depth < kDeepestFolder) {
            const std::string exact = ExactName(platform, entry.name);
            PendingFolder inner;
            inner.path = Joined(folder.path, entry.name);
            inner.relative = relative;
            inner.ansiPath = folder.ansiPath.empty() || exact.empty() ? std::string() : folder.ansiPath + "\\" + exact;
            inner.depth = folder.depth + 1;
            pending.push_back(std::move(inner));
        }
    }
}

// Transforms the program would apply that lie outside the languages folder.
void CheckTransformsElsewhere(FolderReader& platform, const std::vector<TransformFile>& transforms,
                              const TextBuffer& setting, const Plan& plan, Findings& findings)
{
    const std::int32_t language = plan.package.productLanguage;
    TextBuffer prefix;
    LanguagesFilePrefix(setting, prefix);
    const std::string languagesFolder = NormalizedFolder(platform, plan.languagesDirectory);
    const std::string where =
        prefix.IsEmpty() ? std::string("the package folder") : std::string("LanguagesDir ") + setting.Get();
    for (const TransformFile& transform : transforms) {
        if (transform.kind != EntryKind::file || !IsAppliedTransform(transform.name.c_str(), language)) {
            continue;
        }
        const std::string folder = NormalizedFolder(platform, transform.folderPath);
        if (!folder.empty() && SameTextIgnoringCase(folder.c_str(), languagesFolder.c_str())) {
            continue;
        }
        findings.Report(Rule::transformElsewhere, transform.file.c_str(), 0,
                        "%s lies outside the languages folder (%s), where the setup looks for transforms: it is "
                        "never applied; move it there, or set LanguagesDir to its folder",
                        transform.file.c_str(), where.c_str());
    }
}

}  // namespace

std::string NormalizedFolder(Platform& platform, const std::string& path)
{
    TextBuffer full;
    if (path.empty() || !full.KeepPlatformText(platform.GetFullPathNameA(path.c_str(),
                                                                         static_cast<std::uint32_t>(full.Capacity()),
                                                                         full.Data()))) {
        return std::string();
    }
    std::string folder = full.Get();
    if (folder.size() > 3 && folder.back() == '\\') {
        folder.pop_back();
    }
    return folder;
}

void WalkPackageFolder(FolderReader& platform, const char* folder, Findings& findings,
                       std::vector<TransformFile>& transforms)
{
    transforms.clear();
    WideChar wide[kTextBufferSize] = {};
    const std::uint32_t length = platform.GetCurrentDirectoryW(kTextBufferSize, wide);
    if (length == 0 || length >= kTextBufferSize) {
        return;
    }
    std::vector<PendingFolder> pending(1);
    pending.front().path.assign(wide, length);
    pending.front().ansiPath = folder;
    while (!pending.empty()) {
        const PendingFolder current = std::move(pending.back());
        pending.pop_back();
        ReadFolder(platform, current, findings, transforms, pending);
    }
}

PackageChoice CheckPackageChoice(Platform& platform, Findings& findings)
{
    PackageChoice choice;
    // The program's own search (FindPackageInCurrentDirectory), all the way through.
    std::vector<std::u16string> packages;
    FindDataW found{};
    const Handle search = platform.FindFirstFileW(kPackagePattern, &found);
    for (bool more = search != kInvalidHandle; more; more = platform.FindNextFileW(search, &found)) {
        found.fileName[kMaxPath - 1] = 0;
        TextBuffer ansi;
        if (EndsWithPackageExtension(found.fileName) &&
            ToExactAnsi(platform, found.fileName, ansi) == AnsiName::exact) {
            packages.emplace_back(found.fileName);
        }
    }
    if (search != kInvalidHandle) {
        platform.FindClose(search);
    }
    choice.found = static_cast<std::uint32_t>(packages.size());
    if (packages.size() < 2) {
        return choice;
    }
    const std::u16string first = *std::min_element(packages.begin(), packages.end(), ComesFirstOnNtfs);
    choice.ntfsFirst = DisplayName(platform, first);
    findings.Report(Rule::severalPackages, kFolderFile, 0,
                    "the folder holds %u packages and Setup.ini names none (MsiPath): the setup opens the first "
                    "that Windows' directory search returns, which depends on the file system (NTFS returns %s, "
                    "the first by name without regard to case); set MsiPath",
                    static_cast<unsigned>(packages.size()), choice.ntfsFirst.c_str());
    return choice;
}

void CheckLanguagesFolder(FolderReader& platform, const TextBuffer& setting, std::uint32_t line, const Plan& plan,
                          Findings& findings)
{
    if (setting.IsEmpty() || platform.KindOf(plan.languagesDirectory.c_str()) == EntryKind::folder) {
        return;
    }
    // Only a run that gets past the languages offers the package's own language alone;
    // one that ends there shows why at its end.
    if (plan.endsAt > RunStage::languages) {
        findings.Report(Rule::noLanguagesFolder, kSetupIniFile, line,
                        "LanguagesDir=%s names no folder in the package folder: the setup finds no transform and "
                        "offers only the package's own language",
                        setting.Get());
    } else {
        findings.Report(Rule::noLanguagesFolder, kSetupIniFile, line,
                        "LanguagesDir=%s names no folder in the package folder: the setup finds no transform there",
                        setting.Get());
    }
}

void CheckTransformPlaces(FolderReader& platform, const std::vector<TransformFile>& transforms,
                          const TextBuffer& setting, const Plan& plan, Findings& findings)
{
    TextBuffer pattern;
    if (!pattern.Format("%s\\*%s", plan.languagesDirectory.c_str(), kTransformExtension)) {
        return;
    }
    CheckTransformsElsewhere(platform, transforms, setting, plan, findings);
    TextBuffer prefix;
    LanguagesFilePrefix(setting, prefix);
    FindData found{};
    const Handle search = platform.FindFirstFileA(pattern.Get(), &found);
    if (search == kInvalidHandle) {
        return;
    }
    do {
        // "*.mst" also matches 8.3 aliases: only names that really end in ".mst" count.
        if (!NameEndsWithTransformExtension(found.fileName) ||
            IsAppliedTransform(found.fileName, plan.package.productLanguage)) {
            continue;
        }
        TextBuffer file;
        file.Format("%s%s", prefix.Get(), found.fileName);
        findings.Report(Rule::unusedTransform, file.Get(), 0,
                        "the program never applies %s: it knows 1031.mst (German) and 1033.mst (English) for a "
                        "language other than the package's own (%d), and Documentation.mst",
                        found.fileName, static_cast<int>(plan.package.productLanguage));
    } while (platform.FindNextFileA(search, &found));
    platform.FindClose(search);
}

bool NameEndsWithTransformExtension(const char* name)
{
    const std::size_t length = TextLength(name);
    return length >= kExtensionLength && SameTextIgnoringCase(name + length - kExtensionLength, kTransformExtension);
}

bool IsAppliedTransform(const char* name, std::int32_t productLanguage)
{
    const std::int32_t language = LanguageOfName(name);
    return SameTextIgnoringCase(name, kDocumentationTransformFile) || (language != 0 && language != productLanguage);
}

std::int32_t LanguageOfName(const std::string& name)
{
    for (const std::int32_t language : kLanguageIds) {
        const std::string languageName = std::to_string(language) + kTransformExtension;
        if (SameTextIgnoringCase(name.c_str(), languageName.c_str())) {
            return language;
        }
    }
    return 0;
}

void LanguagesFilePrefix(const TextBuffer& setting, TextBuffer& prefix)
{
    prefix.Clear();
    if (!setting.IsEmpty() && !TextEquals(setting.Get(), kDefaultLanguagesDir)) {
        AsFindingFile(setting.Get(), prefix);
        prefix.Append("/");
    }
}

void AsFindingFile(const char* path, TextBuffer& file)
{
    file.Assign(path);
    for (char* p = file.Data(); *p != '\0'; ++p) {
        if (*p == '\\') {
            *p = '/';
        }
    }
}

}  // namespace boot
