#include "checker/reading/known_names.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "common/text_rules.h"
#include "prereq/prerequisite_chain.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

constexpr std::size_t kCloseDistance = 2;
constexpr std::size_t kLongestName = 64;  // longer names are close to nothing known
constexpr std::size_t kPrerequisitePrefixLength = std::char_traits<char>::length(kPrerequisiteSectionPrefix);
constexpr std::int64_t kLargestSectionNumber = kLastSectionIndex;
constexpr std::int64_t kDecimalBase = 10;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Levenshtein distance without regard to letter case, over two short names.
std::size_t Distance(const char* a, std::size_t aLength, const char* b)
{
    std::size_t bLength = TextLength(b);
    if (aLength > kLongestName || bLength > kLongestName) {
        return kLongestName;
    }
    std::size_t row[kLongestName + 1] = {};
    for (std::size_t j = 0; j <= bLength; ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= aLength; ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= bLength; ++j) {
            const std::size_t above = row[j];
            const std::size_t cost = LowerAscii(a[i - 1]) == LowerAscii(b[j - 1]) ? 0 : 1;
            row[j] = std::min({diagonal + cost, above + 1, row[j - 1] + 1});
            diagonal = above;
        }
    }
    return row[bLength];
}

void TakeIfCloser(const char* name, std::size_t length, const char* candidate, std::size_t& best,
                  TextBuffer& closest)
{
    const std::size_t distance = Distance(name, length, candidate);
    if (distance <= kCloseDistance && distance < best) {
        best = distance;
        closest.Assign(candidate);
    }
}

}  // namespace

SectionKind ClassifySection(const char* name, std::size_t length, std::int32_t& number)
{
    number = -1;
    if (SameTextIgnoringCase(name, length, kStartSection)) {
        return SectionKind::start;
    }
    if (length <= kPrerequisitePrefixLength ||
        !SameTextIgnoringCase(name, kPrerequisitePrefixLength, kPrerequisiteSectionPrefix)) {
        return SectionKind::unknown;
    }
    std::int64_t value = 0;
    for (std::size_t i = kPrerequisitePrefixLength; i < length; ++i) {
        if (!IsDigit(name[i])) {
            return SectionKind::unknown;
        }
        if (value <= kLargestSectionNumber) {
            value = value * kDecimalBase + (name[i] - '0');
        }
    }
    const bool leadingZero = name[kPrerequisitePrefixLength] == '0' && length > kPrerequisitePrefixLength + 1;
    if (leadingZero || value > kLargestSectionNumber) {
        return SectionKind::oddPrerequisite;
    }
    number = static_cast<std::int32_t>(value);
    return SectionKind::prerequisite;
}

bool IsKnownKey(SectionKind kind, const char* key, std::size_t length)
{
    auto named = [key, length](const char* known) { return SameTextIgnoringCase(key, length, known); };
    return (kind == SectionKind::start && std::any_of(std::begin(kStartKeys), std::end(kStartKeys), named)) ||
           (kind == SectionKind::prerequisite &&
            std::any_of(std::begin(kPrerequisiteKeys), std::end(kPrerequisiteKeys), named));
}

void ClosestSectionName(const char* name, std::size_t length, TextBuffer& closest)
{
    closest.Clear();
    std::size_t best = kCloseDistance + 1;
    TakeIfCloser(name, length, kStartSection, best, closest);
    // "Prereg3", "Prerequisite3": the number the name ends in, or 0.
    std::size_t digits = length;
    while (digits > 0 && IsDigit(name[digits - 1])) {
        --digits;
    }
    const std::size_t numberLength = length - digits;
    if (numberLength + kPrerequisitePrefixLength >= kLongestName) {
        return;
    }
    const std::string number = numberLength == 0 ? "0" : std::string(name + digits, numberLength);
    FixedText<kLongestName> candidate;
    candidate.Format("%s%s", kPrerequisiteSectionPrefix, number.c_str());
    TakeIfCloser(name, length, candidate.Get(), best, closest);
}

void ClosestKeyName(SectionKind kind, const char* key, std::size_t length, TextBuffer& closest)
{
    closest.Clear();
    std::size_t best = kCloseDistance + 1;
    if (kind == SectionKind::start) {
        for (const char* known : kStartKeys) {
            TakeIfCloser(key, length, known, best, closest);
        }
    }
    if (kind == SectionKind::prerequisite) {
        for (const char* known : kPrerequisiteKeys) {
            TakeIfCloser(key, length, known, best, closest);
        }
    }
}

}  // namespace boot
