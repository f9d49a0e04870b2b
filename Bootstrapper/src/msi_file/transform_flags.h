#pragma once
// What a transform asks of the package it is applied to, and which errors it lets pass:
// the two words of its summary information's Character Count (validation conditions in
// the high word, error conditions to suppress in the low word), by readable names.

#include <cstdint>
#include <string>
#include <vector>

namespace boot::msi {

// Validation conditions (MSITRANSFORM_VALIDATE_*).
constexpr std::uint16_t kValidateLanguage = 0x0001;
constexpr std::uint16_t kValidateProduct = 0x0002;
constexpr std::uint16_t kValidatePlatform = 0x0004;
constexpr std::uint16_t kValidateMajor = 0x0008;
constexpr std::uint16_t kValidateMinor = 0x0010;
constexpr std::uint16_t kValidateUpdate = 0x0020;
constexpr std::uint16_t kValidateOlder = 0x0040;          // package's version < base's
constexpr std::uint16_t kValidateOlderOrEqual = 0x0080;   // <=
constexpr std::uint16_t kValidateEqual = 0x0100;          // ==
constexpr std::uint16_t kValidateNewerOrEqual = 0x0200;   // >=
constexpr std::uint16_t kValidateNewer = 0x0400;          // >
constexpr std::uint16_t kValidateUpgradeCode = 0x0800;
constexpr std::uint16_t kVersionFields = kValidateMajor | kValidateMinor | kValidateUpdate;
constexpr std::uint16_t kVersionRelations =
    kValidateOlder | kValidateOlderOrEqual | kValidateEqual | kValidateNewerOrEqual | kValidateNewer;
constexpr std::uint16_t kDefaultValidation = kValidateProduct | kValidateUpgradeCode;

// Error conditions to suppress (MSITRANSFORM_ERROR_*).
constexpr std::uint16_t kSuppressAddExistingRow = 0x0001;
constexpr std::uint16_t kSuppressDeleteMissingRow = 0x0002;
constexpr std::uint16_t kSuppressAddExistingTable = 0x0004;
constexpr std::uint16_t kSuppressDeleteMissingTable = 0x0008;
constexpr std::uint16_t kSuppressUpdateMissingRow = 0x0010;
constexpr std::uint16_t kSuppressCodePage = 0x0020;
constexpr std::uint16_t kSuppressViewTransform = 0x0100;

struct FlagName {
    const char* name;
    std::uint16_t flag;
    const char* meaning;
};

const std::vector<FlagName>& ValidationFlagNames();
const std::vector<FlagName>& SuppressFlagNames();

// "product,upgrade-code" as flags; an empty list is none. False, with the reason, for a
// name not in `names`.
bool ParseFlagList(const std::string& list, const std::vector<FlagName>& names, std::uint16_t& flags,
                   std::string& error);
// The flags as a list of their names, in the table's order.
std::string FlagListText(std::uint16_t flags, const std::vector<FlagName>& names);

// Validation conditions that contradict themselves: more than one version field or more
// than one relation. Empty when they are fine.
std::string ValidationConflict(std::uint16_t validation);

// Character Count of a transform's summary information, and its two words back.
constexpr unsigned kHighWordShift = 16;
inline std::int32_t CharacterCount(std::uint16_t validation, std::uint16_t suppress)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(validation) << kHighWordShift | suppress);
}
inline std::uint16_t ValidationOf(std::int32_t characterCount)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(characterCount) >> kHighWordShift);
}
inline std::uint16_t SuppressionOf(std::int32_t characterCount)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(characterCount));
}

}  // namespace boot::msi
