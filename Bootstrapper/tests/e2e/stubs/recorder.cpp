/*
 * recorder.exe - stand-in for any program the bootstrapper starts (pre-setup
 * program, prerequisites, msiexec ...).
 *
 * Every start appends one line to the file named by the environment variable
 * RECORDER_LOG:
 *     <module file name> TAB <command line, unchanged> TAB <current directory> LF
 *
 * Behaviour is chosen per copy with files next to the copy's own path:
 *     <own path>.mutex     holds a mutex with the name written in this file
 *                          (created before logging, kept until the exit)
 *     <own path>.wait      while it exists, the program waits (after logging)
 *     <own path>.window    the program owns a hidden top-level window while it
 *                          waits (keeps the desktop process of Wine alive)
 *     <own path>.crash     the program dies of an access violation
 *     <own path>.exitcode  exit code: decimal (may be negative, up to
 *                          4294967295) or hexadecimal with 0x; absent -> 0
 */
#include <windows.h>

#include <stdlib.h>
#include <string.h>

static BOOL file_exists(const char *path)
{
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

static void append_record(const char *module)
{
    char log_path[MAX_PATH * 4];
    char cwd[MAX_PATH * 4];
    const char *cmdline = GetCommandLineA();
    DWORD n = GetEnvironmentVariableA("RECORDER_LOG", log_path, sizeof log_path);
    if (n == 0 || n >= sizeof log_path)
        return;

    n = GetCurrentDirectoryA(sizeof cwd, cwd);
    if (n == 0 || n >= sizeof cwd)
        lstrcpyA(cwd, "?");

    size_t len = strlen(module) + strlen(cmdline) + strlen(cwd) + 4;
    char *line = (char *)HeapAlloc(GetProcessHeap(), 0, len);
    if (!line)
        return;
    lstrcpyA(line, module);
    lstrcatA(line, "\t");
    lstrcatA(line, cmdline);
    lstrcatA(line, "\t");
    lstrcatA(line, cwd);
    lstrcatA(line, "\n");

    /* Several copies may run at once: open without sharing so that one
     * writer at a time appends a whole line. */
    HANDLE h = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < 500; ++attempt) {
        h = CreateFileA(log_path, FILE_APPEND_DATA, 0, NULL, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, NULL);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(10);
    }
    if (h != INVALID_HANDLE_VALUE) {
        DWORD written;
        SetFilePointer(h, 0, NULL, FILE_END);
        WriteFile(h, line, (DWORD)strlen(line), &written, NULL);
        CloseHandle(h);
    }
    HeapFree(GetProcessHeap(), 0, line);
}

/* Parses "123", "-1", "4294967295", "0xC0000005" (surrounding blanks allowed). */
static UINT parse_exit_code(const char *text)
{
    while (*text == ' ' || *text == '\t' || *text == '\r' || *text == '\n')
        ++text;
    int negative = 0;
    if (*text == '-' || *text == '+') {
        negative = (*text == '-');
        ++text;
    }
    unsigned long long value;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        value = _strtoui64(text + 2, NULL, 16);
    else
        value = _strtoui64(text, NULL, 10);
    UINT code = (UINT)value;
    return negative ? (UINT)(0u - code) : code;
}

/* Reads a small text file into buf (NUL-terminated); FALSE when it is absent. */
static BOOL read_small_file(const char *path, char *buf, DWORD size)
{
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD got = 0;
    if (!ReadFile(h, buf, size - 1, &got, NULL))
        got = 0;
    CloseHandle(h);
    buf[got] = '\0';
    return TRUE;
}

static UINT read_exit_code(const char *module)
{
    char path[MAX_PATH * 4 + 16];
    lstrcpyA(path, module);
    lstrcatA(path, ".exitcode");
    char buf[64];
    return read_small_file(path, buf, sizeof buf) ? parse_exit_code(buf) : 0;
}

int main(void)
{
    char module[MAX_PATH * 4];
    DWORD n = GetModuleFileNameA(NULL, module, sizeof module);
    if (n == 0 || n >= sizeof module)
        return 1;

    char path[MAX_PATH * 4 + 16];
    lstrcpyA(path, module);
    lstrcatA(path, ".mutex");
    char mutex_name[512];
    if (read_small_file(path, mutex_name, sizeof mutex_name)) {
        char *end = mutex_name + strlen(mutex_name);
        while (end > mutex_name && (end[-1] == '\r' || end[-1] == '\n' || end[-1] == ' '))
            *--end = '\0';
        CreateMutexA(NULL, TRUE, mutex_name);
    }

    append_record(module);

    lstrcpyA(path, module);
    lstrcatA(path, ".window");
    HWND window = NULL;
    if (file_exists(path)) {
        WNDCLASSA wc;
        ZeroMemory(&wc, sizeof wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(NULL);
        wc.lpszClassName = "RecorderWindow";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, wc.lpszClassName, "recorder", WS_OVERLAPPED, 0, 0, 10, 10,
                                 NULL, NULL, wc.hInstance, NULL);
    }

    lstrcpyA(path, module);
    lstrcatA(path, ".wait");
    while (file_exists(path)) {
        MSG msg;
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(20);
    }
    if (window)
        DestroyWindow(window);

    lstrcpyA(path, module);
    lstrcatA(path, ".crash");
    if (file_exists(path)) {
        /* The same unhandled exception as a write through a null pointer.
         * Raised rather than provoked: under an emulated 32-bit Wine a real
         * fault is reported as an illegal instruction. */
        ULONG_PTR info[2] = {1 /* write */, 0 /* address */};
        RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 2, info);
    }

    ExitProcess(read_exit_code(module));
}
