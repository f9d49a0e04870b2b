/* A text as the helper programs print it: UTF-8, in lines of fields separated by tabs, so a
 * tab, line break or backslash in it is written \t, \n, \r or \\. */
#ifndef E2E_STUBS_ESCAPED_TEXT_H
#define E2E_STUBS_ESCAPED_TEXT_H

#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

static void print_text(const WCHAR *text)
{
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, NULL, 0, NULL, NULL);
    char *utf8 = length > 0 ? (char *)malloc((size_t)length) : NULL;
    const char *c;
    if (utf8 == NULL || WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, length, NULL, NULL) <= 0) {
        free(utf8);
        return;
    }
    for (c = utf8; *c; c++) {
        switch (*c) {
        case '\t': fputs("\\t", stdout); break;
        case '\n': fputs("\\n", stdout); break;
        case '\r': fputs("\\r", stdout); break;
        case '\\': fputs("\\\\", stdout); break;
        default: putchar(*c);
        }
    }
    free(utf8);
}

#endif
