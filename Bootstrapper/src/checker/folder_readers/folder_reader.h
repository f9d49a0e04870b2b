#pragma once
// The package folder as the checker reads it: the program's platform seam, for everything
// the program reads (files, Setup.ini, the registry, Windows Installer), and the checker's
// own questions about folders and Windows Installer files. LinuxFolderReader and
// WindowsFolderReader each answer all of it. Programs, boxes and the language dialog are
// the recording platform's (plan/recording_platform.h), which never passes them on: a
// folder reader answers them once, here, as a system that starts and shows nothing.

#include "checker/folder_readers/folder_entries.h"
#include "checker/folder_readers/installer_files.h"
#include "platform/platform.h"

namespace boot {

// NOLINTNEXTLINE(cppcoreguidelines-virtual-class-destructor)
class FolderReader : public Platform, public FolderEntries, public InstallerFiles {
public:
    FolderReader(const FolderReader&) = delete;
    FolderReader& operator=(const FolderReader&) = delete;

    // Whether Windows' reading of the key is not known where this reader reads the file
    // itself: a line of the key's name without "=" stands before it (profile_text.h). Its
    // line number, then; the key may as well read empty. Where Windows' own reader answers,
    // its reading is known.
    virtual bool HasUnknownReading(const WideChar* /*section*/, const WideChar* /*key*/,
                                   const WideChar* /*fileName*/, std::uint32_t& /*line*/)
    {
        return false;
    }

    // Whether every profile read is answered from this reader's own reading of the file
    // (profile_text.h), so that no reader of Windows' own reads it otherwise.
    virtual bool ReadsProfilesItself() const { return false; }

    MutexResult CreateMutexA(bool initialOwner, const char* name) final;
    bool CreateProcessA(const CreateProcessArgs& args, ProcessInfo* info) final;
    std::uint32_t WaitForSingleObject(Handle handle, std::uint32_t milliseconds) final;
    bool GetExitCodeProcess(Handle process, std::uint32_t* exitCode) final;
    std::int32_t MessageBoxA(WindowHandle owner, const char* text, const char* caption, std::uint32_t style) final;
    std::intptr_t DialogBoxParamA(ModuleHandle instance, std::uint32_t templateId, WindowHandle owner,
                                  DialogProcedure procedure, void* context, std::intptr_t initParam) final;
    bool SetWindowTextA(WindowHandle window, const char* text) final;
    bool SetDlgItemTextA(WindowHandle dialog, std::int32_t itemId, const char* text) final;
    WindowHandle GetDlgItem(WindowHandle dialog, std::int32_t itemId) final;
    std::intptr_t SendMessageA(WindowHandle window, std::uint32_t message, std::uintptr_t wParam,
                               std::intptr_t lParam) final;
    bool EndDialog(WindowHandle dialog, std::intptr_t result) final;

protected:
    FolderReader() = default;
    ~FolderReader() = default;
};

}  // namespace boot
