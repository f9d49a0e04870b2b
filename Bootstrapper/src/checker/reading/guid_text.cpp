#include "checker/reading/guid_text.h"

#include <cstddef>

namespace boot {

namespace {

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool IsLowerCaseLetter(char c) { return c >= 'a' && c <= 'f'; }

}  // namespace

GuidForm BracedGuidForm(const char* text)
{
    constexpr char kForm[] = "{########-####-####-####-############}";
    if (text == nullptr) {
        return GuidForm::none;
    }
    bool lowerCase = false;
    for (std::size_t i = 0; i + 1 < sizeof kForm; ++i) {
        const bool fits = kForm[i] == '#' ? IsHexDigit(text[i]) : text[i] == kForm[i];
        if (!fits) {
            return GuidForm::none;  // also at the text's end: '\0' fits nowhere
        }
        lowerCase = lowerCase || IsLowerCaseLetter(text[i]);
    }
    if (text[sizeof kForm - 1] != '\0') {
        return GuidForm::none;
    }
    return lowerCase ? GuidForm::otherCase : GuidForm::upperCase;
}

}  // namespace boot
