#pragma once
// Every text the user can see from the program, in one place: the error boxes (caption
// "Bootstrapper Error", one OK button, no icon) and the one information box of a
// prerequisite in debug mode. The language dialog's texts are resources (res/).

namespace boot {

constexpr const char* kErrorCaption = "Bootstrapper Error";

// The run sequence.
constexpr const char* kMessageMutexError = "Mutex Error!";
constexpr const char* kMessageOldWindows = "This setup requires Windows 2000 or a newer operation system!";
constexpr const char* kMessageNoMsi = "No MSI!";
constexpr const char* kMessagePathTooLong = "Path too long!";
constexpr const char* kMessageCommandLineTooLong = "Command line too long!";
constexpr const char* kMessageUnsupportedPath = "Unsupported characters in path!";
constexpr const char* kMessageSetupIniUnreadable = "Setup.ini cannot be read!";
constexpr const char* kMessageUtf8ByteOrderMark = "Setup.ini has a UTF-8 byte order mark!";
constexpr const char* kMessageUtf16BigEndian = "Setup.ini is saved as UTF-16 big-endian!";
constexpr const char* kMessageFolderUnreadable = "The setup folder cannot be read!";
constexpr const char* kMessageUnusableSetting = "Setup.ini holds characters that cannot be used!";
constexpr const char* kMessageNoWindowsInstaller = "Windows Installer is not available!";

// The prerequisite chain.
constexpr const char* kMessageSettingTooLong = "Setting too long!";
constexpr const char* kDebugResultCaption = "Execution result";
// The line feed comes before the carriage return, as the box has always shown it.
constexpr const char* kDebugResultFormat = "%s\n\rreturned\n\rDec: %d\n\rHex: %X";

// Package inspection.
constexpr const char* kMessageOpenDatabase = "Could not open database!";
constexpr const char* kMessageOpenView = "Could not open view!";
constexpr const char* kMessageExecuteView = "Could not execute view!";
constexpr const char* kMessageInstalledVersion = "Installed product version!";
constexpr const char* kMessageProductVersion = "Product version!";

// Language discovery.
constexpr const char* kMessageNoLanguages = "No languages available!";

// The installation.
constexpr const char* kMessageDialogNotShown = "The language dialog cannot be shown!";

}  // namespace boot
