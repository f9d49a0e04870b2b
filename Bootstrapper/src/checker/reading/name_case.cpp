#include "checker/reading/name_case.h"

#include <algorithm>
#include <iterator>

namespace boot {

namespace {

// Lower-case letters that lie at one distance from their upper case, block by block.
struct CaseRange {
    WideChar first;
    WideChar last;
    WideChar distance;
};

constexpr CaseRange kLowerCaseRanges[] = {
    {0x0061, 0x007A, 0x20},  // a to z
    {0x00E0, 0x00F6, 0x20},  // Latin-1: à to ö
    {0x00F8, 0x00FE, 0x20},  // ø to þ
    {0x03B1, 0x03C1, 0x20},  // Greek: alpha to rho
    {0x03C3, 0x03CB, 0x20},  // sigma to upsilon with dialytika
    {0x0430, 0x044F, 0x20},  // Cyrillic: a to ya
    {0x0450, 0x045F, 0x50},  // ie with grave to dzhe
    {0xFF41, 0xFF5A, 0x20},  // full-width a to z
};

struct CasePair {
    WideChar lower;
    WideChar upper;
};

constexpr CasePair kSingleLetters[] = {
    {0x00FF, 0x0178},  // y with diaeresis, whose upper case lies in Latin Extended-A
    {0x03C2, 0x03A3},  // final sigma
};

// Latin Extended-A: pairs of upper and lower case, the upper one first, except where a
// letter has no partner; from U+0139 to U+0148 and from U+0179 to U+017E the upper case
// letter is the odd one.
constexpr WideChar kLatinExtendedAFirst = 0x0100;
constexpr WideChar kLatinExtendedALast = 0x017F;
constexpr WideChar kUnpaired[] = {0x0130, 0x0131, 0x0138, 0x0149, 0x017F};
constexpr CaseRange kOddUpperRanges[] = {{0x0139, 0x0148, 1}, {0x0179, 0x017E, 1}};

bool Within(WideChar unit, WideChar first, WideChar last) { return unit >= first && unit <= last; }

WideChar UpperCaseLatinExtendedA(WideChar unit)
{
    if (std::find(std::begin(kUnpaired), std::end(kUnpaired), unit) != std::end(kUnpaired)) {
        return unit;
    }
    const bool upperIsOdd = std::any_of(std::begin(kOddUpperRanges), std::end(kOddUpperRanges),
                                        [unit](const CaseRange& range) { return Within(unit, range.first, range.last); });
    const bool isLower = upperIsOdd ? unit % 2 == 0 : unit % 2 == 1;
    return isLower ? static_cast<WideChar>(unit - 1) : unit;
}

bool SameUnitIgnoringCase(WideChar x, WideChar y) { return UpperCaseUnit(x) == UpperCaseUnit(y); }

}  // namespace

WideChar UpperCaseUnit(WideChar unit)
{
    const auto* range = std::find_if(std::begin(kLowerCaseRanges), std::end(kLowerCaseRanges),
                                     [unit](const CaseRange& r) { return Within(unit, r.first, r.last); });
    if (range != std::end(kLowerCaseRanges)) {
        return static_cast<WideChar>(unit - range->distance);
    }
    const auto* pair = std::find_if(std::begin(kSingleLetters), std::end(kSingleLetters),
                                    [unit](const CasePair& p) { return p.lower == unit; });
    if (pair != std::end(kSingleLetters)) {
        return pair->upper;
    }
    return Within(unit, kLatinExtendedAFirst, kLatinExtendedALast) ? UpperCaseLatinExtendedA(unit) : unit;
}

std::u16string UpperCaseName(const std::u16string& name)
{
    std::u16string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperCaseUnit);
    return upper;
}

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), SameUnitIgnoringCase);
}

bool ComesFirstOnNtfs(const std::u16string& a, const std::u16string& b)
{
    const auto differ = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), SameUnitIgnoringCase);
    if (differ.first != a.end() && differ.second != b.end()) {
        return UpperCaseUnit(*differ.first) < UpperCaseUnit(*differ.second);
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

}  // namespace boot
