#include "msi_file/reading/isolated_run.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace boot::msi {

namespace {

// Set in the child only.
bool& ChildFlag()
{
    static bool inChild = false;
    return inChild;
}

constexpr int kSucceeded = 0;
constexpr int kFailed = 1;

// The child dies of its fault as the system kills any process: no handler of a
// sanitizer or fuzzer reports it as the tool's own, and no core file is left behind.
void DieQuietlyOnFaults()
{
    struct rlimit noCore {};
    static_cast<void>(setrlimit(RLIMIT_CORE, &noCore));
    for (const int fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGTRAP}) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        static_cast<void>(sigaction(fault, &action, nullptr));
    }
}

std::string SignalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "a segmentation fault";
    case SIGBUS:
        return "a bus error";
    case SIGABRT:
        return "an abort";
    case SIGFPE:
        return "an arithmetic fault";
    default:
        return std::string("signal ") + std::to_string(signal);
    }
}

void Pause()
{
    constexpr long kTwoMilliseconds = 2L * 1000 * 1000;
    const timespec pause{0, kTwoMilliseconds};
    static_cast<void>(nanosleep(&pause, nullptr));
}

}  // namespace

bool InIsolatedChild() { return ChildFlag(); }

IsolatedOutcome RunIsolated(bool (*work)(const std::string& argument), const std::string& argument,
                            unsigned seconds, std::string& what)
{
    static_cast<void>(std::fflush(nullptr));
    const pid_t child = fork();
    if (child < 0) {
        what = std::strerror(errno);
        return IsolatedOutcome::unavailable;
    }
    if (child == 0) {
        ChildFlag() = true;
        DieQuietlyOnFaults();
        // What the libraries say of a damaged file there is the parent's to report.
        const int nothing = open("/dev/null", O_WRONLY);
        if (nothing >= 0) {
            static_cast<void>(dup2(nothing, STDOUT_FILENO));
            static_cast<void>(dup2(nothing, STDERR_FILENO));
        }
        _exit(work(argument) ? kSucceeded : kFailed);
    }
    const std::time_t deadline = std::time(nullptr) + static_cast<std::time_t>(seconds);
    int status = 0;
    for (;;) {
        const pid_t ended = waitpid(child, &status, WNOHANG);
        if (ended == child) {
            break;
        }
        if (ended < 0 && errno != EINTR) {
            what = std::strerror(errno);
            return IsolatedOutcome::unavailable;
        }
        if (std::time(nullptr) > deadline) {
            static_cast<void>(kill(child, SIGKILL));
            static_cast<void>(waitpid(child, &status, 0));
            what = "no end after " + std::to_string(seconds) + " seconds";
            return IsolatedOutcome::hung;
        }
        Pause();
    }
    if (WIFSIGNALED(status)) {
        what = SignalName(WTERMSIG(status));
        return IsolatedOutcome::crashed;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == kSucceeded ? IsolatedOutcome::succeeded
                                                                  : IsolatedOutcome::failed;
}

}  // namespace boot::msi
