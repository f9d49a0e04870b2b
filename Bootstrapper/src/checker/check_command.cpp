#include "checker/check_command.h"

#include "checker/findings.h"
#include "checker/folder_check.h"
#include "checker/plan_printer.h"
#include "checker/profile_text.h"

namespace boot {

void WriteCheckUsage(const char* program, TextOutput& output)
{
    FixedText<kTextBufferSize> text;
    text.Format("usage: %s [--quiet] [FOLDER]\n"
                "\n"
                "Checks a package folder for Bootstrapper.exe: FOLDER (default: the current directory) is\n"
                "taken as the folder the program runs in. Prints what is wrong, one finding a line as\n"
                "FILE:LINE: SEVERITY: TEXT [RULE], then (unless --quiet) what the program will do there.\n"
                "Nothing is started, installed, written or shown.\n"
                "\n"
                "Exit status: 0 no error (warnings allowed), 1 at least one error, 2 wrong arguments or\n"
                "a folder that cannot be read.\n",
                program);
    output.Write(text.Get());
}

int RunCheck(CheckerPlatform& platform, DryRunRecord& record, bool machineKnown, bool quiet, TextOutput& output)
{
    // Large, and one of each per process: kept out of the stack.
    static ProfileText text;
    static Plan plan;
    plan.machineKnown = machineKnown;
    Findings findings(output);
    CheckFolder(platform, record, text, findings, plan);
    if (!quiet) {
        PrintPlan(plan, output);
    }
    return findings.Errors() == 0 ? kCheckPassed : kCheckFailed;
}

}  // namespace boot
