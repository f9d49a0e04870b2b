/* product_info.exe PRODUCTCODE PROPERTY...: prints each property of an installed product
 * as Windows Installer answers MsiGetProductInfoW, in UTF-8, one "PROPERTY=value" line
 * each, or "PROPERTY: error N".
 * product_info.exe --package PACKAGE: prints "ProductCode=..." from the package's own
 * Property table, as Windows Installer reads it, or "ProductCode: error N". */
#include <stdio.h>
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

static void print_utf8(const WCHAR *text)
{
    char utf8[4096];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    if (length > 0)
        fputs(utf8, stdout);
}

static UINT package_product_code(const char *package, WCHAR *code, DWORD *length)
{
    WCHAR path[MAX_PATH * 4];
    MSIHANDLE database = 0, view = 0, record = 0;
    UINT result;

    if (!MultiByteToWideChar(CP_ACP, 0, package, -1, path, MAX_PATH * 4))
        return ERROR_INVALID_PARAMETER;
    result = MsiOpenDatabaseW(path, (LPCWSTR)MSIDBOPEN_READONLY, &database);
    if (result == ERROR_SUCCESS)
        result = MsiDatabaseOpenViewW(database,
            L"SELECT `Value` FROM `Property` WHERE `Property`='ProductCode'", &view);
    if (result == ERROR_SUCCESS)
        result = MsiViewExecute(view, 0);
    if (result == ERROR_SUCCESS)
        result = MsiViewFetch(view, &record);
    if (result == ERROR_SUCCESS)
        result = MsiRecordGetStringW(record, 1, code, length);
    if (record)
        MsiCloseHandle(record);
    if (view)
        MsiCloseHandle(view);
    if (database)
        MsiCloseHandle(database);
    return result;
}

int main(int argc, char **argv)
{
    WCHAR product[64];
    int i;

    if (argc == 3 && strcmp(argv[1], "--package") == 0) {
        WCHAR code[128];
        DWORD length = 128;
        UINT result = package_product_code(argv[2], code, &length);
        if (result != ERROR_SUCCESS) {
            printf("ProductCode: error %u\n", result);
            return 0;
        }
        printf("ProductCode=");
        print_utf8(code);
        printf("\n");
        return 0;
    }

    if (argc < 3) {
        fprintf(stderr, "usage: product_info PRODUCTCODE PROPERTY...\n");
        return 87;
    }
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, product, 64);
    for (i = 2; i < argc; i++) {
        WCHAR property[128];
        WCHAR value[1024];
        DWORD length = 1024;
        UINT result;
        MultiByteToWideChar(CP_ACP, 0, argv[i], -1, property, 128);
        result = MsiGetProductInfoW(product, property, value, &length);
        if (result == ERROR_SUCCESS) {
            printf("%s=", argv[i]);
            print_utf8(value);
            printf("\n");
        } else {
            printf("%s: error %u\n", argv[i], result);
        }
    }
    return 0;
}
