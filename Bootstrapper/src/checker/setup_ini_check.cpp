#include "checker/setup_ini_check.h"

#include "checker/known_names.h"
#include "common/fixed_text.h"

namespace boot {

namespace {

// A name of the text as a zero-terminated copy; false when it is too long to be any name
// the program reads.
bool CopyName(const ProfileText& text, TextSpan span, TextBuffer& name)
{
    name.Clear();
    if (span.length >= name.Capacity()) {
        return false;
    }
    for (std::uint32_t i = 0; i < span.length; ++i) {
        name.Data()[i] = text.Text()[span.start + i];
    }
    name.Data()[span.length] = '\0';
    return true;
}

void CopySpan(const ProfileText& text, TextSpan span, TextBuffer& copy)
{
    if (!CopyName(text, span, copy)) {
        copy.Assign("(a value too long to show)");
    }
}

bool IsQuoted(const ProfileText& text, TextSpan value)
{
    if (value.length < 2) {
        return false;
    }
    const char first = text.Text()[value.start];
    return (first == '"' || first == '\'') && text.Text()[value.start + value.length - 1] == first;
}

// Whether section line `index` is the one that counts for its name; `first` gets the line
// number of the one that does.
bool IsCountingSection(const ProfileText& text, std::size_t index, const TextBuffer& name, std::uint32_t& first)
{
    const std::int32_t counting = text.FindSection(name.Get());
    first = counting >= 0 ? text.Line(static_cast<std::size_t>(counting)).number : 0;
    return counting == static_cast<std::int32_t>(index);
}

void CheckSectionLine(const ProfileText& text, std::size_t index, Findings& findings)
{
    const ProfileLine& line = text.Line(index);
    TextBuffer name;
    if (!CopyName(text, line.name, name)) {
        findings.Report(kSetupIniFile, line.number, Severity::warning, "unknown-section",
                        "a section name of %u characters: the program never reads it",
                        static_cast<unsigned>(line.name.length));
        return;
    }
    std::uint32_t first = 0;
    if (!IsCountingSection(text, index, name, first)) {
        findings.Report(kSetupIniFile, line.number, Severity::warning, "duplicate",
                        "[%s] is given again (first at line %u): the first one counts, nothing here is read",
                        name.Get(), static_cast<unsigned>(first));
        return;
    }
    std::int32_t number = 0;
    switch (ClassifySection(name.Get(), name.Length(), number)) {
    case SectionKind::start:
    case SectionKind::prerequisite:
        return;
    case SectionKind::oddPrerequisite:
        findings.Report(kSetupIniFile, line.number, Severity::error, "prereq-unreachable",
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
        findings.Report(kSetupIniFile, line.number, Severity::warning, "unknown-section",
                        "the program never reads a section [%s]", name.Get());
    } else {
        findings.Report(kSetupIniFile, line.number, Severity::warning, "unknown-section",
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
        findings.Report(kSetupIniFile, line, Severity::warning, "unknown-key",
                        "the program never reads %s in [%s], and %s keeps its default; did you mean %s?", key.Get(),
                        section.Get(), closest.Get(), closest.Get());
        return;
    }
    ClosestKeyName(other, key.Get(), key.Length(), closest);
    if (IsKnownKey(other, key.Get(), key.Length())) {
        findings.Report(kSetupIniFile, line, Severity::warning, "unknown-key",
                        "the program never reads %s in [%s]: it belongs in %s", key.Get(), section.Get(), otherPlace);
    } else if (!closest.IsEmpty()) {
        findings.Report(kSetupIniFile, line, Severity::warning, "unknown-key",
                        "the program never reads %s in [%s]; did you mean %s, in %s?", key.Get(), section.Get(),
                        closest.Get(), otherPlace);
    } else {
        findings.Report(kSetupIniFile, line, Severity::warning, "unknown-key", "the program never reads %s in [%s]",
                        key.Get(), section.Get());
    }
}

void CheckKeyLine(const ProfileText& text, std::size_t index, Findings& findings)
{
    const ProfileLine& line = text.Line(index);
    TextBuffer key;
    const bool keyFits = CopyName(text, line.name, key);
    if (line.section < 0) {
        // Behind a UTF-8 mark the first section header is not seen: the mark's finding says so.
        if (text.Encoding() == ProfileEncoding::utf8WithMark) {
            return;
        }
        findings.Report(kSetupIniFile, line.number, Severity::warning, "unknown-key",
                        "%s stands before any section: it is never read", keyFits ? key.Get() : "this key");
        return;
    }
    TextBuffer section;
    std::uint32_t first = 0;
    const auto sectionIndex = static_cast<std::size_t>(line.section);
    if (!CopyName(text, text.Line(sectionIndex).name, section) || !IsCountingSection(text, sectionIndex, section, first)) {
        return;  // the section itself is reported
    }
    std::int32_t number = 0;
    const SectionKind kind = ClassifySection(section.Get(), section.Length(), number);
    if (kind != SectionKind::start && kind != SectionKind::prerequisite) {
        return;
    }
    if (!keyFits || !IsKnownKey(kind, key.Get(), key.Length())) {
        ReportUnknownKey(kind, section, key, line.number, findings);
        return;
    }
    const std::int32_t counting = text.FindKey(section.Get(), key.Get());
    if (counting != static_cast<std::int32_t>(index)) {
        findings.Report(kSetupIniFile, line.number, Severity::warning, "duplicate",
                        "%s is given again in [%s] (first at line %u): the first one counts", key.Get(),
                        section.Get(), static_cast<unsigned>(text.Line(static_cast<std::size_t>(counting)).number));
        return;
    }
    if (IsQuoted(text, line.value)) {
        TextBuffer written;
        TextBuffer read;
        CopySpan(text, line.value, written);
        CopySpan(text, WithoutOuterQuotes(text.Text(), line.value), read);
        findings.Report(kSetupIniFile, line.number, Severity::warning, "quotes-stripped",
                        "%s=%s is read without its outer quotes, as %s; quote only the program", key.Get(),
                        written.Get(), read.Get());
    }
}

}  // namespace

void CheckSetupIniText(const ProfileText& text, Findings& findings)
{
    for (std::size_t i = 0; i < text.LineCount(); ++i) {
        switch (text.Line(i).kind) {
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
        std::uint32_t first = 0;
        std::int32_t number = 0;
        if (line.kind != ProfileLineKind::section || !CopyName(text, line.name, name) ||
            !IsCountingSection(text, i, name, first) ||
            ClassifySection(name.Get(), name.Length(), number) != SectionKind::prerequisite || number <= endNumber) {
            continue;
        }
        TextBuffer end;
        end.Format("Prereq%d", static_cast<int>(endNumber));
        findings.Report(kSetupIniFile, line.number, Severity::error, "prereq-unreachable",
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

}  // namespace boot
