#include "checker/rules/setup_ini/setup_ini_check.h"

#include <algorithm>

#include "checker/reading/known_names.h"
#include "checker/reading/unicode_text.h"
#include "common/fixed_text.h"
#include "common/text_rules.h"
#include "prereq/prerequisite_chain.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::size_t kShownLength = 200;  // a line's text in a finding, at most

// Whether a name holds a zero byte: as a zero-terminated text it would be another name,
// and the line's own finding (malformed-line) says all there is to say about it.
bool HoldsZeroByte(const ProfileText& text, TextSpan span)
{
    const char* start = text.Text() + span.start;
    return std::find(start, start + span.length, '\0') != start + span.length;
}

// A name of the text as a zero-terminated copy; false when it is too long to be any name
// the program reads, or holds a zero byte.
bool CopyName(const ProfileText& text, TextSpan span, TextBuffer& name)
{
    name.Clear();
    if (span.length >= name.Capacity() || HoldsZeroByte(text, span)) {
        return false;
    }
    std::copy_n(text.Text() + span.start, span.length, name.Data());
    name.Data()[span.length] = '\0';
    return true;
}

// A ";" after a blank, where an author may have meant a comment; inside double quotes it
// is part of a quoted path or argument.
bool IsInlineComment(const std::string& value)
{
    bool quoted = false;
    for (std::size_t i = 0; i < value.size(); ++i) {
        quoted = value[i] == '"' ? !quoted : quoted;
        if (!quoted && value[i] == ';' && (i == 0 || value[i - 1] == ' ' || value[i - 1] == '\t')) {
            return true;
        }
    }
    return false;
}

// The line's text from its first character to its last.
std::string LineText(const ProfileText& text, const ProfileLine& line)
{
    if (line.kind != ProfileLineKind::key) {
        return SpanText(text, line.name);
    }
    // The value's end, or the "=" of an empty value.
    std::uint32_t end = line.value.start + line.value.length;
    if (line.value.length == 0) {
        end = line.name.start + line.name.length;
        while (text.Text()[end] != '=') {
            ++end;
        }
        ++end;
    }
    return SpanText(text, TextSpan{line.name.start, end - line.name.start});
}

bool HoldsBytesBeyondAscii(const std::string& text)
{
    constexpr unsigned char kFirstBeyondAscii = 0x80;
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) >= kFirstBeyondAscii; });
}

void CheckSectionLine(const ProfileText& text, std::size_t index, Findings& findings)
{
    const ProfileLine& line = text.Line(index);
    TextBuffer name;
    if (HoldsZeroByte(text, line.name)) {
        return;
    }
    if (!text.IsExact(line.name) && CopyName(text, line.name, name)) {
        findings.Report(Rule::unknownSection, kSetupIniFile, line.number,
                        "the section name [%s] holds characters the ANSI code page cannot hold exactly (shown as "
                        "it reads them): the program never reads it",
                        name.Get());
        return;
    }
    if (!CopyName(text, line.name, name)) {
        findings.Report(Rule::unknownSection, kSetupIniFile, line.number,
                        "a section name of %u characters: the program never reads it",
                        static_cast<unsigned>(line.name.length));
        return;
    }
    if (!text.IsCountingSection(index)) {
        findings.Report(Rule::duplicate, kSetupIniFile, line.number,
                        "[%s] is given again (first at line %u): the first one counts, nothing here is read",
                        name.Get(), static_cast<unsigned>(text.Line(text.CountingLineOf(index)).number));
        return;
    }
    std::int32_t number = 0;
    switch (ClassifySection(name.Get(), name.Length(), number)) {
    case SectionKind::start:
    case SectionKind::prerequisite:
        return;
    case SectionKind::oddPrerequisite:
        findings.Report(Rule::prereqUnreachable, kSetupIniFile, line.number,
                        "[%s] is never read: the chain names its sections Prereq0, Prereq1, ... without leading "
                        "zeros, up to Prereq2147483647",
                        name.Get());
        return;
    case SectionKind::unknown:
        break;
    }
    TextBuffer closest;
    ClosestSectionName(name.Get(), name.Length(), closest);
    if (closest.IsEmpty()) {
        findings.Report(Rule::unknownSection, kSetupIniFile, line.number,
                        "the program never reads a section [%s]", name.Get());
    } else {
        findings.Report(Rule::unknownSection, kSetupIniFile, line.number,
                        "the program never reads a section [%s]; did you mean [%s]?", name.Get(), closest.Get());
    }
}

void ReportUnknownKey(SectionKind kind, const TextBuffer& section, const TextBuffer& key, std::uint32_t line,
                      Findings& findings)
{
    const SectionKind other = kind == SectionKind::start ? SectionKind::prerequisite : SectionKind::start;
    const char* otherPlace = other == SectionKind::start ? "[Start]" : "a [PrereqN] section";
    TextBuffer closest;
    ClosestKeyName(kind, key.Get(), key.Length(), closest);
    if (!closest.IsEmpty()) {
        findings.Report(Rule::unknownKey, kSetupIniFile, line,
                        "the program never reads %s in [%s], and %s keeps its default; did you mean %s?", key.Get(),
                        section.Get(), closest.Get(), closest.Get());
        return;
    }
    // The key may belong in the other kind of section.
    ClosestKeyName(other, key.Get(), key.Length(), closest);
    std::string advice;
    if (IsKnownKey(other, key.Get(), key.Length())) {
        advice = std::string(": it belongs in ") + otherPlace;
    } else if (!closest.IsEmpty()) {
        advice = std::string("; did you mean ") + closest.Get() + ", in " + otherPlace + "?";
    }
    findings.Report(Rule::unknownKey, kSetupIniFile, line, "the program never reads %s in [%s]%s", key.Get(),
                    section.Get(), advice.c_str());
}

// What a value the program reads is read as, where that differs from what it says.
void CheckKnownValue(const ProfileText& text, const ProfileLine& line, const TextBuffer& key, Findings& findings)
{
    const std::string written = SpanText(text, line.value);
    // Command lines are judged with the program they name (folder_check.cpp).
    if (IsQuoted(written) && !IsCommandKey(key.Get()) &&
        written.find(written.front(), 1) != written.size() - 1) {
        const std::string kept = written.front() + ShownText(written) + written.front();
        findings.Report(Rule::quotesStripped, kSetupIniFile, line.number,
                        "%s=%s is read without its outer quotes, as %s; write %s=%s to keep them", key.Get(),
                        ShownText(written).c_str(), ShownText(written.substr(1, written.size() - 2)).c_str(), key.Get(),
                        kept.c_str());
    }
    if (IsInlineComment(written)) {
        findings.Report(Rule::inlineComment, kSetupIniFile, line.number,
                        "%s is read as \"%s\", comment and all: Windows takes \";\" as a comment only at the "
                        "start of a line; put the comment on a line of its own",
                        key.Get(), ShownText(written).c_str());
    }
}

void CheckKeyLine(const ProfileText& text, std::size_t index, Findings& findings)
{
    const ProfileLine& line = text.Line(index);
    if (HoldsZeroByte(text, line.name)) {
        return;
    }
    TextBuffer key;
    const bool keyFits = CopyName(text, line.name, key);
    if (line.section < 0) {
        // Behind a UTF-8 mark the first section header is not seen: the mark's finding says so.
        if (text.Encoding() == ProfileEncoding::utf8WithMark) {
            return;
        }
        findings.Report(Rule::unknownKey, kSetupIniFile, line.number,
                        "%s stands before any section: it is never read", keyFits ? key.Get() : "this key");
        return;
    }
    TextBuffer section;
    const auto sectionIndex = static_cast<std::size_t>(line.section);
    if (!CopyName(text, text.Line(sectionIndex).name, section) || !text.IsCountingSection(sectionIndex)) {
        return;  // the section itself is reported
    }
    std::int32_t number = 0;
    const SectionKind kind = ClassifySection(section.Get(), section.Length(), number);
    if (kind != SectionKind::start && kind != SectionKind::prerequisite) {
        return;
    }
    if (keyFits && !text.IsExact(line.name)) {
        findings.Report(Rule::unknownKey, kSetupIniFile, line.number,
                        "the name %s in [%s] holds characters the ANSI code page cannot hold exactly (shown as it "
                        "reads them): the program never reads it",
                        key.Get(), section.Get());
        return;
    }
    if (!keyFits || !IsKnownKey(kind, key.Get(), key.Length())) {
        ReportUnknownKey(kind, section, key, line.number, findings);
        return;
    }
    const std::size_t counting = text.CountingLineOf(index);
    if (counting != index) {
        findings.Report(Rule::duplicate, kSetupIniFile, line.number,
                        "%s is given again in [%s] (first at line %u): the first one counts", key.Get(),
                        section.Get(), static_cast<unsigned>(text.Line(counting).number));
        return;
    }
    CheckKnownValue(text, line, key, findings);
}

// Lines Windows' profile reader reads otherwise than they look, or whose reading on
// Windows is not known (profile_text.h says which and why).
void CheckDoubtfulLine(const ProfileText& text, const ProfileLine& line, Findings& findings)
{
    if (line.doubt == LineDoubt::none) {
        return;
    }
    const std::string shown = ShownText(LineText(text, line));
    switch (line.doubt) {
    case LineDoubt::none:
        return;
    case LineDoubt::noEquals:
        // Before the first section every line is ignored alike.
        if (line.section >= 0) {
            findings.Report(Rule::malformedLine, kSetupIniFile, line.number,
                            "\"%s\" has no \"=\": it is no key, and how Windows reads a key of that name after it "
                            "is not known; write Key=Value, or begin a comment with \";\"",
                            shown.c_str());
        }
        return;
    case LineDoubt::textAfterName:
        findings.Report(Rule::malformedLine, kSetupIniFile, line.number,
                        "Windows reads the section [%s] from this line and ignores the text after its \"]\"; put "
                        "that text on a line of its own",
                        shown.c_str());
        return;
    case LineDoubt::noBracket:
        findings.Report(Rule::malformedLine, kSetupIniFile, line.number,
                        "this section header has no \"]\": Windows reads the section [%s] from it, other readers "
                        "(Wine's among them) read no section; add the \"]\"",
                        shown.c_str());
        return;
    case LineDoubt::unknownBlank:
        findings.Report(Rule::malformedLine, kSetupIniFile, line.number,
                        "a name or value here begins or ends with a control character or a no-break space: "
                        "whether Windows' reader takes it for a blank is not known; remove it");
        return;
    case LineDoubt::zeroByte:
        findings.Report(Rule::malformedLine, kSetupIniFile, line.number,
                        "this line holds a zero byte with more text after it: a value ends there, and how "
                        "Windows reads what follows is not known; remove it");
        return;
    }
}

void CheckUtf8Line(const ProfileText& text, const ProfileLine& line, Findings& findings)
{
    const std::string written = LineText(text, line);
    if (!HoldsBytesBeyondAscii(written)) {
        return;
    }
    findings.Report(Rule::utf8Text, kSetupIniFile, line.number,
                    "this line is UTF-8 text, and Windows reads Setup.ini in its ANSI code page: \"%s\" is read "
                    "as \"%s\"; save the file as ANSI (Windows-1252)",
                    ShownText(AnsiFromUtf8(written)).c_str(), ShownText(written).c_str());
}

}  // namespace

void CheckSetupIniText(const ProfileText& text, Findings& findings)
{
    const bool utf8 =
        text.Encoding() == ProfileEncoding::ansi && IsUtf8BeyondAscii(text.Text(), text.TextLength());
    for (std::size_t i = 0; i < text.LineCount(); ++i) {
        const ProfileLine& line = text.Line(i);
        CheckDoubtfulLine(text, line, findings);
        if (utf8 && line.kind != ProfileLineKind::comment) {
            CheckUtf8Line(text, line, findings);
        }
        switch (line.kind) {
        case ProfileLineKind::section:
            CheckSectionLine(text, i, findings);
            break;
        case ProfileLineKind::key:
            CheckKeyLine(text, i, findings);
            break;
        case ProfileLineKind::blank:
        case ProfileLineKind::comment:
        case ProfileLineKind::other:
            break;
        }
    }
}

void CheckUnreachableSections(const ProfileText& text, std::int32_t endNumber, Findings& findings)
{
    if (endNumber < 0) {
        return;
    }
    for (std::size_t i = 0; i < text.LineCount(); ++i) {
        const ProfileLine& line = text.Line(i);
        TextBuffer name;
        std::int32_t number = 0;
        if (line.kind != ProfileLineKind::section || !CopyName(text, line.name, name) || !text.IsExact(line.name) ||
            !text.IsCountingSection(i) ||
            ClassifySection(name.Get(), name.Length(), number) != SectionKind::prerequisite || number <= endNumber) {
            continue;
        }
        TextBuffer end;
        end.Format("%s%d", kPrerequisiteSectionPrefix, static_cast<int>(endNumber));
        findings.Report(Rule::prereqUnreachable, kSetupIniFile, line.number,
                        "[%s] is never read: the chain ends before it, at [%s], %s", name.Get(), end.Get(),
                        SectionLine(text, end.Get()) == 0 ? "which is missing" : "which has no Execute");
    }
}

std::uint32_t KeyLine(const ProfileText& text, const char* section, const char* key)
{
    const std::int32_t index = text.FindKey(section, key);
    return index < 0 ? 0 : text.Line(static_cast<std::size_t>(index)).number;
}

std::uint32_t SectionLine(const ProfileText& text, const char* section)
{
    const std::int32_t index = text.FindSection(section);
    return index < 0 ? 0 : text.Line(static_cast<std::size_t>(index)).number;
}

std::string WrittenValue(const ProfileText& text, const char* section, const char* key)
{
    const std::int32_t index = text.FindKey(section, key);
    return index < 0 ? std::string() : SpanText(text, text.Line(static_cast<std::size_t>(index)).value);
}

std::string ShownText(const std::string& text)
{
    std::string shown;
    for (const char c : text.substr(0, kShownLength)) {
        shown += c == '\0' ? ' ' : c;
    }
    return text.size() > kShownLength ? shown + "..." : shown;
}

bool IsCommandKey(const char* key)
{
    return SameTextIgnoringCase(key, kSetupPathKey) || SameTextIgnoringCase(key, kExecuteKey);
}

bool IsQuoted(const std::string& written)
{
    return written.size() >= 2 && (written.front() == '"' || written.front() == '\'') &&
           written.back() == written.front();
}

}  // namespace boot
