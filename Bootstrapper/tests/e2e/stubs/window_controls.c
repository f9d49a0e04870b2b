/* window_controls.exe list: every visible top-level window of the desktop and the controls
 * in it, as Windows itself sees them, in UTF-8, one line each, fields separated by tabs
 * (a tab, line break or backslash in a text is written \t, \n, \r or \\):
 *   window  HWND  CLASS  CLIENT-WIDTH  CLIENT-HEIGHT  SCREEN-X  SCREEN-Y  TITLE
 *   control HWND  PARENT-HWND  CLASS  STYLE  ENABLED  VISIBLE  CHECKED  X  Y  WIDTH  HEIGHT  TEXT
 * A control's place is in its top-level window's client area; CHECKED is BM_GETCHECK's
 * answer for a button, -1 for anything else. HWNDs and STYLE are hexadecimal.
 * window_controls.exe click HWND: presses the button as a click does (BM_CLICK, posted:
 * a button whose handler opens a modal dialog would otherwise hold this program), when it
 * is a visible, enabled window; exits with 1 and says why when it is not. */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>
#include "escaped_text.h"

static void print_class(HWND window)
{
    WCHAR name[256];
    if (!GetClassNameW(window, name, 256))
        name[0] = 0;
    print_text(name);
}

/* A button's state; another process's button answers within a second, or not at all. */
static int check_state(HWND control)
{
    WCHAR name[64];
    DWORD_PTR state = 0;
    if (!GetClassNameW(control, name, 64) || lstrcmpiW(name, L"Button") != 0)
        return -1;
    if (!SendMessageTimeoutW(control, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG, 1000, &state))
        return -1;
    return (int)state;
}

/* A window's text whole, however long (an empty one when it cannot be had). */
static WCHAR *window_text(HWND window)
{
    int length = GetWindowTextLengthW(window);
    WCHAR *text = (WCHAR *)malloc(((size_t)(length > 0 ? length : 0) + 1) * sizeof(WCHAR));
    if (text != NULL && (length <= 0 || !GetWindowTextW(window, text, length + 1)))
        text[0] = 0;
    return text;
}

static BOOL CALLBACK print_control(HWND control, LPARAM top)
{
    WCHAR *text = window_text(control);
    RECT rect;
    POINT corner;
    GetWindowRect(control, &rect);
    corner.x = rect.left;
    corner.y = rect.top;
    ScreenToClient((HWND)top, &corner);
    printf("control\t%lx\t%lx\t", (unsigned long)(ULONG_PTR)control,
           (unsigned long)(ULONG_PTR)GetParent(control));
    print_class(control);
    printf("\t%lx\t%d\t%d\t%d\t%ld\t%ld\t%ld\t%ld\t", (unsigned long)GetWindowLongW(control, GWL_STYLE),
           IsWindowEnabled(control) ? 1 : 0, IsWindowVisible(control) ? 1 : 0, check_state(control),
           corner.x, corner.y, rect.right - rect.left, rect.bottom - rect.top);
    if (text != NULL)
        print_text(text);
    putchar('\n');
    free(text);
    return TRUE;
}

static BOOL CALLBACK print_window(HWND window, LPARAM unused)
{
    WCHAR *title;
    RECT client;
    POINT origin = {0, 0};
    (void)unused;
    if (!IsWindowVisible(window))
        return TRUE;
    title = window_text(window);
    GetClientRect(window, &client);
    ClientToScreen(window, &origin);
    printf("window\t%lx\t", (unsigned long)(ULONG_PTR)window);
    print_class(window);
    printf("\t%ld\t%ld\t%ld\t%ld\t", client.right, client.bottom, origin.x, origin.y);
    if (title != NULL)
        print_text(title);
    putchar('\n');
    free(title);
    EnumChildWindows(window, print_control, (LPARAM)window);
    return TRUE;
}

static int click(const char *handle)
{
    char *end;
    HWND button = (HWND)(ULONG_PTR)strtoul(handle, &end, 16);
    if (*handle == '\0' || *end != '\0' || !IsWindow(button)) {
        printf("no window %s\n", handle);
        return 1;
    }
    if (!IsWindowVisible(button) || !IsWindowEnabled(button)) {
        printf("window %s is hidden or disabled\n", handle);
        return 1;
    }
    if (!PostMessageW(button, BM_CLICK, 0, 0)) {
        printf("BM_CLICK could not be posted to %s: error %lu\n", handle, GetLastError());
        return 1;
    }
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 2 && strcmp(argv[1], "list") == 0) {
        EnumWindows(print_window, 0);
        return 0;
    }
    if (argc == 3 && strcmp(argv[1], "click") == 0)
        return click(argv[2]);
    fprintf(stderr, "usage: window_controls list | window_controls click HWND\n");
    return 87;
}
