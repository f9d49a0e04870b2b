/* Clicks a window's close box: sends SC_CLOSE to the top-level window whose title is the
 * first argument, as the close box in the title bar would (no window manager needed). */
#include <windows.h>

int main(int argc, char** argv)
{
    HWND window;
    if (argc < 2) {
        return 2;
    }
    window = FindWindowA(NULL, argv[1]);
    if (window == NULL) {
        return 1;
    }
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    return 0;
}
