/* apply_transform.exe DATABASE TRANSFORM...: applies the transforms in order to the
 * package with Windows Installer's own MsiDatabaseApplyTransform and commits the result
 * into the same file. Prints the first call that fails and exits with its result. */
#include <stdio.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

int main(int argc, char **argv)
{
    MSIHANDLE database = 0;
    UINT result;
    int i;

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
