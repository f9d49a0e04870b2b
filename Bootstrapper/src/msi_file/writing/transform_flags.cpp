#include "msi_file/writing/transform_flags.h"

namespace boot::msi {

const std::vector<FlagName>& ValidationFlagNames()
{
    static const std::vector<FlagName> names = {
        {"product", kValidateProduct, "the package's ProductCode is the base's"},
        {"upgrade-code", kValidateUpgradeCode, "the package's UpgradeCode is the base's"},
        {"language", kValidateLanguage, "the package's ProductLanguage is the base's"},
        {"platform", kValidatePlatform, "the package's platform is the base's"},
        {"major", kValidateMajor, "version relations compare the major version"},
        {"minor", kValidateMinor, "... the major and minor version"},
        {"update", kValidateUpdate, "... the major, minor and update version"},
        {"older", kValidateOlder, "the package's version is older than the base's"},
        {"older-or-equal", kValidateOlderOrEqual, "... older than or equal to the base's"},
        {"equal", kValidateEqual, "... equal to the base's"},
        {"newer-or-equal", kValidateNewerOrEqual, "... newer than or equal to the base's"},
        {"newer", kValidateNewer, "... newer than the base's"},
    };
    return names;
}

const std::vector<FlagName>& SuppressFlagNames()
{
    static const std::vector<FlagName> names = {
        {"add-existing-row", kSuppressAddExistingRow, "a row it adds is there already"},
        {"delete-missing-row", kSuppressDeleteMissingRow, "a row it deletes is not there"},
        {"add-existing-table", kSuppressAddExistingTable, "a table it adds is there already"},
        {"delete-missing-table", kSuppressDeleteMissingTable, "a table it drops is not there"},
        {"update-missing-row", kSuppressUpdateMissingRow, "a row it changes is not there"},
        {"code-page", kSuppressCodePage, "its code page differs from the package's"},
        {"view-transform", kSuppressViewTransform, "(create the _TransformView table instead)"},
    };
    return names;
}

bool ParseFlagList(const std::string& list, const std::vector<FlagName>& names, std::uint16_t& flags,
                   std::string& error)
{
    flags = 0;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(',', start);
        end = end == std::string::npos ? list.size() : end;
        const std::string name = list.substr(start, end - start);
        // An empty name between commas, as after the last one, names nothing.
        bool known = name.empty();
        for (const FlagName& entry : names) {
            if (name == entry.name) {
                flags |= entry.flag;
                known = true;
            }
        }
        if (!known) {
            error = "unknown condition \"" + name + "\"";
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::string FlagListText(std::uint16_t flags, const std::vector<FlagName>& names)
{
    std::string text;
    for (const FlagName& entry : names) {
        if ((flags & entry.flag) != 0) {
            text += text.empty() ? "" : ",";
            text += entry.name;
        }
    }
    return text;
}

std::string ValidationConflict(std::uint16_t validation)
{
    const auto many = [](unsigned bits) { return (bits & (bits - 1)) != 0; };
    if (many(validation & kVersionFields)) {
        return "name at most one of major, minor and update";
    }
    if (many(validation & kVersionRelations)) {
        return "name at most one of older, older-or-equal, equal, newer-or-equal and newer";
    }
    return {};
}

}  // namespace boot::msi
