#pragma once
// What a Windows Installer transform asks of the package it is applied to, and which
// errors it lets pass: the two words of its summary information's Character Count
// (validation conditions in the high word, error conditions to suppress in the low word),
// as Windows Installer's documentation numbers them. The transform writer sets them; the
// checker reads them.

#include <cstdint>

namespace boot {

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

// Error conditions to suppress (MSITRANSFORM_ERROR_*).
constexpr std::uint16_t kSuppressAddExistingRow = 0x0001;
constexpr std::uint16_t kSuppressDeleteMissingRow = 0x0002;
constexpr std::uint16_t kSuppressAddExistingTable = 0x0004;
constexpr std::uint16_t kSuppressDeleteMissingTable = 0x0008;
constexpr std::uint16_t kSuppressUpdateMissingRow = 0x0010;
constexpr std::uint16_t kSuppressCodePage = 0x0020;
constexpr std::uint16_t kSuppressViewTransform = 0x0100;

// Character Count of a transform's summary information, and its two words back.
constexpr unsigned kHighWordShift = 16;
constexpr std::int32_t CharacterCount(std::uint16_t validation, std::uint16_t suppress)
{
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(validation) << kHighWordShift | suppress);
}
constexpr std::uint16_t ValidationOf(std::int32_t characterCount)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(characterCount) >> kHighWordShift);
}
constexpr std::uint16_t SuppressionOf(std::int32_t characterCount)
{
    return static_cast<std::uint16_t>(static_cast<std::uint32_t>(characterCount));
}

}  // namespace boot
