#pragma once
// The summary information of a transform, as Windows Installer's documentation describes
// it: which package it applies to and what that package becomes.
//
// - Template: the base package's platform and its one language ("Intel;1033").
// - Last Saved By: the same after the transform, the target's ("Intel;1031").
// - Revision Number: "{base ProductCode}base ProductVersion;{target ProductCode}target
//   ProductVersion;{UpgradeCode}".
// - Character Count: the validation conditions (high word) and the error conditions to
//   suppress (low word).
// - Page Count: the larger of the two packages' values; Security 4; Title "Transform".

#include <cstdint>
#include <string>

#include "msi_file/model/summary_info.h"
#include "msi_file/model/table_data.h"

namespace boot::msi {

// False, with the reason, when a package lacks what the summary must name: its
// ProductCode, ProductVersion or ProductLanguage, or the base's UpgradeCode when the
// upgrade code is to be validated.
bool ComposeTransformSummary(const Database& base, const Database& target, std::uint16_t validation,
                             std::uint16_t suppress, SummaryInfo& summary, std::string& why);

// The package properties of the summary information (Title, Subject, Author, Keywords,
// Comments, Word Count, and the platform in Template, with both values) in which the
// target differs from the base, comma-separated: a transform changes tables, so the
// installed package keeps the base's. Empty when none.
std::string SummaryNotCarried(const Database& base, const Database& target);

// "Intel;1033" as its platform and its languages.
void SplitTemplate(const std::string& text, std::string& platform, std::string& languages);

}  // namespace boot::msi
