#pragma once
// Setup.ini twice over, for the rules over the values the program read: as the program
// reads it, through the platform's profile reader, and as it is written, with its lines.

#include <string>

#include "checker/folder_readers/folder_reader.h"
#include "checker/reading/profile_text.h"
#include "common/fixed_text.h"

namespace boot {

struct SetupIniReading {
    FolderReader& platform;
    const std::string& folder;  // the package folder's path
    const TextBuffer& iniPath;  // Setup.ini's path in it
    const ProfileText& text;
};

}  // namespace boot
