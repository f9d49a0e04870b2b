// bootstrapper-check: the checker on Linux, where packages are built. It wires the Linux
// platform in; the registry and the installed products of the machine that will run the
// setup are unknown here.
#include "checker/check_command.h"
#include "checker/linux_platform.h"
#include "checker/stdio_output.h"

int main(int argc, char** argv)
{
    boot::StdioOutput out(stdout);
    boot::StdioOutput errors(stderr);
    boot::CheckRequest<char> request;
    switch (boot::ParseCheckArguments(argc, argv, request)) {
    case boot::CheckArguments::check:
        break;
    case boot::CheckArguments::help:
        boot::WriteCheckUsage("bootstrapper-check", out);
        return boot::kCheckPassed;
    case boot::CheckArguments::wrong:
        boot::WriteCheckUsage("bootstrapper-check", errors);
        return boot::kCheckUnusable;
    }
    // Large (the package reader's tables): one for the process, outside the stack.
    static boot::LinuxPlatform platform;
    boot::TextBuffer reason;
    if (!platform.UseFolder(request.folder != nullptr ? request.folder : ".", reason)) {
        errors.Write("bootstrapper-check: ");
        errors.Write(reason.Get());
        errors.Write("\n");
        return boot::kCheckUnusable;
    }
    return boot::RunCheck(platform, platform.record, false, request.quiet, out);
}
