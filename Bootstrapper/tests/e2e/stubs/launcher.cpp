/*
 * launcher.exe <working directory> <exit-code file> <program path> [command line]
 *
 * Starts the program with the given current directory, waits for it and writes
 * its full 32-bit exit code (unsigned decimal) to the exit-code file; the exit
 * status of a Unix "wine" process keeps only the low 8 bits.
 *
 * Without a command line the program gets its quoted path as command line.
 *
 * The program runs inside a job object. After the program has ended and its
 * exit code is written, the launcher waits until every process it started has
 * ended too, so that a run is over only when nothing of it is left. While
 * waiting, the launcher watches for the file "<exit-code file>.abort" and then
 * terminates the whole job. The Windows process id of the program is written
 * to "<exit-code file>.pid" right after the start.
 *
 * Arguments are taken in UTF-16, so that folders whose names the ANSI code page
 * cannot hold can still be the program's current directory.
 *
 * Exit status: 0 when the exit code was written, 2 when the program could not
 * be started, 3 when the run was aborted, 1 on bad arguments or I/O errors.
 */
#include <windows.h>
#include <shellapi.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

static BOOL write_text(const wchar_t *path, const char *text)
{
    HANDLE h = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return FALSE;
    DWORD written = 0;
    BOOL ok = WriteFile(h, text, (DWORD)strlen(text), &written, NULL);
    CloseHandle(h);
    return ok && written == strlen(text);
}

static DWORD job_active_processes(HANDLE job)
{
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info;
    ZeroMemory(&info, sizeof info);
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info,
                                   sizeof info, NULL))
        return 0;
    return info.ActiveProcesses;
}

/* Ends everything of the run when the abort file has appeared. */
static BOOL aborted(const wchar_t *abort_file, HANDLE job, HANDLE process)
{
    if (GetFileAttributesW(abort_file) == INVALID_FILE_ATTRIBUTES)
        return FALSE;
    if (job)
        TerminateJobObject(job, 0xDEADu);
    if (process) {
        TerminateProcess(process, 0xDEADu);
        WaitForSingleObject(process, 5000);
    }
    return TRUE;
}

int main(void)
{
    int argc = 0;
    wchar_t **argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == NULL || argc < 4 || argc > 5) {
        fprintf(stderr, "usage: launcher <working directory> <exit-code file> "
                        "<program path> [command line]\n");
        return 1;
    }
    const wchar_t *workdir = argv[1];
    const wchar_t *exit_file = argv[2];
    const wchar_t *program = argv[3];

    static wchar_t cmdline[65536];
    if (argc == 5) {
        if (wcslen(argv[4]) >= sizeof cmdline / sizeof cmdline[0])
            return 1;
        wcscpy(cmdline, argv[4]);
    } else {
        _snwprintf(cmdline, sizeof cmdline / sizeof cmdline[0], L"\"%ls\"", program);
    }

    wchar_t abort_file[MAX_PATH * 4];
    wchar_t pid_file[MAX_PATH * 4];
    _snwprintf(abort_file, MAX_PATH * 4, L"%ls.abort", exit_file);
    _snwprintf(pid_file, MAX_PATH * 4, L"%ls.pid", exit_file);
    abort_file[MAX_PATH * 4 - 1] = L'\0';
    pid_file[MAX_PATH * 4 - 1] = L'\0';

    HANDLE job = CreateJobObjectA(NULL, NULL);

    STARTUPINFOW si;
    PROCESS_INFORMATION pi;
    ZeroMemory(&si, sizeof si);
    si.cb = sizeof si;
    ZeroMemory(&pi, sizeof pi);
    if (!CreateProcessW(program, cmdline, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL,
                        workdir, &si, &pi)) {
        fprintf(stderr, "launcher: cannot start %ls (error %lu)\n", program,
                (unsigned long)GetLastError());
        return 2;
    }
    if (job)
        AssignProcessToJobObject(job, pi.hProcess);

    char text[32];
    snprintf(text, sizeof text, "%lu", (unsigned long)pi.dwProcessId);
    write_text(pid_file, text);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);

    HANDLE process = pi.hProcess;
    while (WaitForSingleObject(process, 50) == WAIT_TIMEOUT) {
        if (aborted(abort_file, job, process))
            return 3;
    }

    DWORD code = 0;
    BOOL got_code = GetExitCodeProcess(process, &code);
    CloseHandle(process);
    if (!got_code)
        return 1;
    snprintf(text, sizeof text, "%lu", (unsigned long)code);
    if (!write_text(exit_file, text))
        return 1;

    while (job && job_active_processes(job) > 0) {
        if (aborted(abort_file, job, NULL))
            return 3;
        Sleep(50);
    }
    return 0;
}
