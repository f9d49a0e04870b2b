// The program's entry: wires the real platform into the run.
#include <windows.h>

#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "platform/win32_platform.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/, int /*showCommand*/)
{
    boot::RestrictDllSearchToSystemDirectory();
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
