#include "checker/rules/package/transform_check.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_set>
#include <utility>

#include "checker/reading/setup_languages.h"
#include "checker/reading/transform_revision.h"
#include "common/text_rules.h"
#include "common/transform_conditions.h"
#include "language/language_discovery.h"
#include "launcher/package_location.h"
#include "package/version.h"

namespace boot {

namespace {

constexpr const char* kLanguageNames[kOfferedLanguageCount] = {"German", "English"};

// "Intel;1033": the language after the platform.
std::int32_t LanguageOf(const std::string& platformAndLanguage)
{
    const std::string language = SemicolonPart(platformAndLanguage, 1);
    return language.empty() ? -1 : ParseDecimal(language.c_str());
}

// -1, 0 or 1 as `package` comes before, equals or comes after `base` in their first
// `parts` components.
int CompareVersions(const VersionParts& package, const VersionParts& base, int parts)
{
    for (int i = 0; i < parts; ++i) {
        if (package.part[i] != base.part[i]) {
            return package.part[i] < base.part[i] ? -1 : 1;
        }
    }
    return 0;
}

// How many version components the conditions compare: the finest field they name.
int ComparedParts(std::uint32_t conditions)
{
    if ((conditions & kValidateMinor) != 0 && (conditions & kValidateUpdate) == 0) {
        return 2;
    }
    if ((conditions & kVersionFields) == kValidateMajor) {
        return 1;
    }
    return 3;
}

void Add(std::string& failed, const std::string& condition)
{
    failed += (failed.empty() ? "" : "; ") + condition;
}

// The conditions the transform asks Windows Installer to check that the package fails,
// in words; empty when it passes them all.
std::string FailedConditions(const TransformReading& reading, const Plan& plan)
{
    const std::uint32_t conditions = ValidationOf(reading.characterCount);
    const TransformRevision revision = ParseTransformRevision(reading.revisionNumber);
    const PlannedPackage& package = plan.package;
    std::string failed;
    if ((conditions & kValidateProduct) != 0 &&
        !SameTextIgnoringCase(revision.baseProductCode.c_str(), package.productCode.c_str())) {
        Add(failed, "ProductCode (the package's is " + package.productCode +
                        ", the transform was made for " + revision.baseProductCode + ")");
    }
    if ((conditions & kValidateUpgradeCode) != 0 &&
        !SameTextIgnoringCase(revision.upgradeCode.c_str(), plan.upgradeCode.c_str())) {
        Add(failed, "UpgradeCode (the package's is " + plan.upgradeCode + ", the transform's " +
                        revision.upgradeCode + ")");
    }
    if ((conditions & kValidateLanguage) != 0 && LanguageOf(reading.templateText) != package.productLanguage) {
        Add(failed, "the language (the package's is " + std::to_string(package.productLanguage) +
                        ", the transform's base is " + reading.templateText + ")");
    }
    const std::string platform = SemicolonPart(reading.templateText, 0);
    const std::string packagePlatform = SemicolonPart(plan.packageTemplate, 0);
    if ((conditions & kValidatePlatform) != 0 && !plan.packageTemplate.empty() &&
        !SameTextIgnoringCase(platform.c_str(), packagePlatform.c_str())) {
        Add(failed, "the platform (the package's is " + packagePlatform + ", the transform's base " + platform + ")");
    }
    VersionParts ours;
    VersionParts base;
    ParseVersion(package.productVersion.c_str(), ours);
    ParseVersion(revision.baseVersion.c_str(), base);
    const struct {
        std::uint32_t flag;
        int parts;
        const char* name;
    } fields[] = {{kValidateMajor, 1, "the major version"},
                  {kValidateMinor, 2, "the minor version"},
                  {kValidateUpdate, 3, "the update version"}};
    for (const auto& field : fields) {
        if ((conditions & field.flag) != 0 && CompareVersions(ours, base, field.parts) != 0) {
            Add(failed, std::string(field.name) + " (the package's ProductVersion is " + package.productVersion +
                            ", the transform's base " + revision.baseVersion + ")");
        }
    }
    const int order = CompareVersions(ours, base, ComparedParts(conditions));
    const struct {
        std::uint32_t flag;
        bool holds;
        const char* relation;
    } relations[] = {{kValidateOlder, order < 0, "lower than"},
                     {kValidateOlderOrEqual, order <= 0, "at most"},
                     {kValidateEqual, order == 0, "equal to"},
                     {kValidateNewerOrEqual, order >= 0, "at least"},
                     {kValidateNewer, order > 0, "higher than"}};
    for (const auto& relation : relations) {
        if ((conditions & relation.flag) != 0 && !relation.holds) {
            Add(failed, std::string("the version relation (the package's ProductVersion ") +
                            package.productVersion + " must be " + relation.relation + " the transform's base " +
                            revision.baseVersion + ")");
        }
    }
    return failed;
}

// A transform to look at: its name in the languages folder and its name in findings.
struct Candidate {
    std::string name;
    std::string file;
    bool offered = false;  // the setup hands it to msiexec
};

// The offered languages' transforms and Documentation.mst first, then every other
// transform in the languages folder.
std::vector<Candidate> Candidates(FolderReader& platform, const std::vector<TransformFile>& transforms,
                                  const TextBuffer& setting, const Plan& plan)
{
    TextBuffer prefix;
    LanguagesFilePrefix(setting, prefix);
    // Each name once whatever its letter case: the first one counts.
    std::vector<Candidate> candidates;
    std::unordered_set<std::string> names;
    const auto add = [&candidates, &names](const std::string& name, const std::string& file, bool offered) {
        std::string key = name;
        std::transform(key.begin(), key.end(), key.begin(), LowerAscii);
        if (names.insert(std::move(key)).second) {
            candidates.push_back(Candidate{name, file, offered});
        }
    };
    for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
        if (plan.offered[i] && kLanguageIds[i] != plan.package.productLanguage) {
            const std::string name = std::to_string(kLanguageIds[i]) + kTransformExtension;
            add(name, prefix.Get() + name, true);
        }
    }
    if (plan.language.hasDocumentationTransform) {
        add(kDocumentationTransformFile, prefix.Get() + std::string(kDocumentationTransformFile), true);
    }
    const std::string languagesFolder = NormalizedFolder(platform, plan.languagesDirectory);
    for (const TransformFile& transform : transforms) {
        if (!languagesFolder.empty() && NameEndsWithTransformExtension(transform.name.c_str()) &&
            SameTextIgnoringCase(NormalizedFolder(platform, transform.folderPath).c_str(), languagesFolder.c_str())) {
            add(transform.name, transform.file, false);
        }
    }
    return candidates;
}

// The package's own ProductCode, UpgradeCode and ProductVersion, as kIdentityProperties
// names them.
std::string PackageIdentity(const Plan& plan, std::size_t index)
{
    const std::string* values[3] = {&plan.package.productCode, &plan.upgradeCode, &plan.package.productVersion};
    return *values[index];
}

// A transform the setup applies that makes the product another one: installed through it,
// the product is registered under the new identity, the next run asks Windows Installer
// for the package's own and finds nothing installed.
void CheckIdentityKept(const Candidate& candidate, const TransformReading& reading, const Plan& plan,
                       Findings& findings)
{
    for (std::size_t i = 0; i < 3; ++i) {
        const std::string before = PackageIdentity(plan, i);
        const TransformReading::PropertyAfter& after = reading.identityAfter[i];
        if (!after.written || SameTextIgnoringCase(before.c_str(), after.value.c_str())) {
            continue;
        }
        findings.Report(Rule::transformIdentity, candidate.file.c_str(), 0,
                        "%s changes %s from %s to %s: the product installed through it is another product, which "
                        "the next setup run does not find (it offers the languages again and installs a second "
                        "copy); make it from two builds with the same ProductCode, UpgradeCode and version",
                        candidate.name.c_str(), kIdentityProperties[i], before.c_str(),
                        after.value.empty() ? "nothing" : after.value.c_str());
    }
}

// A transform made from another build than the package beside it still applies where it
// validates no version, and puts that build's rows on this one.
void CheckMadeFromThisBuild(const Candidate& candidate, const TransformReading& reading, const Plan& plan,
                            Findings& findings)
{
    const TransformRevision revision = ParseTransformRevision(reading.revisionNumber);
    if (revision.baseProductCode.empty()) {
        return;  // no Revision Number to tell
    }
    const bool sameCode = SameTextIgnoringCase(revision.baseProductCode.c_str(), plan.package.productCode.c_str());
    const bool sameVersion = TextEquals(revision.baseVersion.c_str(), plan.package.productVersion.c_str());
    if (sameCode && sameVersion) {
        return;
    }
    findings.Report(Rule::transformStale, candidate.file.c_str(), 0,
                    "%s was made from the build %s %s, not from the package beside it (%s %s): it still applies, "
                    "and puts that build's rows on this one; make it again from the package as it ships",
                    candidate.name.c_str(), revision.baseProductCode.c_str(), revision.baseVersion.c_str(),
                    plan.package.productCode.c_str(), plan.package.productVersion.c_str());
}

// Findings about one transform; its verdict, in words, for the plan.
std::string CheckTransform(const Candidate& candidate, const TransformReading& reading, const Plan& plan,
                           Findings& findings)
{
    const char* file = candidate.file.c_str();
    const char* name = candidate.name.c_str();
    if (reading.kind == TransformReading::Kind::folder || reading.kind == TransformReading::Kind::notTransform) {
        const std::string what = reading.kind == TransformReading::Kind::folder ? "a folder" : reading.problem;
        findings.Report(Rule::notATransform, file, 0,
                        "%s is %s: Windows Installer refuses it, and msiexec ends with 1624 when it is given it "
                        "(Wine skips it and installs without it)",
                        name, what.c_str());
        return "does not apply: " + what;
    }
    std::string verdict = "applies";
    const std::string failed = FailedConditions(reading, plan);
    if (!failed.empty()) {
        findings.Report(Rule::transformMismatch, file, 0,
                        "%s asks Windows Installer to check that it fits the package, and it does not: %s. Windows "
                        "Installer refuses it, and msiexec ends with 1624 (Wine checks nothing and applies it)",
                        name, failed.c_str());
        verdict = "does not apply: it fails its validation conditions";
    }
    if (candidate.offered) {
        CheckIdentityKept(candidate, reading, plan, findings);
        if (failed.empty()) {
            CheckMadeFromThisBuild(candidate, reading, plan, findings);
        }
    }
    const std::int32_t language = LanguageOfName(candidate.name);
    if (language == 0) {
        return verdict;
    }
    const std::int32_t after = LanguageOf(reading.lastSavedBy);
    if (after != language) {
        findings.Report(Rule::transformLanguage, file, 0,
                        "%s names the language the setup offers with it, but its summary information says it makes "
                        "the package %s (Last Saved By \"%s\")",
                        name, after < 0 ? "no language" : std::to_string(after).c_str(), reading.lastSavedBy.c_str());
    }
    if (reading.languageKnown && reading.languageAfter == plan.package.productLanguage) {
        findings.Report(Rule::transformKeepsLanguage, file, 0,
                        "%s leaves ProductLanguage at %d: Windows Installer's own texts stay in the package's "
                        "language when %s is chosen",
                        name, static_cast<int>(plan.package.productLanguage),
                        kLanguageNames[language == kLanguageIds[0] ? 0 : 1]);
    }
    return verdict;
}

// "Property\tProductName" as "Property row ProductName".
std::string RowInWords(const std::string& row)
{
    std::string words = row;
    const std::size_t tab = words.find('\t');
    if (tab != std::string::npos) {
        words.replace(tab, 1, " row ");
    }
    std::replace(words.begin(), words.end(), '\t', ',');
    return words;
}

// msiexec applies Documentation.mst after the language transform: in a row both write,
// the documentation transform's values win (the whole row, where a change past a table's
// 16th column adds it again), and the base's come back over the language's.
void CheckSameRows(const Candidate& documentation, const std::vector<std::string>& documentationRows,
                   const Candidate& language, const std::vector<std::string>& languageRows, Findings& findings)
{
    std::vector<std::string> both;
    std::set_intersection(documentationRows.begin(), documentationRows.end(), languageRows.begin(),
                          languageRows.end(), std::back_inserter(both));
    if (both.empty()) {
        return;
    }
    constexpr std::size_t kNamed = 3;
    std::string rows;
    for (std::size_t i = 0; i < both.size() && i < kNamed; ++i) {
        rows += (i == 0 ? "" : "; ") + RowInWords(both[i]);
    }
    if (both.size() > kNamed) {
        rows += "; and " + std::to_string(both.size() - kNamed) + " more";
    }
    findings.Report(Rule::transformOverlap, documentation.file.c_str(), 0,
                    "%s and %s write the same rows (%s): msiexec applies %s last, so its values replace those of "
                    "%s there; make the documentation transform from the language build, or keep the two apart",
                    documentation.name.c_str(), language.name.c_str(), rows.c_str(), documentation.name.c_str(),
                    language.name.c_str());
}

}  // namespace

TransformVerdicts CheckTransformFiles(FolderReader& platform, const std::vector<TransformFile>& transforms,
                                      const TextBuffer& setting, const Plan& plan, Findings& findings)
{
    TransformVerdicts verdicts;
    // The offered transforms that apply, with the rows they write.
    std::vector<std::pair<Candidate, std::vector<std::string>>> applied;
    for (const Candidate& candidate : Candidates(platform, transforms, setting, plan)) {
        TextBuffer path;
        if (!path.Format("%s\\%s", plan.languagesDirectory.c_str(), candidate.name.c_str())) {
            continue;
        }
        TransformReading reading;
        platform.ReadTransform(path.Get(), plan.packagePath.c_str(), plan.package.productLanguage, reading);
        if (reading.kind == TransformReading::Kind::missing) {
            continue;
        }
        const std::string verdict = CheckTransform(candidate, reading, plan, findings);
        const std::int32_t language = LanguageOfName(candidate.name);
        for (std::size_t i = 0; i < kOfferedLanguageCount; ++i) {
            if (language == kLanguageIds[i] && plan.offered[i]) {
                verdicts[i] = verdict;
            }
        }
        if (candidate.offered && reading.kind == TransformReading::Kind::transform) {
            applied.emplace_back(candidate, std::move(reading.rowsWritten));
        }
    }
    const auto documentation = std::find_if(applied.begin(), applied.end(), [](const auto& entry) {
        return SameTextIgnoringCase(entry.first.name.c_str(), kDocumentationTransformFile);
    });
    if (documentation == applied.end()) {
        return verdicts;
    }
    for (const auto& [candidate, rows] : applied) {
        if (LanguageOfName(candidate.name) != 0) {
            CheckSameRows(documentation->first, documentation->second, candidate, rows, findings);
        }
    }
    return verdicts;
}

}  // namespace boot
