/* The demo's prerequisite: "installs" a runtime by recording its version in the
 * registry, where the demo's Setup.ini looks for it. */
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show)
{
    HKEY key;
    static const char version[] = "1.0";
    (void)instance;
    (void)previous;
    (void)commandLine;
    (void)show;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\BootstrapperDemo\\Runtime", 0, NULL, 0, KEY_SET_VALUE, NULL,
                        &key, NULL) != ERROR_SUCCESS) {
        return 1;
    }
    if (RegSetValueExA(key, "Version", 0, REG_SZ, (const BYTE*)version, sizeof version) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return 1;
    }
    RegCloseKey(key);
    return 0;
}
