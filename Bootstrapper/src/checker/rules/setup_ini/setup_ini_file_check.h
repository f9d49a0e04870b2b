#pragma once
// Setup.ini as a file: there is none (no-setup-ini), it cannot be read or is too large to
// check (setup-ini-unreadable), it begins with a byte order mark the setup refuses
// (utf8-bom, utf16-big-endian); and, once read, the rules over its text.

#include "checker/findings/findings.h"
#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"

namespace boot {

// `load` is how `text` was loaded from `iniPath`. False when the check cannot go on: the
// file holds more text than the checker reads.
bool CheckSetupIniFile(FolderReader& platform, const char* iniPath, ProfileLoad load, const ProfileText& text,
                       Findings& findings);

}  // namespace boot
