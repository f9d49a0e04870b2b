#include "checker/folder_readers/folder_reader.h"

// Each answer is Windows' answer to a call that fails: nothing is created, started or shown.

namespace boot {

namespace {

constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

}  // namespace

MutexResult FolderReader::CreateMutexA(bool /*initialOwner*/, const char* /*name*/)
{
    return MutexResult{kNullHandle, kErrorAccessDenied};
}

bool FolderReader::CreateProcessA(const CreateProcessArgs& /*args*/, ProcessInfo* /*info*/) { return false; }

std::uint32_t FolderReader::WaitForSingleObject(Handle /*handle*/, std::uint32_t /*milliseconds*/)
{
    return kWaitFailed;
}

bool FolderReader::GetExitCodeProcess(Handle /*process*/, std::uint32_t* /*exitCode*/) { return false; }

std::int32_t FolderReader::MessageBoxA(WindowHandle /*owner*/, const char* /*text*/, const char* /*caption*/,
                                       std::uint32_t /*style*/)
{
    return 0;
}

std::intptr_t FolderReader::DialogBoxParamA(ModuleHandle /*instance*/, std::uint32_t /*templateId*/,
                                            WindowHandle /*owner*/, DialogProcedure /*procedure*/,
                                            void* /*context*/, std::intptr_t /*initParam*/)
{
    return -1;
}

bool FolderReader::SetWindowTextA(WindowHandle /*window*/, const char* /*text*/) { return false; }

bool FolderReader::SetDlgItemTextA(WindowHandle /*dialog*/, std::int32_t /*itemId*/, const char* /*text*/)
{
    return false;
}

WindowHandle FolderReader::GetDlgItem(WindowHandle /*dialog*/, std::int32_t /*itemId*/) { return kNoWindow; }

std::intptr_t FolderReader::SendMessageA(WindowHandle /*window*/, std::uint32_t /*message*/,
                                         std::uintptr_t /*wParam*/, std::intptr_t /*lParam*/)
{
    return 0;
}

bool FolderReader::EndDialog(WindowHandle /*dialog*/, std::intptr_t /*result*/) { return false; }

}  // namespace boot
