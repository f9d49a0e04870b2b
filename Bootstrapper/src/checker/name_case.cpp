#include "checker/name_case.h"

#include <algorithm>

namespace boot {

namespace {

constexpr WideChar kCaseDistance = 0x20;  // between a letter and its upper case in most blocks

bool Within(WideChar unit, WideChar first, WideChar last) { return unit >= first && unit <= last; }

// Latin Extended-A: pairs of upper and lower case, the upper one first, except where a
// letter has no partner.
WideChar UpperCaseLatinExtendedA(WideChar unit)
{
    constexpr WideChar kDotlessI = 0x131;
    constexpr WideChar kKra = 0x138;
    constexpr WideChar kApostropheN = 0x149;
    constexpr WideChar kLongS = 0x17F;
    if (unit == 0x130 || unit == kDotlessI || unit == kKra || unit == kApostropheN || unit == kLongS) {
        return unit;
    }
    // From U+0139 to U+0148 and from U+0179 to U+017E the upper case letter is the odd one.
    const bool upperIsOdd = Within(unit, 0x139, 0x148) || Within(unit, 0x179, 0x17E);
    const bool isLower = upperIsOdd ? unit % 2 == 0 : unit % 2 == 1;
    return isLower ? static_cast<WideChar>(unit - 1) : unit;
}

}  // namespace

WideChar UpperCaseUnit(WideChar unit)
{
    if (Within(unit, u'a', u'z') || (Within(unit, 0xE0, 0xFE) && unit != 0xF7) || Within(unit, 0x3B1, 0x3C1) ||
        Within(unit, 0x3C3, 0x3CB) || Within(unit, 0x430, 0x44F) || Within(unit, 0xFF41, 0xFF5A)) {
        return static_cast<WideChar>(unit - kCaseDistance);
    }
    if (unit == 0xFF) {
        return 0x178;  // ÿ, whose upper case lies in Latin Extended-A
    }
    if (unit == 0x3C2) {
        return 0x3A3;  // final sigma
    }
    if (Within(unit, 0x450, 0x45F)) {
        return static_cast<WideChar>(unit - 0x50);
    }
    if (Within(unit, 0x100, 0x17F)) {
        return UpperCaseLatinExtendedA(unit);
    }
    return unit;
}

std::u16string UpperCaseName(const std::u16string& name)
{
    std::u16string upper(name);
    std::transform(upper.begin(), upper.end(), upper.begin(), UpperCaseUnit);
    return upper;
}

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](WideChar x, WideChar y) {
               return UpperCaseUnit(x) == UpperCaseUnit(y);
           });
}

bool ComesFirstOnNtfs(const std::u16string& a, const std::u16string& b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const WideChar x = UpperCaseUnit(a[i]);
        const WideChar y = UpperCaseUnit(b[i]);
        if (x != y) {
            return x < y;
        }
    }
    if (a.size() != b.size()) {
        return a.size() < b.size();
    }
    return a < b;
}

}  // namespace boot
