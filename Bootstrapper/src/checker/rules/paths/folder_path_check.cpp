#include "checker/rules/paths/folder_path_check.h"

#include "services/ansi_names.h"
#include "services/messages.h"
#include "services/setup_ini.h"

namespace boot {

bool CheckFolderPath(FolderReader& platform, TextBuffer& folder, TextBuffer& iniPath, Findings& findings)
{
    switch (ReadCurrentDirectory(platform, folder)) {
    case AnsiName::exact:
        break;
    case AnsiName::inexact:
        findings.Report(Rule::unsupportedPath, kFolderFile, 0,
                        "the folder's path has characters the ANSI code page cannot hold exactly: the setup ends "
                        "with \"%s\"",
                        kMessageUnsupportedPath);
        return false;
    case AnsiName::tooLong:
        findings.Report(Rule::tooLong, kFolderFile, 0,
                        "the folder's path is longer than 1023 characters: the setup ends with \"%s\"",
                        kMessagePathTooLong);
        return false;
    }
    if (!iniPath.Format("%s\\%s", folder.Get(), kSetupIniName)) {
        findings.Report(Rule::tooLong, kFolderFile, 0,
                        "the folder's path and \\Setup.ini are longer than 1023 characters: the setup ends with "
                        "\"%s\"",
                        kMessagePathTooLong);
        return false;
    }
    return true;
}

}  // namespace boot
