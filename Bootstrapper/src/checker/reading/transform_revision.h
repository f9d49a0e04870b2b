#pragma once
// A transform's summary texts as the checker takes them apart: "Intel;1033" (the Template,
// Last Saved By) and the Revision Number "{base ProductCode}base version;{target
// ProductCode}target version;{UpgradeCode}".

#include <cstddef>
#include <string>

namespace boot {

// The `index`th of the parts between semicolons; empty past the last.
std::string SemicolonPart(const std::string& text, std::size_t index);

struct TransformRevision {
    std::string baseProductCode;  // with its braces; the whole part when it has no "}"
    std::string baseVersion;
    std::string targetProductCode;
    std::string targetVersion;
    std::string upgradeCode;  // empty when the transform names none
};

TransformRevision ParseTransformRevision(const std::string& text);

}  // namespace boot
