#pragma once
// Ownership of Windows Installer handles.

#include "platform/platform.h"

namespace boot {

// Owns one Windows Installer handle; 0 means empty. Closes it when reused as an
// out-parameter and when it ends. Never copied.
class MsiHandleHolder {
public:
    explicit MsiHandleHolder(Platform& platform) : platform_(platform) {}
    ~MsiHandleHolder() { Release(); }
    MsiHandleHolder(const MsiHandleHolder&) = delete;
    MsiHandleHolder& operator=(const MsiHandleHolder&) = delete;

    // Closes the held handle, empties the holder and returns the address for a call
    // that creates a new handle.
    MsiHandle* ResetForOutput()
    {
        Release();
        return &handle_;
    }
    MsiHandle Get() const { return handle_; }
    bool IsEmpty() const { return handle_ == 0; }
    void Release()
    {
        if (handle_ != 0) {
            platform_.MsiCloseHandle(handle_);
            handle_ = 0;
        }
    }

private:
    Platform& platform_;
    MsiHandle handle_ = 0;
};

// The package's database, its Property view and the current row. Open from package
// inspection to the end of the run, so the database stays open read-only while msiexec
// runs.
struct PackageHandles {
    explicit PackageHandles(Platform& platform) : database(platform), view(platform), record(platform) {}
    MsiHandleHolder database;
    MsiHandleHolder view;
    MsiHandleHolder record;
};

// Releases in the order record, view, database; an empty holder is skipped.
inline void ReleasePackageHandles(PackageHandles& handles)
{
    handles.record.Release();
    handles.view.Release();
    handles.database.Release();
}

}  // namespace boot
