/* apply_transform.exe DATABASE TRANSFORM...: applies the transforms in order to the
 * package with Windows Installer's own MsiDatabaseApplyTransform and commits the result
 * into the same file. Prints the first call that fails and exits with its result.
 * apply_transform.exe --summary FILE: prints the summary information Windows Installer
 * reads from a package or a transform, one "PID=value" line per property it holds. */
#include <stdio.h>
#include <string.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

static int print_summary(const char *path)
{
    MSIHANDLE summary = 0;
    UINT pid;
    UINT result = MsiGetSummaryInformationA(0, path, 0, &summary);

    if (result != ERROR_SUCCESS) {
        printf("MsiGetSummaryInformationA: %u\n", result);
        return (int)result;
    }
    for (pid = 1; pid <= 19; pid++) {
        UINT type = 0;
        INT number = 0;
        FILETIME time;
        char text[1024];
        DWORD length = sizeof text;
        if (MsiSummaryInfoGetPropertyA(summary, pid, &type, &number, &time, text, &length) != ERROR_SUCCESS)
            continue;
        if (type == VT_LPSTR)
            printf("%u=%s\n", pid, text);
        else if (type == VT_I2 || type == VT_I4)
            printf("%u=%d\n", pid, number);
    }
    MsiCloseHandle(summary);
    return 0;
}

int main(int argc, char **argv)
{
    MSIHANDLE database = 0;
    UINT result;
    int i;

    if (argc == 3 && strcmp(argv[1], "--summary") == 0)
        return print_summary(argv[2]);
    if (argc < 3) {
        fprintf(stderr, "usage: apply_transform DATABASE TRANSFORM...\n");
        return 87;
    }
    result = MsiOpenDatabaseA(argv[1], MSIDBOPEN_TRANSACT, &database);
    if (result != ERROR_SUCCESS) {
        printf("MsiOpenDatabaseA: %u\n", result);
        return (int)result;
    }
    for (i = 2; i < argc; i++) {
        result = MsiDatabaseApplyTransformA(database, argv[i], 0);
        if (result != ERROR_SUCCESS) {
            printf("MsiDatabaseApplyTransformA %s: %u\n", argv[i], result);
            MsiCloseHandle(database);
            return (int)result;
        }
    }
    result = MsiDatabaseCommit(database);
    if (result != ERROR_SUCCESS) {
        printf("MsiDatabaseCommit: %u\n", result);
    }
    MsiCloseHandle(database);
    return (int)result;
}
