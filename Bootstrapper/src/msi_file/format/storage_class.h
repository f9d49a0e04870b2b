#pragma once
// The class ids that tell Windows Installer's files apart: the root storage of a package,
// a transform and a patch. Windows Installer applies no transform of another class.

#include "msi_file/format/compound_file.h"

namespace boot::msi {

// {000C1084-0000-0000-C000-000000000046}, {000C1082-...}, {000C1086-...}, as stored.
constexpr ClassId kPackageClassId = {0x84, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr ClassId kTransformClassId = {0x82, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                       0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr ClassId kPatchClassId = {0x86, 0x10, 0x0C, 0x00, 0x00, 0x00, 0x00, 0x00,
                                   0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};

// The summary information stream's name, which is not packed like the others.
constexpr char kSummaryStreamName[] = "\005SummaryInformation";

}  // namespace boot::msi
