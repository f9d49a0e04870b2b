/*
 * floor.exe PACKAGE - the yardstick of scripts/bench.sh: the work Bootstrapper.exe cannot
 * avoid for an installed product, and nothing else. It reads the package's Property
 * table, asks Windows Installer for the installed version of its product, starts
 * "msiexec /i PACKAGE" from the system folder and waits for it; its exit code is
 * msiexec's. What Bootstrapper.exe takes beyond this program's time is its own cost.
 */
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <stdio.h>
#include <string.h>

#define TEXT_SIZE 1024

/* The package's ProductCode, read the way Bootstrapper.exe reads it: every row of the
 * Property table is fetched. */
static UINT read_product_code(const char *package, char *code)
{
    MSIHANDLE database = 0, view = 0, record = 0;
    UINT result = MsiOpenDatabaseA(package, MSIDBOPEN_READONLY, &database);
    if (result == ERROR_SUCCESS)
        result = MsiDatabaseOpenViewA(database, "SELECT * from Property", &view);
    if (result == ERROR_SUCCESS)
        result = MsiViewExecute(view, 0);
    while (result == ERROR_SUCCESS && MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        char name[TEXT_SIZE], value[TEXT_SIZE];
        DWORD name_size = TEXT_SIZE, value_size = TEXT_SIZE;
        if (MsiRecordGetStringA(record, 1, name, &name_size) == ERROR_SUCCESS &&
            MsiRecordGetStringA(record, 2, value, &value_size) == ERROR_SUCCESS &&
            strcmp(name, "ProductCode") == 0)
            lstrcpynA(code, value, TEXT_SIZE);
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    MsiCloseHandle(database);
    return result;
}

static DWORD run_msiexec(const char *package)
{
    char path[MAX_PATH], msiexec[MAX_PATH + 16], command_line[2 * MAX_PATH + 16];
    STARTUPINFOA startup;
    PROCESS_INFORMATION process;
    DWORD exit_code = 1;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    GetFullPathNameA(package, MAX_PATH, path, NULL);
    GetSystemDirectoryA(msiexec, MAX_PATH);
    lstrcatA(msiexec, "\\msiexec.exe");
    snprintf(command_line, sizeof command_line, "msiexec /i %s", path);
    if (!CreateProcessA(msiexec, command_line, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL,
                        &startup, &process))
        return 1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    GetExitCodeProcess(process.hProcess, &exit_code);
    CloseHandle(process.hProcess);
    return exit_code;
}

int main(int argc, char **argv)
{
    char code[TEXT_SIZE] = "", version[TEXT_SIZE];
    DWORD version_size = TEXT_SIZE;
    if (argc != 2 || read_product_code(argv[1], code) != ERROR_SUCCESS)
        return 1;
    if (MsiGetProductInfoA(code, INSTALLPROPERTY_VERSIONSTRING, version, &version_size) != ERROR_SUCCESS)
        return 1;
    return (int)run_msiexec(argv[1]);
}
