#pragma once
// A GUID's text as Windows Installer takes a ProductCode or an UpgradeCode: 38
// characters, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", of hexadecimal digits. Windows
// Installer refuses any other text as a product code before it looks anything up
// (ERROR_INVALID_PARAMETER), whatever the letters' case; its documentation asks for upper
// case, which some tools compare as text.

#include <cstdint>

namespace boot {

enum class GuidForm : std::uint8_t {
    upperCase,  // braced, every letter upper case
    otherCase,  // braced, with lower-case letters: taken all the same
    none,       // no GUID in braces: refused
};

GuidForm BracedGuidForm(const char* text);

}  // namespace boot
