/* product_info.exe PRODUCTCODE PROPERTY...: prints each property of an installed product
 * as Windows Installer answers MsiGetProductInfoW, in UTF-8, one "PROPERTY=value" line
 * each, or "PROPERTY: error N". */
#include <stdio.h>
#include <windows.h>
#include <msi.h>

static void print_utf8(const WCHAR *text)
{
    char utf8[4096];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, NULL, NULL);
    if (length > 0)
        fputs(utf8, stdout);
}

int main(int argc, char **argv)
{
    WCHAR product[64];
    int i;

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
