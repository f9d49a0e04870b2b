#include "services/process_runner.h"

#include "common/step_result.h"

namespace boot {

namespace {

// The DLL directory set by SetDllDirectory reaches the programs the process starts (its
// documentation says so). On a legacy system the program's own restriction is lifted for
// the moment of the start, so that the started program searches its DLLs as Windows
// would have it search them without the bootstrapper.
bool StartProcess(Platform& platform, DllSearch dllSearch, const CreateProcessArgs& args, ProcessInfo& process)
{
    const bool lifted = dllSearch == DllSearch::legacy && platform.SetDllDirectoryA(nullptr);
    const bool started = platform.CreateProcessA(args, &process);
    if (lifted) {
        platform.SetDllDirectoryA("");
    }
    return started;
}

}  // namespace

std::int32_t RunAndWait(Platform& platform, DllSearch dllSearch, char* commandLine, const char* applicationName)
{
    const StartupInfoArgs startupInfo{kStartupInfoSize};
    // Filled field by field: an aggregate initialiser would be copied from an image the
    // compiler keeps in the file's writable data.
    SecurityAttributesArgs processAttributes{};
    processAttributes.length = kSecurityAttributesSize;
    processAttributes.inheritHandle = true;
    SecurityAttributesArgs threadAttributes{};
    threadAttributes.length = kSecurityAttributesSize;

    CreateProcessArgs args{};
    args.applicationName = applicationName;
    args.commandLine = commandLine;
    args.processAttributes = &processAttributes;
    args.threadAttributes = &threadAttributes;
    args.inheritHandles = false;
    args.creationFlags = kDetachedProcess;
    args.environment = nullptr;
    args.currentDirectory = nullptr;
    args.startupInfo = &startupInfo;

    ProcessInfo process{kNullHandle, kNullHandle};
    if (!StartProcess(platform, dllSearch, args, process)) {
        return kExitCannotStart;
    }
    platform.CloseHandle(process.thread);
    platform.WaitForSingleObject(process.process, kInfinite);
    std::uint32_t exitCode = 0;
    const bool haveExitCode = platform.GetExitCodeProcess(process.process, &exitCode);
    platform.CloseHandle(process.process);
    // An exit code that cannot be read is no success: report it like a program that
    // could not run at all.
    return haveExitCode ? static_cast<std::int32_t>(exitCode) : kExitCannotStart;
}

}  // namespace boot
