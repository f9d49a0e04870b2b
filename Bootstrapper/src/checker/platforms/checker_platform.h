#pragma once
// The system as the checker sees it: the program's platform seam, for everything the
// program itself reads, and the checker's own questions about folders and Windows
// Installer files. LinuxPlatform and the Windows dry-run platform each answer all three.

#include "checker/platforms/folder_entries.h"
#include "checker/platforms/installer_files.h"
#include "platform/platform.h"

namespace boot {

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class CheckerPlatform : public Platform, public FolderEntries, public InstallerFiles {
public:
    CheckerPlatform(const CheckerPlatform&) = delete;
    CheckerPlatform& operator=(const CheckerPlatform&) = delete;

    // Whether Windows' reading of the key is not known where this platform reads the file
    // itself: a line of the key's name without "=" stands before it (profile_text.h). Its
    // line number, then; the key may as well read empty. Where Windows' own reader answers,
    // its reading is known.
    virtual bool HasUnknownReading(const WideChar* /*section*/, const WideChar* /*key*/,
                                   const WideChar* /*fileName*/, std::uint32_t& /*line*/)
    {
        return false;
    }

protected:
    CheckerPlatform() = default;
    ~CheckerPlatform() = default;
};

}  // namespace boot
