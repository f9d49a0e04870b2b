#include "checker/recorded_run/recording_platform.h"

// What the folder answers, passed on as the folder's platform gives it; after a way joined
// another, the files and the package read as missing, so that the run only ends.

namespace boot {

namespace {

constexpr std::uint32_t kErrorOpenFailed = 110;

}  // namespace

// A way that ended finds nothing, as a search or an open finds nothing.
std::uint32_t RecordingPlatform::GetLastError() { return ended_ ? kErrorFileNotFound : folder_.GetLastError(); }

std::uint32_t RecordingPlatform::GetCurrentDirectoryW(std::uint32_t capacity, WideChar* buffer)
{
    return folder_.GetCurrentDirectoryW(capacity, buffer);
}

std::uint32_t RecordingPlatform::GetModuleFileNameW(ModuleHandle module, WideChar* buffer, std::uint32_t capacity)
{
    return folder_.GetModuleFileNameW(module, buffer, capacity);
}

std::int32_t RecordingPlatform::WideCharToMultiByte(std::uint32_t codePage, std::uint32_t flags, const WideChar* text,
                                                    std::int32_t length, char* buffer, std::int32_t capacity,
                                                    const char* defaultChar, bool* usedDefaultChar)
{
    return folder_.WideCharToMultiByte(codePage, flags, text, length, buffer, capacity, defaultChar, usedDefaultChar);
}

std::int32_t RecordingPlatform::MultiByteToWideChar(std::uint32_t codePage, std::uint32_t flags, const char* text,
                                                    std::int32_t length, WideChar* buffer, std::int32_t capacity)
{
    return folder_.MultiByteToWideChar(codePage, flags, text, length, buffer, capacity);
}

bool RecordingPlatform::GetVersionExA(OsVersionInfo* info) { return folder_.GetVersionExA(info); }

Handle RecordingPlatform::FindFirstFileA(const char* pattern, FindData* data)
{
    if (ended_) {
        return kInvalidHandle;
    }
    if (inspected_) {
        Reach(RunStage::languages);
    }
    return folder_.FindFirstFileA(pattern, data);
}

bool RecordingPlatform::FindNextFileA(Handle search, FindData* data) { return folder_.FindNextFileA(search, data); }

Handle RecordingPlatform::FindFirstFileW(const WideChar* pattern, FindDataW* data)
{
    if (ended_) {
        return kInvalidHandle;
    }
    if (inspected_) {
        Reach(RunStage::languages);
    }
    return folder_.FindFirstFileW(pattern, data);
}

bool RecordingPlatform::FindNextFileW(Handle search, FindDataW* data) { return folder_.FindNextFileW(search, data); }

bool RecordingPlatform::FindClose(Handle search) { return folder_.FindClose(search); }

Handle RecordingPlatform::CreateFileA(const char* path, std::uint32_t access, std::uint32_t shareMode,
                                      std::uint32_t creationDisposition, std::uint32_t flags)
{
    if (ended_) {
        return kInvalidHandle;
    }
    return folder_.CreateFileA(path, access, shareMode, creationDisposition, flags);
}

bool RecordingPlatform::ReadFile(Handle file, void* buffer, std::uint32_t size, std::uint32_t* read)
{
    return folder_.ReadFile(file, buffer, size, read);
}

std::uint32_t RecordingPlatform::GetFullPathNameA(const char* path, std::uint32_t capacity, char* buffer)
{
    return folder_.GetFullPathNameA(path, capacity, buffer);
}

std::uint32_t RecordingPlatform::GetThreadLocale() { return folder_.GetThreadLocale(); }

std::uint32_t RecordingPlatform::GetSystemDirectoryA(char* buffer, std::uint32_t capacity)
{
    return folder_.GetSystemDirectoryA(buffer, capacity);
}

std::int32_t RecordingPlatform::LoadStringA(ModuleHandle instance, std::uint32_t id, char* buffer,
                                            std::int32_t capacity)
{
    return folder_.LoadStringA(instance, id, buffer, capacity);
}

bool RecordingPlatform::SetDefaultDllDirectories(std::uint32_t flags) { return folder_.SetDefaultDllDirectories(flags); }

bool RecordingPlatform::SetDllDirectoryA(const char* path) { return folder_.SetDllDirectoryA(path); }

ModuleHandle RecordingPlatform::LoadLibraryExA(const char* path, std::uint32_t flags)
{
    return folder_.LoadLibraryExA(path, flags);
}

bool RecordingPlatform::UseWindowsInstaller(ModuleHandle library) { return folder_.UseWindowsInstaller(library); }

std::uint32_t RecordingPlatform::MsiOpenDatabaseA(const char* path, const char* persist, MsiHandle* database)
{
    if (ended_) {
        return kErrorOpenFailed;
    }
    return folder_.MsiOpenDatabaseA(path, persist, database);
}

std::uint32_t RecordingPlatform::MsiDatabaseOpenViewA(MsiHandle database, const char* query, MsiHandle* view)
{
    return folder_.MsiDatabaseOpenViewA(database, query, view);
}

std::uint32_t RecordingPlatform::MsiViewExecute(MsiHandle view, MsiHandle parameters)
{
    return folder_.MsiViewExecute(view, parameters);
}

std::uint32_t RecordingPlatform::MsiViewFetch(MsiHandle view, MsiHandle* record)
{
    return folder_.MsiViewFetch(view, record);
}

std::uint32_t RecordingPlatform::MsiCloseHandle(MsiHandle handle) { return folder_.MsiCloseHandle(handle); }

}  // namespace boot
