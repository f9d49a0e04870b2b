/* Holds a file open as an editor, a virus scanner or a sync client may, until it is ended
 * (at most a minute): holder FILE SHARE_MODE MARKER. SHARE_MODE is the hexadecimal
 * FILE_SHARE_* mask; MARKER is created once FILE is open. */
#include <windows.h>
#include <stdlib.h>

int main(int argc, char** argv)
{
    HANDLE file;
    HANDLE marker;
    int i;
    if (argc < 4) {
        return 2;
    }
    file = CreateFileA(argv[1], GENERIC_READ | GENERIC_WRITE | DELETE, (DWORD)strtoul(argv[2], NULL, 16), NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) {
        return 1;
    }
    marker = CreateFileA(argv[3], GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (marker == INVALID_HANDLE_VALUE) {
        return 1;
    }
    CloseHandle(marker);
    for (i = 0; i < 600; ++i) {
        Sleep(100);
    }
    CloseHandle(file);
    return 0;
}
