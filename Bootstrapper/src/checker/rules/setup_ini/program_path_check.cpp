#include "checker/rules/setup_ini/program_path_check.h"

#include <cstdint>
#include <string>

#include "checker/reading/program_part.h"
#include "checker/rules/setup_ini/setup_ini_check.h"

namespace boot {

void CheckProgramPath(const SetupIniReading& ini, const char* section, const char* key, const char* commandLine,
                      const char* missing, Findings& findings)
{
    ProgramPart part;
    FindProgramPart(ini.platform, ini.folder.c_str(), commandLine, part);
    const std::uint32_t line = KeyLine(ini.text, section, key);
    const std::string written = WrittenValue(ini.text, section, key);
    if (IsQuoted(written)) {
        // The outer pair goes. That changes the command only where it leaves quotes inside
        // that no longer pair up, or a program path with blanks unquoted; the form that
        // works keeps one more pair.
        const bool quotesLeft = written.find(written.front(), 1) != written.size() - 1;
        if (quotesLeft || (!part.quoted && part.holdsBlank)) {
            const std::string works =
                quotesLeft ? '"' + written + '"' : std::string("\"\"") + commandLine + "\"\"";
            findings.Report(Rule::quotesStripped, kSetupIniFile, line,
                            "%s=%s is read without its outer quotes, as %s%s; write %s=%s", key, written.c_str(),
                            commandLine,
                            quotesLeft ? "" : ", whose program path holds a blank and is no longer quoted", key,
                            works.c_str());
        }
    } else if (!part.quoted && part.holdsBlank) {
        findings.Report(Rule::unquotedBlanks, kSetupIniFile, line,
                        "the program %s holds a blank and is not quoted: Windows first tries the name up to the "
                        "first blank; write \"%s\"",
                        part.path.Get(), part.path.Get());
    }
    if (part.relative && !part.inFolder && !part.everyWindowsHas) {
        findings.Report(Rule::missingProgram, kSetupIniFile, line,
                        "%s is not in the folder: Windows will look for it on the system's search path; if it is "
                        "not there either, %s",
                        part.path.Get(), missing);
    }
}

}  // namespace boot
