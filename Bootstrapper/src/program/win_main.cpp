// The program's entry: wires the real platform into the run.
//
// The C runtime's start-up code is not linked (-nostartfiles): the program reads no
// command line, environment or locale through the C library, and it was a quarter of the
// file. The process starts in BootstrapperEntry, which does the part of that start-up this
// program needs.
#include <windows.h>

#include <cstddef>

#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "platform/win32_platform.h"

namespace {

// Constructors of static objects, which the linker gathers between a -1 and a 0 entry.
// The program has none; should one appear, it still runs, last entry first as the C
// runtime runs them.
using StaticConstructor = void (*)();
extern "C" const StaticConstructor kStaticConstructors[] __asm__("___CTOR_LIST__");

void RunStaticConstructors()
{
    std::size_t count = 1;
    while (kStaticConstructors[count] != nullptr) {
        ++count;
    }
    while (--count > 0) {
        kStaticConstructors[count]();
    }
}

int RunProgram(HINSTANCE instance)
{
    // The run's state lives in this frame for the whole run: it starts all zero without
    // taking room in the file, and its holders close what they still hold when the run
    // returns.
    boot::Win32Platform platform;
    boot::RunState state(platform);
    // The module handle crosses into the portable logic as an integer.
    // NOLINTNEXTLINE(cppcoreguidelines-pro-type-reinterpret-cast)
    state.instance = reinterpret_cast<boot::ModuleHandle>(instance);
    return boot::RunBootstrapper(platform, state);
}

}  // namespace

// Windows promises the entry only a 4-byte aligned stack, so it is realigned here. The
// exit code goes to ExitProcess, as the C runtime's exit would hand it on.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void BootstrapperEntry()
{
    RunStaticConstructors();
    ::ExitProcess(static_cast<UINT>(RunProgram(::GetModuleHandleA(nullptr))));
}
