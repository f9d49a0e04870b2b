#include "launcher/pre_setup.h"

#include "services/ansi_names.h"
#include "services/file_search.h"
#include "services/setup_ini.h"

namespace boot {

namespace {

PreSetupPlan PlanOfEntry(Entry entry, PreSetupPlan present)
{
    switch (entry) {
    case Entry::present:
        return present;
    case Entry::absent:
        break;
    case Entry::unreadable:
        return PreSetupPlan::folderUnreadable;  // never taken as missing
    }
    return PreSetupPlan::nothingToRun;
}

// Whether `folder` holds the default program: its full path goes into `path`.
PreSetupPlan FindDefaultProgramIn(Platform& platform, const TextBuffer& folder, TextBuffer& path)
{
    if (folder.IsEmpty()) {
        return PreSetupPlan::nothingToRun;
    }
    if (!path.Format("%s\\%s", folder.Get(), kDefaultSetupProgram) || !FitsFileFunctions(platform, path.Get())) {
        return PreSetupPlan::pathTooLong;  // never taken as missing
    }
    return PlanOfEntry(FindEntry(platform, path.Get()), PreSetupPlan::run);
}

// The default program beside a program whose folder the ANSI code page cannot name: it
// cannot be started by that name, and passing it over would start another one.
PreSetupPlan FindDefaultProgramBeside(Platform& platform, WideChar (&folder)[kTextBufferSize])
{
    std::size_t end = 0;
    while (folder[end] != 0) {
        ++end;
    }
    if (end + 1 + TextLength(kDefaultSetupProgram) > kLongestFilePath) {
        return PreSetupPlan::pathTooLong;
    }
    folder[end++] = u'\\';
    for (const char* name = kDefaultSetupProgram; *name != '\0'; ++name) {
        folder[end++] = static_cast<WideChar>(*name);  // ASCII
    }
    folder[end] = 0;
    return PlanOfEntry(FindEntry(platform, folder), PreSetupPlan::unsupportedPath);
}

// In the order of the platform's own search: the program's folder, then the current one.
PreSetupPlan FindDefaultProgram(Platform& platform, const TextBuffer& currentDirectory, TextBuffer& path)
{
    TextBuffer programFolder;
    WideChar wideFolder[kTextBufferSize] = {};
    PreSetupPlan found = PreSetupPlan::nothingToRun;
    switch (ReadProgramFolder(platform, programFolder, wideFolder)) {
    case AnsiName::exact:
        found = FindDefaultProgramIn(platform, programFolder, path);
        break;
    case AnsiName::inexact:
        found = FindDefaultProgramBeside(platform, wideFolder);
        break;
    case AnsiName::tooLong:
        break;
    }
    if (found == PreSetupPlan::nothingToRun) {
        found = FindDefaultProgramIn(platform, currentDirectory, path);
    }
    if (found != PreSetupPlan::run) {
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
    switch (ReadSetupValue(platform, iniPath, kStartSection, kSetupPathKey, program)) {
    case SetupValue::read:
        break;
    case SetupValue::tooLong:
        return PreSetupPlan::settingTooLong;
    case SetupValue::unusableCharacters:
        return PreSetupPlan::unusableSetting;
    }
    if (program.IsEmpty()) {
        program.Assign(kDefaultSetupProgram);
        const PreSetupPlan found = FindDefaultProgram(platform, currentDirectory, command.application);
        if (found != PreSetupPlan::run) {
            return found;
        }
    }
    if (!command.commandLine.Format("%s %s", program.Get(), kSetupProgramSwitch)) {
        return PreSetupPlan::commandTooLong;
    }
    return PreSetupPlan::run;
}

}  // namespace boot
