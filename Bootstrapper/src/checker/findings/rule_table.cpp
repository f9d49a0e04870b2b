#include "checker/findings/rule_table.h"

#include <algorithm>
#include <iterator>

#include "common/fixed_text.h"

namespace boot {

namespace {

constexpr RuleInfo kRuleTable[] = {
    // Errors: the setup will fail, or silently do something else than written.
    {Rule::utf8Bom, Severity::error, "utf8-bom", "Setup.ini begins with a UTF-8 byte order mark, which the setup refuses.",
     "`Setup.ini` saved as UTF-8 with a byte order mark: the setup refuses it.",
     "Save Setup.ini as ANSI (Windows-1252), or as UTF-16 LE with its byte order mark."},
    {Rule::tooLong, Severity::error, "too-long", "A value, path or command line is longer than the setup accepts.",
     "`Execute=` with 1,200 characters; a package folder so deep that `Languages\\1031.mst` in it passes 259.",
     "Shorten the value or the path; the setup refuses what does not fit rather than cut it."},
    {Rule::prereqUnreachable, Severity::error, "prereq-unreachable", "A prerequisite section is never read.",
     "`[Prereq0]`, `[Prereq2]` without `[Prereq1]`; `[Prereq01]`; keys in a section with no `Execute`.",
     "Number the sections Prereq0, Prereq1, ... without gaps or leading zeros, each with an Execute."},
    {Rule::noPackage, Severity::error, "no-package", "The package the setup would open is not there.",
     "`MsiPath=Setup\\Product.msi` where there is no such file, or no `*.msi` at all.",
     "Put the package in the folder, or set MsiPath to its name relative to the folder."},
    {Rule::packageUnreadable, Severity::error, "package-unreadable", "The package cannot be read as Windows Installer reads it.",
     "`Product.msi` is a text file, a patch (`.msp`), or damaged: cut short, or its string pool does not add up.",
     "Ship a valid Windows Installer package; apply a patch to the installed product with msiexec /p."},
    {Rule::productVersion, Severity::error, "product-version", "The package's ProductVersion is not one the setup accepts.",
     "ProductVersion `2.1`: fewer than three components.",
     "Give the package a ProductVersion of three or four numeric parts, such as 2.1.0."},
    {Rule::noLanguages, Severity::error, "no-languages", "The setup can offer no language.",
     "ProductLanguage 1036 and neither `1031.mst` nor `1033.mst`.",
     "Build the package in German (1031) or English (1033), or ship 1031.mst or 1033.mst."},
    {Rule::unsupportedPath, Severity::error, "unsupported-path", "A path holds characters the ANSI code page cannot name exactly.",
     "A folder `Łukasz Setup`, which the ANSI code page cannot name; a languages folder `Setup;2`.",
     "Use a folder name whose characters the target systems' ANSI code page holds."},
    {Rule::unusableCharacters, Severity::error, "unusable-characters",
     "A value of Setup.ini holds characters the ANSI code page cannot hold exactly, or cannot decode.",
     "`Execute=Łukasz.exe` in a Setup.ini saved as UTF-16: Windows would start `Lukasz.exe`.",
     "Use only characters of the target systems' ANSI code page (Windows-1252 for German and English)."},
    {Rule::setupIniUnreadable, Severity::error, "setup-ini-unreadable", "Setup.ini is there but cannot be read: the setup refuses it.",
     "`Setup.ini` is a folder or a file that cannot be opened (the setup refuses it), or larger than 16 MiB, "
     "more than the checker reads (the check stops there).",
     "Make Setup.ini a readable file of a reasonable size."},
    {Rule::utf16BigEndian, Severity::error, "utf16-big-endian",
     "Setup.ini is saved as UTF-16 big-endian, which Windows reads as all defaults; the setup refuses it.",
     "`Setup.ini` saved as \"Unicode big endian\" (it begins with FE FF).",
     "Save Setup.ini as ANSI (Windows-1252), or as UTF-16 LE with its byte order mark."},
    {Rule::notATransform, Severity::error, "not-a-transform", "A transform the setup applies, or one in the languages folder, is no transform.",
     "`Languages\\1031.mst` is a placeholder text, a package renamed, or a folder.",
     "Make the transform with bootstrapper-transform (or Windows' own tools) and put the file itself there."},
    {Rule::transformMismatch, Severity::error, "transform-mismatch",
     "A transform's validation conditions fail against the package: Windows Installer refuses it (1624).",
     "`1031.mst` made before the package was rebuilt with a new ProductCode.",
     "Make the transform again from the package as it ships, or validate fewer conditions."},
    {Rule::transformLanguage, Severity::error, "transform-language", "A language transform makes the package another language than its name.",
     "`1031.mst` whose Last Saved By is `Intel;1033`: made from the English package, not the German one.",
     "Make 1031.mst with the German package as the target, 1033.mst with the English one."},
    {Rule::transformIdentity, Severity::error, "transform-identity",
     "A transform the setup applies changes ProductCode, UpgradeCode or ProductVersion: it installs another product.",
     "`1031.mst` made from a German build with `Product Id=\"*\"`: another ProductCode, so a second copy installs.",
     "Build both languages with the same ProductCode, UpgradeCode and version, and make the transform again."},
    {Rule::productVersionRange, Severity::error, "product-version-range",
     "The package's ProductVersion is not of Windows Installer's form, or beyond its range.",
     "ProductVersion `2.256.0`: major and minor go up to 255, the build up to 65535; `1.0.0-beta`, `1.0.0.0.0`.",
     "Write ProductVersion as digits, major.minor.build, within 255.255.65535."},
    {Rule::productCodeSyntax, Severity::error, "product-code-syntax",
     "ProductCode or UpgradeCode is not a GUID in braces: Windows Installer refuses such a ProductCode (87).",
     "ProductCode `6F1C...` without braces, or no ProductCode: the setup ends with \"Installed product version!\".",
     "Give the package a ProductCode and an UpgradeCode of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}."},
    {Rule::missingCabinet, Severity::error, "missing-cabinet",
     "A cabinet the Media table names outside the package is not beside it: the installation fails (1603).",
     "The Media table names `Product.cab`, and there is no `Product.cab` beside `Product.msi`.",
     "Ship the cabinet beside the package, or build the package with the cabinet embedded (a Cabinet beginning with #)."},
    {Rule::setupEnds, Severity::error, "setup-ends", "The setup ends with an error box even where every unknown answer goes on.",
     "`BootstrapperCheck.exe` in a folder whose listing Windows denies: every way ends with \"The setup folder "
     "cannot be read!\".",
     "Mend the cause the message names; the plan's ways show where the setup ends and why."},
    {Rule::readerMismatch, Severity::error, "reader-mismatch", "Windows' profile reader reads a value otherwise than the checker.",
     "`BootstrapperCheck.exe` on a Windows whose profile reader reads `[Start` otherwise.",
     "The plan follows Windows; report the case, and write the line as docs/setup-ini.md shows."},
    // Warnings: probably a mistake.
    {Rule::noSetupIni, Severity::warning, "no-setup-ini", "There is no Setup.ini: every default applies.",
     "No `Setup.ini`: every default applies.", "Add a Setup.ini if the defaults are not what you want."},
    {Rule::unknownSection, Severity::warning, "unknown-section", "A section the setup never reads.",
     "`[Prereg0]` (did you mean `[Prereq0]`?).", "Correct the section's name, or remove the section."},
    {Rule::unknownKey, Severity::warning, "unknown-key", "A key the setup never reads in its section.",
     "`CheckVlaue=Version` (did you mean `CheckValue`?); `Execute=` in `[Start]`.",
     "Correct the key's name, or move it to the section that reads it."},
    {Rule::duplicate, Severity::warning, "duplicate", "A section or key given twice: only the first counts.",
     "`[Start]` or `MsiPath=` given twice: the first counts.", "Keep one of them."},
    {Rule::quotesStripped, Severity::warning, "quotes-stripped", "Outer quotes of a value are stripped, which changes its meaning.",
     "`Execute=\"C:\\A B\\x.exe\" /q \"y\"` is read as `C:\\A B\\x.exe\" /q \"y`.",
     "Quote only the program, not the whole value."},
    {Rule::unquotedBlanks, Severity::warning, "unquoted-blanks", "A program path with blanks is not quoted.",
     "`Execute=C:\\Program Files\\X\\setup.exe /q`: Windows first tries `C:\\Program.exe`.",
     "Put the program's path in double quotes."},
    {Rule::missingProgram, Severity::warning, "missing-program", "A program the setup starts is not in the folder.",
     "`SetupPath=Tools\\Pre.exe` with no `Tools\\Pre.exe` in the folder.",
     "Ship the program in the folder, or name it as it will be found on the target system."},
    {Rule::notANumber, Severity::warning, "not-a-number", "An exit code that is not a decimal number.",
     "`ExecuteOkIfResultIs=ok` is read as 0.", "Write the exit code in decimal, or DEBUG."},
    {Rule::notAKeyword, Severity::warning, "not-a-keyword", "A keyword that is neither TRUE nor FALSE.",
     "`DoExecuteIfCheckIs=yes` is read as false.", "Write TRUE or FALSE."},
    {Rule::debugMode, Severity::warning, "debug-mode", "A prerequisite in debug mode: the setup ends after it.",
     "`ExecuteOkIfResultIs=DEBUG`: every customer's setup shows a box and ends after it.",
     "Remove DEBUG before shipping; give the expected exit code instead."},
    {Rule::checkWithoutKey, Severity::warning, "check-without-key", "A registry check without CheckKey always passes.",
     "`CheckValue=Version` without `CheckKey`: the check always passes.",
     "Add the CheckKey the value lies under, or remove CheckValue and CheckContent."},
    {Rule::unusedTransform, Severity::warning, "unused-transform", "A transform the setup never applies.",
     "`Languages\\1036.mst`, or `1033.mst` in an English package: never applied.",
     "Remove it, or name it as the setup applies transforms: 1031.mst, 1033.mst, Documentation.mst."},
    {Rule::malformedLine, Severity::warning, "malformed-line", "A line Windows reads otherwise than it looks, or in a way not known.",
     "`LanguagesDir` without `=`; `[Start] MsiPath=x.msi`; a value ending in a no-break space.",
     "Write sections as [Name] and keys as Key=Value, one a line."},
    {Rule::inlineComment, Severity::warning, "inline-comment", "A comment after a value is part of the value.",
     "`CheckContent=2.0 ; version` is read as `2.0 ; version`.", "Put the comment on a line of its own."},
    {Rule::utf8Text, Severity::warning, "utf8-text", "Setup.ini is UTF-8 text, which Windows reads in its ANSI code page.",
     "`Execute=Konfigurätion.exe` saved as UTF-8 is read as `KonfigurÃ¤tion.exe`.",
     "Save Setup.ini as ANSI (Windows-1252)."},
    {Rule::neverRuns, Severity::warning, "never-runs", "A prerequisite whose program never runs.",
     "`Execute=` without `CheckKey` and without `DoExecuteIfCheckIs=TRUE`.",
     "Add the CheckKey that tells whether it is needed, or DoExecuteIfCheckIs=TRUE to run it always."},
    {Rule::noLanguagesFolder, Severity::warning, "no-languages-folder", "LanguagesDir names no folder.",
     "`LanguagesDir=Langauges`.", "Correct LanguagesDir, or create the folder."},
    {Rule::transformElsewhere, Severity::warning, "transform-elsewhere", "A transform lies outside the languages folder: never applied.",
     "`1031.mst` beside the package with `LanguagesDir=Languages`.",
     "Move it into the languages folder, or set LanguagesDir to its folder."},
    {Rule::severalPackages, Severity::warning, "several-packages", "Several packages and no MsiPath: the file system picks one.",
     "`A.msi` and `B.msi` without `MsiPath` (NTFS returns `A.msi` first).", "Set MsiPath."},
    {Rule::caseClash, Severity::warning, "case-clash", "Two names differ only in letter case: Windows keeps one.",
     "`Setup.ini` and `SETUP.INI`; `1031.mst` and `1031.MST`.", "Remove one of them."},
    {Rule::transformKeepsLanguage, Severity::warning, "transform-keeps-language",
     "A language transform leaves ProductLanguage as it is: Windows Installer's own texts keep the package's language.",
     "`1031.mst` made from two packages that both have ProductLanguage 1033.",
     "Build the target package with the transform's language (ProductLanguage and Template)."},
    {Rule::transformStale, Severity::warning, "transform-stale",
     "A transform was made from another build than the package beside it: it still applies that build's rows.",
     "`1031.mst` made from the 1.2.3 build beside the rebuilt 1.2.4 package.",
     "Make the transform again from the package as it ships whenever the package is rebuilt."},
    {Rule::transformOverlap, Severity::warning, "transform-overlap",
     "Documentation.mst and a language transform write the same row: the documentation transform's values win.",
     "`Documentation.mst` made from the English package changes the row of a table that `1031.mst` changes too.",
     "Make Documentation.mst so that it writes no row the language transforms write."},
    {Rule::productCodeCase, Severity::warning, "product-code-case",
     "ProductCode or UpgradeCode is a GUID with lower-case letters: Windows Installer takes it, its documentation "
     "asks for upper case.",
     "UpgradeCode `{6f1c...}` in lower case.",
     "Write the GUID in upper case where the package is built; for a package you only ship, "
     "--ignore=product-code-case."},
    {Rule::templateLanguage, Severity::warning, "template-language", "ProductLanguage is not among the Template's languages.",
     "ProductLanguage 1033 with the Template `Intel;1031`.",
     "List the package's language in its summary information's Template."},
};

// Row i is the rule of enumerator i, for every rule and no more.
constexpr bool IsInEnumeratorOrder()
{
    for (std::size_t i = 0; i < std::size(kRuleTable); ++i) {
        if (static_cast<std::size_t>(kRuleTable[i].rule) != i) {
            return false;
        }
    }
    return std::size(kRuleTable) == kRuleCount;
}
static_assert(IsInEnumeratorOrder(), "the rule table holds one row per Rule, in the enumerators' order");

}  // namespace

std::size_t RuleCount() { return std::size(kRuleTable); }

const RuleInfo& RuleAt(std::size_t index) { return kRuleTable[index]; }

const RuleInfo& RuleOf(Rule rule) { return kRuleTable[static_cast<std::size_t>(rule)]; }

int RuleIndex(const char* id)
{
    const RuleInfo* found = std::find_if(std::begin(kRuleTable), std::end(kRuleTable),
                                         [id](const RuleInfo& rule) { return TextEquals(rule.id, id); });
    return found != std::end(kRuleTable) ? static_cast<int>(found - std::begin(kRuleTable)) : -1;
}

}  // namespace boot
