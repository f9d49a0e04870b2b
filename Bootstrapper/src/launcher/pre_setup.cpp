#include "launcher/pre_setup.h"

#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

// `folder` holds the default program: its full path goes into `path`.
bool FindDefaultProgramIn(Platform& platform, const TextBuffer& folder, TextBuffer& path)
{
    return !folder.IsEmpty() && path.Format("%s\\%s", folder.Get(), kDefaultSetupProgram) &&
           FileExists(platform, path.Get());
}

// In the order of the platform's own search: the program's folder, then the current one.
bool FindDefaultProgram(Platform& platform, const TextBuffer& currentDirectory, TextBuffer& path)
{
    TextBuffer programFolder;
    if (ReadProgramFolder(platform, programFolder) == AnsiName::exact &&
        FindDefaultProgramIn(platform, programFolder, path)) {
        return true;
    }
    if (FindDefaultProgramIn(platform, currentDirectory, path)) {
        return true;
    }
    path.Clear();
    return false;
}

}  // namespace

PreSetupPlan PlanPreSetup(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                          PreSetupCommand& command)
{
    command.commandLine.Clear();
    command.application.Clear();
    TextBuffer program;
    if (!ReadSetupValue(platform, iniPath, kStartSection, "SetupPath", program)) {
        return PreSetupPlan::commandTooLong;
    }
    if (program.IsEmpty()) {
        program.Assign(kDefaultSetupProgram);
        if (!FindDefaultProgram(platform, currentDirectory, command.application)) {
            return PreSetupPlan::nothingToRun;
        }
    }
    if (!command.commandLine.Format("%s %s", program.Get(), kSetupProgramSwitch)) {
        return PreSetupPlan::commandTooLong;
    }
    return PreSetupPlan::run;
}

}  // namespace boot
