#pragma once
// The conditions of a transform's Character Count (common/transform_conditions.h) by
// readable names, as bootstrapper-transform takes them on its command line.

#include <cstdint>
#include <string>
#include <vector>

#include "common/transform_conditions.h"

namespace boot::msi {

constexpr std::uint16_t kDefaultValidation = kValidateProduct | kValidateUpgradeCode;

struct FlagName {
    const char* name;
    std::uint16_t flag;
    const char* meaning;
};

const std::vector<FlagName>& ValidationFlagNames();
const std::vector<FlagName>& SuppressFlagNames();

// "product,upgrade-code" as flags; an empty list is none, and so is an empty name between
// commas. False, with the reason, for a name not in `names`.
bool ParseFlagList(const std::string& list, const std::vector<FlagName>& names, std::uint16_t& flags,
                   std::string& error);
// The flags as a list of their names, in the table's order.
std::string FlagListText(std::uint16_t flags, const std::vector<FlagName>& names);

// Validation conditions that contradict themselves: more than one version field or more
// than one relation. Empty when they are fine.
std::string ValidationConflict(std::uint16_t validation);

}  // namespace boot::msi
