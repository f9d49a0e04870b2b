#pragma once
// Every rule the checker knows, with what the output formats and docs/checker.md say of it:
// one table, so that a rule's id, severity and explanation cannot drift apart.

#include <cstddef>

namespace boot {

enum class Severity { error, warning };

// The rules, one for each row of the table and in its order: errors first, then warnings.
// A rule reports by its enumerator; its id and severity come from its row.
enum class Rule {
    utf8Bom, tooLong, prereqUnreachable, noPackage, packageUnreadable, productVersion, noLanguages, unsupportedPath,
    unusableCharacters, setupIniUnreadable, utf16BigEndian, notATransform, transformMismatch, transformLanguage,
    transformIdentity, productVersionRange, productCodeSyntax, missingCabinet, setupEnds, readerMismatch,
    noSetupIni, unknownSection, unknownKey, duplicate, quotesStripped, unquotedBlanks, missingProgram, notANumber,
    notAKeyword, debugMode, checkWithoutKey, unusedTransform, malformedLine, inlineComment, utf8Text, neverRuns,
    noLanguagesFolder, transformElsewhere, severalPackages, caseClash, transformKeepsLanguage, transformStale,
    transformOverlap, productCodeCase, templateLanguage,
};

constexpr std::size_t kRuleCount = static_cast<std::size_t>(Rule::templateLanguage) + 1;

struct RuleInfo {
    Rule rule;             // the row's own enumerator: the table checks its order with it
    Severity severity;     // of every finding of the rule
    const char* id;        // as printed in brackets: "unknown-key"
    const char* summary;   // one sentence: what is wrong
    const char* example;   // a folder that breaks the rule, as docs/checker.md shows it
    const char* help;      // what to do about it
    const char* why;       // what goes wrong on the customers' machines when it ships so
    const char* fixed;     // the example put right, in the example's form
};

// The rules in table order.
std::size_t RuleCount();
const RuleInfo& RuleAt(std::size_t index);
const RuleInfo& RuleOf(Rule rule);

// The row of the rule whose id a user named (--ignore), or -1.
int RuleIndex(const char* id);

}  // namespace boot
