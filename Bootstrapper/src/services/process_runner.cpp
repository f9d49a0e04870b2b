#include "services/process_runner.h"

#include "common/step_result.h"

namespace boot {

std::int32_t RunAndWait(Platform& platform, char* commandLine, const char* applicationName)
{
    const StartupInfoArgs startupInfo{kStartupInfoSize};
    const SecurityAttributesArgs processAttributes{kSecurityAttributesSize, nullptr, true};
    const SecurityAttributesArgs threadAttributes{kSecurityAttributesSize, nullptr, false};

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
    if (!platform.CreateProcessA(args, &process)) {
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
