#pragma once
// The transforms the setup hands to msiexec (the offered languages' and
// Documentation.mst), and every transform in the languages folder, as Windows Installer
// will take them: a file that is no transform (not-a-transform), one whose validation
// conditions the package fails, which Windows Installer refuses with 1624 where Wine
// applies it all the same (transform-mismatch), a language transform made for another
// language (transform-language) or one that leaves ProductLanguage as it is
// (transform-keeps-language).

#include <array>
#include <string>
#include <vector>

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/findings/findings.h"
#include "checker/rules/package/package_folder_check.h"

namespace boot {

// For each offered language that needs a transform: whether Windows Installer takes it,
// in words ("applies", or why not); empty for the others.
using TransformVerdicts = std::array<std::string, kOfferedLanguageCount>;

// Once the plan knows the offered languages. `setting`: LanguagesDir as read.
TransformVerdicts CheckTransformFiles(FolderReader& platform, const std::vector<TransformFile>& transforms,
                                      const TextBuffer& setting, const Plan& plan, Findings& findings);

}  // namespace boot
