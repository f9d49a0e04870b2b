#pragma once
// Which program a command line names, as Windows' CreateProcess reads it without an
// application name: a quoted first part, or else the shortest blank-separated beginning
// that names an existing file (".exe" added to a name without extension). Windows tries
// "C:\Program.exe" before "C:\Program Files\X\setup.exe".

#include "common/fixed_text.h"
#include "platform/platform.h"

namespace boot {

struct ProgramPart {
    TextBuffer path;          // without quotes, without an added ".exe"
    bool quoted = false;
    bool holdsBlank = false;  // a blank or tab inside the program's path
    bool relative = false;    // no drive and no leading backslash
    bool inFolder = false;    // relative, and there in the package folder
    bool everyWindowsHas = false;  // a bare name of a program in every Windows' system folder (cmd.exe)
};

// The file Windows looks for as `part`: relative to `folder`, or as given, with ".exe"
// added to a name without extension; false when it does not fit a TextBuffer.
bool ComposeProgramFile(const char* folder, const char* part, TextBuffer& file);

// `folder`: the folder Bootstrapper.exe runs in (its own and the current one).
void FindProgramPart(Platform& platform, const char* folder, const char* commandLine, ProgramPart& part);

}  // namespace boot
