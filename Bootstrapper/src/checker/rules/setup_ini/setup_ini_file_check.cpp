#include "checker/rules/setup_ini/setup_ini_file_check.h"

#include "checker/rules/setup_ini/setup_ini_check.h"
#include "services/messages.h"

namespace boot {

namespace {

constexpr std::size_t kBytesPerMiB = std::size_t{1} << 20;

const char* DescribeUnreadable(EntryKind kind)
{
    switch (kind) {
    case EntryKind::folder:
        return "a folder";
    case EntryKind::other:
        return "no file (a device or a pipe)";
    case EntryKind::missing:
    case EntryKind::file:
        break;
    }
    return "a file that cannot be opened for reading";
}

void ReportNotOpened(FolderReader& platform, const char* iniPath, Findings& findings)
{
    const EntryKind kind = platform.KindOf(iniPath);
    if (kind == EntryKind::missing) {
        findings.Report(Rule::noSetupIni, kSetupIniFile, 0,
                        "there is no Setup.ini: every default applies (PSetup.exe if it is there, no prerequisites, "
                        "the first *.msi, transforms beside it)");
        return;
    }
    findings.Report(Rule::setupIniUnreadable, kSetupIniFile, 0,
                    "Setup.ini is %s: Windows' reader would read every value of it as empty, so the setup ends with "
                    "\"%s\"",
                    DescribeUnreadable(kind), kMessageSetupIniUnreadable);
}

void CheckByteOrderMark(ProfileEncoding encoding, Findings& findings)
{
    if (encoding == ProfileEncoding::utf8WithMark) {
        findings.Report(Rule::utf8Bom, kSetupIniFile, 1,
                        "the file begins with a UTF-8 byte order mark: the setup refuses it (\"%s\"); save it as "
                        "ANSI, or as UTF-16 LE",
                        kMessageUtf8ByteOrderMark);
    }
    if (encoding == ProfileEncoding::utf16BigEndian) {
        findings.Report(Rule::utf16BigEndian, kSetupIniFile, 1,
                        "the file begins with the UTF-16 big-endian byte order mark FE FF, which Windows' reader "
                        "does not know (it reads every value as empty): the setup refuses it (\"%s\"); save it as "
                        "ANSI, or as UTF-16 LE",
                        kMessageUtf16BigEndian);
    }
}

}  // namespace

bool CheckSetupIniFile(FolderReader& platform, const char* iniPath, ProfileLoad load, const ProfileText& text,
                       Findings& findings)
{
    switch (load) {
    case ProfileLoad::read:
        break;
    case ProfileLoad::notOpened:
        ReportNotOpened(platform, iniPath, findings);
        return true;
    case ProfileLoad::tooLarge:
        findings.Report(Rule::setupIniUnreadable, kSetupIniFile, 0,
                        "Setup.ini holds more than %u MiB of text, more than the checker reads: the check stops "
                        "here",
                        static_cast<unsigned>(kProfileTextLimit / kBytesPerMiB));
        return false;
    }
    CheckByteOrderMark(text.Encoding(), findings);
    CheckSetupIniText(text, findings);
    return true;
}

}  // namespace boot
