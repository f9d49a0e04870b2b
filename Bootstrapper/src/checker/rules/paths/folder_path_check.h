#pragma once
// The package folder's own path, which the program reads first and ends on when it cannot
// name it exactly in the ANSI code page (unsupported-path) or it is too long, alone or
// with \Setup.ini (too-long).

#include "checker/findings/findings.h"
#include "checker/folder_readers/folder_reader.h"
#include "common/fixed_text.h"

namespace boot {

// The folder's path as the program reads it, into `folder`, and Setup.ini's in it, into
// `iniPath`; false, with the finding, where the program ends there.
bool CheckFolderPath(FolderReader& platform, TextBuffer& folder, TextBuffer& iniPath, Findings& findings);

}  // namespace boot
