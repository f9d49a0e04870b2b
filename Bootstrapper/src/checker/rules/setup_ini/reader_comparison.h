#pragma once
// Windows' profile reader against the checker's reading of Setup.ini's text. The
// program reads every value through the platform, and so does the checker's walk; the
// checker's own reading only finds lines. On Windows a value that the two read
// differently is a rule of Windows' reader the checker does not know: it is reported
// (reader-mismatch), and the plan follows Windows. A folder reader that answers every
// read from the checker's own reading (Linux) has nothing to compare.

#include "checker/explored_runs/plan.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "checker/findings/findings.h"
#include "common/fixed_text.h"

namespace boot {

// Compares each value the program read before the plan's end: [Start]'s keys, and the
// keys of the prerequisite sections the chain read.
void CompareReaders(FolderReader& platform, const TextBuffer& iniPath, const ProfileText& text, const Plan& plan,
                    Findings& findings);

}  // namespace boot
