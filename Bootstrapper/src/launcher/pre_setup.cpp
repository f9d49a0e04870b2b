#include "launcher/pre_setup.h"

#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

enum class Candidate { found, absent, pathTooLong };

// Whether `folder` holds the default program: its full path goes into `path`.
Candidate FindDefaultProgramIn(Platform& platform, const TextBuffer& folder, TextBuffer& path)
{
    if (folder.IsEmpty()) {
        return Candidate::absent;
    }
    if (!path.Format("%s\\%s", folder.Get(), kDefaultSetupProgram) || !FitsFileFunctions(path.Get())) {
        return Candidate::pathTooLong;  // never taken as missing
    }
    return FileExists(platform, path.Get()) ? Candidate::found : Candidate::absent;
}

// In the order of the platform's own search: the program's folder, then the current one.
Candidate FindDefaultProgram(Platform& platform, const TextBuffer& currentDirectory, TextBuffer& path)
{
    TextBuffer programFolder;
    Candidate found = Candidate::absent;
    if (ReadProgramFolder(platform, programFolder) == AnsiName::exact) {
        found = FindDefaultProgramIn(platform, programFolder, path);
    }
    if (found == Candidate::absent) {
        found = FindDefaultProgramIn(platform, currentDirectory, path);
    }
    if (found != Candidate::found) {
        path.Clear();
    }
    return found;
}

}  // namespace

PreSetupPlan PlanPreSetup(Platform& platform, const TextBuffer& iniPath, const TextBuffer& currentDirectory,
                          PreSetupCommand& command)
{
    command.commandLine.Clear();
    command.application.Clear();
    TextBuffer program;
    switch (ReadSetupValue(platform, iniPath, kStartSection, "SetupPath", program)) {
    case SetupValue::read:
        break;
    case SetupValue::tooLong:
        return PreSetupPlan::commandTooLong;
    case SetupValue::unusableCharacters:
        return PreSetupPlan::unusableSetting;
    }
    if (program.IsEmpty()) {
        program.Assign(kDefaultSetupProgram);
        switch (FindDefaultProgram(platform, currentDirectory, command.application)) {
        case Candidate::found:
            break;
        case Candidate::absent:
            return PreSetupPlan::nothingToRun;
        case Candidate::pathTooLong:
            return PreSetupPlan::pathTooLong;
        }
    }
    if (!command.commandLine.Format("%s %s", program.Get(), kSetupProgramSwitch)) {
        return PreSetupPlan::commandTooLong;
    }
    return PreSetupPlan::run;
}

}  // namespace boot
