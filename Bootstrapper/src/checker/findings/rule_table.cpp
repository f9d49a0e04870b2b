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
     "Save Setup.ini as ANSI (Windows-1252), or as UTF-16 LE with its byte order mark.",
     "Every customer's setup ends at once with \"Setup.ini has a UTF-8 byte order mark!\" (exit code 6): nothing "
     "runs or installs.",
     "`Setup.ini` saved as ANSI (Windows-1252)."},
    {Rule::tooLong, Severity::error, "too-long", "A value, path or command line is longer than the setup accepts.",
     "`Execute=` with 1,200 characters; a package folder so deep that `Languages\\1031.mst` in it passes 259.",
     "Shorten the value or the path; the setup refuses what does not fit rather than cut it.",
     "The setup never cuts what is too long: it ends with \"Path too long!\", \"Command line too long!\" or "
     "\"Setting too long!\" when it comes to it, and nothing after that runs.",
     "`Execute=` within 1023 characters; a package folder near enough to the drive's root that "
     "`Languages\\1031.mst` in it stays within 259."},
    {Rule::prereqUnreachable, Severity::error, "prereq-unreachable", "A prerequisite section is never read.",
     "`[Prereq0]`, `[Prereq2]` without `[Prereq1]`; `[Prereq01]`; keys in a section with no `Execute`.",
     "Number the sections Prereq0, Prereq1, ... without gaps or leading zeros, each with an Execute.",
     "The chain of prerequisites ends at the gap: that prerequisite and every one after it never run, and the "
     "product installs without them.",
     "`[Prereq0]`, `[Prereq1]`, `[Prereq2]`, each with its `Execute`."},
    {Rule::noPackage, Severity::error, "no-package", "The package the setup would open is not there.",
     "`MsiPath=Setup\\Product.msi` where there is no such file, or no `*.msi` at all.",
     "Put the package in the folder, or set MsiPath to its name relative to the folder.",
     "Every customer's setup ends with \"No MSI!\", or with \"Could not open database!\" for an `MsiPath` that "
     "names no file: nothing is installed.",
     "`MsiPath=Setup\\Product.msi` with `Setup\\Product.msi` in the folder."},
    {Rule::packageUnreadable, Severity::error, "package-unreadable", "The package cannot be read as Windows Installer reads it.",
     "`Product.msi` is a text file, a patch (`.msp`), or damaged: cut short, or its string pool does not add up.",
     "Ship a valid Windows Installer package; apply a patch to the installed product with msiexec /p.",
     "The setup cannot open the package: it ends with \"Could not open database!\" or another of Windows "
     "Installer's boxes, and nothing is installed.",
     "`Product.msi` a whole Windows Installer package, as the build wrote it; a patch applied with `msiexec /p`."},
    {Rule::productVersion, Severity::error, "product-version", "The package's ProductVersion is not one the setup accepts.",
     "ProductVersion `2.1`: fewer than three components.",
     "Give the package a ProductVersion of three or four numeric parts, such as 2.1.0.",
     "Every customer's setup ends with \"Product version!\" before it installs anything.",
     "ProductVersion `2.1.0`."},
    {Rule::noLanguages, Severity::error, "no-languages", "The setup can offer no language.",
     "ProductLanguage 1036 and neither `1031.mst` nor `1033.mst`.",
     "Build the package in German (1031) or English (1033), or ship 1031.mst or 1033.mst.",
     "The setup offers only German and English: with neither it ends with \"No languages available!\" and installs "
     "nothing.",
     "ProductLanguage 1036 with `1033.mst` in the languages folder."},
    {Rule::unsupportedPath, Severity::error, "unsupported-path", "A path holds characters the ANSI code page cannot name exactly.",
     "A folder `Łukasz Setup`, which the ANSI code page cannot name; a languages folder `Setup;2`.",
     "Use a folder name whose characters the target systems' ANSI code page holds.",
     "Windows would name such a folder with look-alike characters, another folder: the setup ends with "
     "\"Unsupported characters in path!\" instead (for a `;` in the languages folder, after the language is chosen).",
     "A folder `Lukasz Setup`; a languages folder `Setup2`."},
    {Rule::unusableCharacters, Severity::error, "unusable-characters",
     "A value of Setup.ini holds characters the ANSI code page cannot hold exactly, or cannot decode.",
     "`Execute=Łukasz.exe` in a Setup.ini saved as UTF-16: Windows would start `Lukasz.exe`.",
     "Use only characters of the target systems' ANSI code page (Windows-1252 for German and English).",
     "Windows would hand the value on with look-alike characters, another program or file: the setup ends with "
     "\"Setup.ini holds characters that cannot be used!\" when it reads the value.",
     "`Execute=Lukasz.exe`, in characters Windows-1252 holds."},
    {Rule::setupIniUnreadable, Severity::error, "setup-ini-unreadable", "Setup.ini is there but cannot be read: the setup refuses it.",
     "`Setup.ini` is a folder or a file that cannot be opened (the setup refuses it), or larger than 16 MiB, "
     "more than the checker reads (the check stops there).",
     "Make Setup.ini a readable file of a reasonable size.",
     "Every customer's setup ends with \"Setup.ini cannot be read!\" before anything runs; a file beyond 16 MiB is "
     "not checked to its end.",
     "`Setup.ini` a readable file of a few KiB."},
    {Rule::utf16BigEndian, Severity::error, "utf16-big-endian",
     "Setup.ini is saved as UTF-16 big-endian, which Windows reads as all defaults; the setup refuses it.",
     "`Setup.ini` saved as \"Unicode big endian\" (it begins with FE FF).",
     "Save Setup.ini as ANSI (Windows-1252), or as UTF-16 LE with its byte order mark.",
     "Every customer's setup ends at once with \"Setup.ini is saved as UTF-16 big-endian!\" (exit code 6): nothing "
     "runs or installs.",
     "`Setup.ini` saved as \"Unicode\" (UTF-16 LE: it begins with FF FE)."},
    {Rule::notATransform, Severity::error, "not-a-transform", "A transform the setup applies, or one in the languages folder, is no transform.",
     "`Languages\\1031.mst` is a placeholder text, a package renamed, or a folder.",
     "Make the transform with bootstrapper-transform (or Windows' own tools) and put the file itself there.",
     "msiexec refuses the file and ends with 1624: the installation fails for every customer who chooses its "
     "language (for `Documentation.mst`, for every customer).",
     "`Languages\\1031.mst` made with bootstrapper-transform from the package and its German build."},
    {Rule::transformMismatch, Severity::error, "transform-mismatch",
     "A transform's validation conditions fail against the package: Windows Installer refuses it (1624).",
     "`1031.mst` made before the package was rebuilt with a new ProductCode.",
     "Make the transform again from the package as it ships, or validate fewer conditions.",
     "msiexec refuses the transform and ends with 1624: the installation fails for every customer who chooses its "
     "language.",
     "`1031.mst` made again from the package with its new ProductCode."},
    {Rule::transformLanguage, Severity::error, "transform-language", "A language transform makes the package another language than its name.",
     "`1031.mst` whose Last Saved By is `Intel;1033`: made from the English package, not the German one.",
     "Make 1031.mst with the German package as the target, 1033.mst with the English one.",
     "Customers who choose that language in the dialog get the product in the language the transform makes, not the "
     "one they chose.",
     "`1031.mst` whose Last Saved By is `Intel;1031`: made with the German package as the target."},
    {Rule::transformIdentity, Severity::error, "transform-identity",
     "A transform the setup applies changes ProductCode, UpgradeCode or ProductVersion: it installs another product.",
     "`1031.mst` made from a German build with `Product Id=\"*\"`: another ProductCode, so a second copy installs.",
     "Build both languages with the same ProductCode, UpgradeCode and version, and make the transform again.",
     "The next run of the setup does not find the product installed that way: it offers the languages again and "
     "installs a second copy, which upgrades and maintenance miss.",
     "`1031.mst` made from a German build with the same fixed ProductCode as the English one."},
    {Rule::productVersionRange, Severity::error, "product-version-range",
     "The package's ProductVersion is not of Windows Installer's form, or beyond its range.",
     "ProductVersion `2.256.0`: major and minor go up to 255, the build up to 65535; `1.0.0-beta`, `1.0.0.0.0`.",
     "Write ProductVersion as digits, major.minor.build, within 255.255.65535.",
     "Windows Installer refuses a ProductVersion of another form, and compares larger numbers wrongly: an installed "
     "version may be taken for newer or older than it is, and an upgrade may not replace it.",
     "ProductVersion `3.0.0`; `1.0.0`; `1.0.0.0`."},
    {Rule::productCodeSyntax, Severity::error, "product-code-syntax",
     "ProductCode or UpgradeCode is not a GUID in braces: Windows Installer refuses such a ProductCode (87).",
     "ProductCode `6F1C...` without braces, or no ProductCode: the setup ends with \"Installed product version!\".",
     "Give the package a ProductCode and an UpgradeCode of the form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}.",
     "The setup cannot ask Windows Installer about such a ProductCode: every customer's setup ends with \"Installed "
     "product version!\". Windows Installer requires the same form of the UpgradeCode, by which later versions find "
     "the product to upgrade it.",
     "ProductCode `{6F1C...}` in braces, in upper case."},
    {Rule::missingCabinet, Severity::error, "missing-cabinet",
     "A cabinet the Media table names outside the package is not beside it: the installation fails (1603).",
     "The Media table names `Product.cab`, and there is no `Product.cab` beside `Product.msi`.",
     "Ship the cabinet beside the package, or build the package with the cabinet embedded (a Cabinet beginning with "
     "#).",
     "Windows Installer looks for the cabinet beside the package: without it every installation fails with 1603, "
     "after the customer has chosen a language.",
     "`Product.cab` beside `Product.msi`, or the cabinet embedded in the package as `#Product.cab`."},
    {Rule::setupEnds, Severity::error, "setup-ends", "The setup ends with an error box even where every unknown answer goes on.",
     "`BootstrapperCheck.exe` in a folder whose listing Windows denies: every way ends with \"The setup folder "
     "cannot be read!\".",
     "Mend the cause the message names; the plan's ways show where the setup ends and why.",
     "No machine gets past it: every customer sees the error box, and nothing is installed.",
     "`BootstrapperCheck.exe` in a folder whose listing can be read: the ways go on to the installation."},
    {Rule::readerMismatch, Severity::error, "reader-mismatch", "Windows' profile reader reads a value otherwise than the checker.",
     "`BootstrapperCheck.exe` on a Windows whose profile reader reads `[Start` otherwise.",
     "The plan follows Windows; report the case, and write the line as docs/setup-ini.md shows.",
     "The setup reads the value as Windows does: on such a system it uses something other than the line seems to "
     "say, and the checker's other findings may not hold there.",
     "`[Start]` with its `]`, which every profile reader reads alike."},
    // Warnings: probably a mistake.
    {Rule::noSetupIni, Severity::warning, "no-setup-ini", "There is no Setup.ini: every default applies.",
     "No `Setup.ini`: every default applies.", "Add a Setup.ini if the defaults are not what you want.",
     "Every customer's setup takes the defaults: no prerequisites run, it opens the first `*.msi` it finds and "
     "looks for transforms beside it; settings left out of the folder are lost.",
     "`Setup.ini` with `[Start]` and `MsiPath=Product.msi`."},
    {Rule::unknownSection, Severity::warning, "unknown-section", "A section the setup never reads.",
     "`[Prereg0]` (did you mean `[Prereq0]`?).", "Correct the section's name, or remove the section.",
     "The setup never reads the section's keys: their defaults apply, and a misspelt prerequisite never runs, nor "
     "do those after it.",
     "`[Prereq0]`."},
    {Rule::unknownKey, Severity::warning, "unknown-key", "A key the setup never reads in its section.",
     "`CheckVlaue=Version` (did you mean `CheckValue`?); `Execute=` in `[Start]`.",
     "Correct the key's name, or move it to the section that reads it.",
     "The setup ignores the key and takes the default: with a misspelt `CheckValue` the check reads the registry "
     "key's default value instead, and a key in another section does nothing.",
     "`CheckValue=Version`; `Execute=` in `[Prereq0]`."},
    {Rule::duplicate, Severity::warning, "duplicate", "A section or key given twice: only the first counts.",
     "`[Start]` or `MsiPath=` given twice: the first counts.", "Keep one of them.",
     "The setup takes the first and ignores the later one, often the one edited last: customers get the value you "
     "did not mean.",
     "`[Start]` and `MsiPath=` once each."},
    {Rule::quotesStripped, Severity::warning, "quotes-stripped", "Outer quotes of a value are stripped, which changes its meaning.",
     "`Execute=\"C:\\A B\\x.exe\" /q \"y\"` is read as `C:\\A B\\x.exe\" /q \"y`.",
     "Quote only the program, not the whole value.",
     "The setup runs another command line than written: the program may not start (a prerequisite then ends the "
     "setup with -1000), or it gets arguments it does not take.",
     "`Execute=\"C:\\A B\\x.exe\" /q y`."},
    {Rule::unquotedBlanks, Severity::warning, "unquoted-blanks", "A program path with blanks is not quoted.",
     "`Execute=C:\\Program Files\\X\\setup.exe /q`: Windows first tries `C:\\Program.exe`.",
     "Put the program's path in double quotes.",
     "The setup runs elevated, and Windows tries `C:\\Program.exe` first: a program of that name on a customer's "
     "machine starts with administrator rights in place of yours.",
     "`Execute=\"C:\\Program Files\\X\\setup.exe\" /q`."},
    {Rule::missingProgram, Severity::warning, "missing-program", "A program the setup starts is not in the folder.",
     "`SetupPath=Tools\\Pre.exe` with no `Tools\\Pre.exe` in the folder.",
     "Ship the program in the folder, or name it as it will be found on the target system.",
     "Unless the customer's system finds it on its search path, a prerequisite's program cannot start and the setup "
     "ends with -1000; a missing pre-setup program is skipped.",
     "`SetupPath=Tools\\Pre.exe` with `Tools\\Pre.exe` in the folder."},
    {Rule::notANumber, Severity::warning, "not-a-number", "An exit code that is not a decimal number.",
     "`ExecuteOkIfResultIs=ok` is read as 0.", "Write the exit code in decimal, or DEBUG.",
     "The chain goes on only when the program exits with 0: a prerequisite that succeeds with another code ends the "
     "setup silently after it.",
     "`ExecuteOkIfResultIs=0`."},
    {Rule::notAKeyword, Severity::warning, "not-a-keyword", "A keyword that is neither TRUE nor FALSE.",
     "`DoExecuteIfCheckIs=yes` is read as false.", "Write TRUE or FALSE.",
     "Read as false, the prerequisite runs when the registry check fails instead of when it passes: skipped where "
     "it was meant to run, run where it was not.",
     "`DoExecuteIfCheckIs=TRUE`."},
    {Rule::debugMode, Severity::warning, "debug-mode", "A prerequisite in debug mode: the setup ends after it.",
     "`ExecuteOkIfResultIs=DEBUG`: every customer's setup shows a box and ends after it.",
     "Remove DEBUG before shipping; give the expected exit code instead.",
     "Every customer's setup shows the program's exit code in a box and ends after it: the product is never "
     "installed.",
     "`ExecuteOkIfResultIs=0`."},
    {Rule::checkWithoutKey, Severity::warning, "check-without-key", "A registry check without CheckKey always passes.",
     "`CheckValue=Version` without `CheckKey`: the check always passes.",
     "Add the CheckKey the value lies under, or remove CheckValue and CheckContent.",
     "The check passes on every machine: the prerequisite is skipped everywhere (or, with "
     "`DoExecuteIfCheckIs=TRUE`, runs every time), whatever CheckValue and CheckContent say.",
     "`CheckValue=Version` with `CheckKey=SOFTWARE\\ExampleRuntime\\2.0`."},
    {Rule::unusedTransform, Severity::warning, "unused-transform", "A transform the setup never applies.",
     "`Languages\\1036.mst`, or `1033.mst` in an English package: never applied.",
     "Remove it, or name it as the setup applies transforms: 1031.mst, 1033.mst, Documentation.mst.",
     "Customers never get what the transform holds: the setup neither offers its language nor applies it.",
     "`Languages\\1031.mst` beside an English package."},
    {Rule::malformedLine, Severity::warning, "malformed-line", "A line Windows reads otherwise than it looks, or in a way not known.",
     "`LanguagesDir` without `=`; `[Start] MsiPath=x.msi`; a value ending in a no-break space.",
     "Write sections as [Name] and keys as Key=Value, one a line.",
     "The setting on that line may be lost or read otherwise than it looks (`[Start] MsiPath=x.msi` sets no "
     "MsiPath), and another Windows or Wine may read it otherwise again.",
     "`LanguagesDir=Languages`; `[Start]` and `MsiPath=x.msi` on lines of their own."},
    {Rule::inlineComment, Severity::warning, "inline-comment", "A comment after a value is part of the value.",
     "`CheckContent=2.0 ; version` is read as `2.0 ; version`.", "Put the comment on a line of its own.",
     "The comment becomes part of the value: `CheckContent=2.0 ; version` matches no registry value, so the "
     "prerequisite runs on every machine.",
     "`; version` on a line of its own, then `CheckContent=2.0`."},
    {Rule::utf8Text, Severity::warning, "utf8-text", "Setup.ini is UTF-8 text, which Windows reads in its ANSI code page.",
     "`Execute=Konfigurätion.exe` saved as UTF-8 is read as `KonfigurÃ¤tion.exe`.",
     "Save Setup.ini as ANSI (Windows-1252).",
     "Windows reads the bytes in its ANSI code page, so letters beyond ASCII become other text: a program is not "
     "found, a check never matches.",
     "`Execute=Konfigurätion.exe` saved as ANSI (Windows-1252)."},
    {Rule::neverRuns, Severity::warning, "never-runs", "A prerequisite whose program never runs.",
     "`Execute=` without `CheckKey` and without `DoExecuteIfCheckIs=TRUE`.",
     "Add the CheckKey that tells whether it is needed, or DoExecuteIfCheckIs=TRUE to run it always.",
     "The prerequisite is skipped on every machine: the product installs without it.",
     "`Execute=` with `DoExecuteIfCheckIs=TRUE`, or with the `CheckKey` that tells whether it is needed."},
    {Rule::noLanguagesFolder, Severity::warning, "no-languages-folder", "LanguagesDir names no folder.",
     "`LanguagesDir=Langauges`.", "Correct LanguagesDir, or create the folder.",
     "The setup finds no transform: it offers only the package's own language, and customers cannot choose the "
     "other.",
     "`LanguagesDir=Languages`, with the folder `Languages`."},
    {Rule::transformElsewhere, Severity::warning, "transform-elsewhere", "A transform lies outside the languages folder: never applied.",
     "`1031.mst` beside the package with `LanguagesDir=Languages`.",
     "Move it into the languages folder, or set LanguagesDir to its folder.",
     "The setup never applies it: customers never get its language (or, for Documentation.mst, its documentation).",
     "`Languages\\1031.mst` with `LanguagesDir=Languages`."},
    {Rule::severalPackages, Severity::warning, "several-packages", "Several packages and no MsiPath: the file system picks one.",
     "`A.msi` and `B.msi` without `MsiPath` (NTFS returns `A.msi` first).", "Set MsiPath.",
     "Which package a customer's setup installs depends on the file system the folder is on: from a USB stick or a "
     "network share it may be the other one.",
     "`A.msi` and `B.msi` with `MsiPath=A.msi`."},
    {Rule::caseClash, Severity::warning, "case-clash", "Two names differ only in letter case: Windows keeps one.",
     "`Setup.ini` and `SETUP.INI`; `1031.mst` and `1031.MST`.", "Remove one of them.",
     "Windows keeps only one of the two in a folder, and which one a copy or an unzip keeps is not known: customers "
     "may get the file you did not mean.",
     "`Setup.ini` alone; `1031.mst` alone."},
    {Rule::transformKeepsLanguage, Severity::warning, "transform-keeps-language",
     "A language transform leaves ProductLanguage as it is: Windows Installer's own texts keep the package's "
     "language.",
     "`1031.mst` made from two packages that both have ProductLanguage 1033.",
     "Build the target package with the transform's language (ProductLanguage and Template).",
     "Customers who choose that language get Windows Installer's own texts (its buttons, progress and messages) in "
     "the package's language.",
     "`1031.mst` made from the English package and a German one with ProductLanguage 1031."},
    {Rule::transformStale, Severity::warning, "transform-stale",
     "A transform was made from another build than the package beside it: it still applies that build's rows.",
     "`1031.mst` made from the 1.2.3 build beside the rebuilt 1.2.4 package.",
     "Make the transform again from the package as it ships whenever the package is rebuilt.",
     "Customers who choose that language get the old build's rows on the new package: texts, settings or file "
     "entries of 1.2.3 where 1.2.4 changed them.",
     "`1031.mst` made again from the 1.2.4 package."},
    {Rule::transformOverlap, Severity::warning, "transform-overlap",
     "Documentation.mst and a language transform write the same row: the documentation transform's values win.",
     "`Documentation.mst` made from the English package changes the row of a table that `1031.mst` changes too.",
     "Make Documentation.mst so that it writes no row the language transforms write.",
     "msiexec applies Documentation.mst last: in those rows customers get its values, not those of the language "
     "they chose.",
     "`Documentation.mst` that changes no row `1031.mst` changes."},
    {Rule::productCodeCase, Severity::warning, "product-code-case",
     "ProductCode or UpgradeCode is a GUID with lower-case letters: Windows Installer takes it, its documentation "
     "asks for upper case.",
     "UpgradeCode `{6f1c...}` in lower case.",
     "Write the GUID in upper case where the package is built; for a package you only ship, "
     "--ignore=product-code-case.",
     "Windows Installer takes it, but tools that compare GUIDs as text (deployment and inventory tools, scripts) "
     "may take it for another product.",
     "UpgradeCode `{6F1C...}` in upper case."},
    {Rule::templateLanguage, Severity::warning, "template-language", "ProductLanguage is not among the Template's languages.",
     "ProductLanguage 1033 with the Template `Intel;1031`.",
     "List the package's language in its summary information's Template.",
     "Windows Installer reads the languages a package supports from the Template: tools that read it there take the "
     "package for one of another language than it installs in.",
     "ProductLanguage 1033 with the Template `Intel;1033`."},
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
