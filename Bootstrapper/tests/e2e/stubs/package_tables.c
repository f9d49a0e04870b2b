/* package_tables.exe PACKAGE [--transform TRANSFORM]... TABLE...: the tables of a package
 * as Windows Installer reads them once the transforms are applied, in order, as msiexec
 * applies those of TRANSFORMS. In UTF-8, one line each, fields separated by tabs (a tab,
 * line break or backslash in a value is written \t, \n, \r or \\; an empty field is an
 * empty value or a null):
 *   table NAME COLUMN...     then one "row VALUE..." line per row
 *   missing NAME             the package has no such table
 * Exits with the result of the first call that fails, after saying which. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>
#include <windows.h>
#include "escaped_text.h"
#include <msi.h>
#include <msiquery.h>

static void print_fields(const char *kind, MSIHANDLE record)
{
    UINT count = MsiRecordGetFieldCount(record), field;
    fputs(kind, stdout);
    for (field = 1; field <= count; field++) {
        WCHAR empty[1] = {0};
        DWORD length = 0;
        WCHAR *value;
        putchar('\t');
        /* A value of any length: its length first, then the value. */
        if (MsiRecordGetStringW(record, field, empty, &length) != ERROR_MORE_DATA) {
            continue;
        }
        value = (WCHAR *)malloc((length + 1) * sizeof(WCHAR));
        length += 1;
        if (value != NULL && MsiRecordGetStringW(record, field, value, &length) == ERROR_SUCCESS)
            print_text(value);
        free(value);
    }
    putchar('\n');
}

static UINT print_table(MSIHANDLE database, const WCHAR *table)
{
    WCHAR query[256];
    MSIHANDLE view = 0, record = 0;
    UINT result;

    if (MsiDatabaseIsTablePersistentW(database, table) != MSICONDITION_TRUE) {
        fputs("missing\t", stdout);
        print_text(table);
        putchar('\n');
        return ERROR_SUCCESS;
    }
    if (lstrlenW(table) > 64 || wcschr(table, L'`'))
        return ERROR_INVALID_PARAMETER;
    wsprintfW(query, L"SELECT * FROM `%s`", table);
    result = MsiDatabaseOpenViewW(database, query, &view);
    if (result == ERROR_SUCCESS)
        result = MsiViewExecute(view, 0);
    if (result == ERROR_SUCCESS)
        result = MsiViewGetColumnInfo(view, MSICOLINFO_NAMES, &record);
    if (result != ERROR_SUCCESS) {
        fputs("error\t", stdout);
        print_text(table);
        printf("\t%u\n", result);
        if (view)
            MsiCloseHandle(view);
        return result;
    }
    fputs("table\t", stdout);
    print_text(table);
    print_fields("", record);
    MsiCloseHandle(record);
    while (MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        print_fields("row", record);
        MsiCloseHandle(record);
    }
    MsiCloseHandle(view);
    return ERROR_SUCCESS;
}

int main(void)
{
    MSIHANDLE database = 0;
    UINT result;
    int argc, i;
    /* Wide: a folder's name need not fit the ANSI code page. */
    WCHAR **argv = CommandLineToArgvW(GetCommandLineW(), &argc);

    if (argv == NULL || argc < 3) {
        fprintf(stderr, "usage: package_tables PACKAGE [--transform TRANSFORM]... TABLE...\n");
        return 87;
    }
    result = MsiOpenDatabaseW(argv[1], (LPCWSTR)MSIDBOPEN_READONLY, &database);
    if (result != ERROR_SUCCESS) {
        printf("error\tMsiOpenDatabase\t%u\n", result);
        return (int)result;
    }
    for (i = 2; i + 1 < argc && lstrcmpW(argv[i], L"--transform") == 0; i += 2) {
        result = MsiDatabaseApplyTransformW(database, argv[i + 1], 0);
        if (result != ERROR_SUCCESS) {
            fputs("error\tMsiDatabaseApplyTransform ", stdout);
            print_text(argv[i + 1]);
            printf("\t%u\n", result);
            MsiCloseHandle(database);
            return (int)result;
        }
    }
    for (; i < argc && result == ERROR_SUCCESS; i++)
        result = print_table(database, argv[i]);
    MsiCloseHandle(database);
    return (int)result;
}
