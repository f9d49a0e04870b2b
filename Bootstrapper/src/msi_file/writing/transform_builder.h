#pragma once
// A transform made from two packages, as Windows' own tools make one: applied to the
// base, it gives the target's tables. Its storage holds the string pool, one stream per
// changed table, the binary fields' streams and the summary information.

#include <cstdint>
#include <string>
#include <vector>

#include "msi_file/format/compound_file.h"
#include "msi_file/model/table_data.h"
#include "msi_file/writing/transform_flags.h"

namespace boot::msi {

struct TransformOptions {
    std::uint16_t validation = kDefaultValidation;
    std::uint16_t suppress = 0;
};

// The transform's streams. False, with the reason, when no transform turns the base into
// the target: their ProductCode, UpgradeCode or ProductVersion differ (the transform would
// make the product another one), their code pages differ, a table's columns changed, an embedded stream
// differs, a text does not fit the pool's code page or is 64 KB long, a name is too long
// for a stream, or a package lacks what the summary information must name.
bool BuildTransform(const Database& base, const Database& target, const TransformOptions& options,
                    std::vector<CompoundStream>& streams, std::string& why);

// The bytes of a transform storage holding the streams.
bool ComposeTransformFile(const std::vector<CompoundStream>& streams, std::string& bytes, std::string& error);

}  // namespace boot::msi
