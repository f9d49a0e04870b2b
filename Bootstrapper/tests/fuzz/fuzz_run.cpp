// The whole run on a scripted machine. Every command line started, every package opened
// and every path searched must be exactly the documented composition of the full inputs;
// where a composition would not fit its buffer, nothing cut may be used: the run ends
// with its message and exit code 6 instead. No handle may be left open.
//
// Fields (all optional):
//   dir                  the current directory below "C:\" (UTF-8)
//   setup, msi, lang     [Start] SetupPath, MsiPath, LanguagesDir
//   exec, do, expect     [Prereq0] Execute, DoExecuteIfCheckIs, ExecuteOkIfResultIs
//   found                name, without ".msi", of the package the directory search finds (UTF-8)
//   psetup               1: PSetup.exe lies in the current directory
//   db                   1: the package database exists where the run should open it
//   code, version, plang the Property rows ProductCode, ProductVersion, ProductLanguage
//   installed            the installed product's VersionString (absent: not installed)
//   t1031, t1033, tdoc   1: 1031.mst, 1033.mst, Documentation.mst in the languages folder
//   locale               the thread locale (default 1033)
//   pick, answer         the combo item the user picks; ok (default), cancel, close (the
//                        close box, which sends IDCANCEL) or fail (the dialog cannot be shown)
//   sys, nomsiexec       the system directory; 1: it holds no msiexec.exe
//   preexit, prexit, msiexit   exit codes of PSetup.exe, prereq.exe and msiexec

#include <string>
#include <vector>

#include "fake_platform.h"
#include "fuzz_input.h"
#include "launcher/run_sequence.h"
#include "launcher/run_state.h"
#include "reference.h"

namespace boot::fuzzing {
namespace {

constexpr std::size_t kLongestText = kTextBufferSize - 1;
constexpr std::size_t kLongestFilePath = kMaxPath - 1;  // what the ANSI file functions take
constexpr std::size_t kLongestCommandLine = 4 * kTextBufferSize - 1;
constexpr std::size_t kLongestDebugText = kTextBufferSize + 64 - 1;
constexpr std::int32_t kCannotStart = -1000;
const char* const kErrorCaption = "Bootstrapper Error";

struct Started {
    bool hasApplication = false;
    std::string application;
    std::string commandLine;
    bool operator==(const Started& other) const
    {
        return hasApplication == other.hasApplication && application == other.application &&
               commandLine == other.commandLine;
    }
};

struct Box {
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
    bool operator==(const Box& other) const
    {
        return text == other.text && caption == other.caption && style == other.style;
    }
};

struct Outcome {
    std::int32_t exitCode = 0;
    std::vector<Started> started;
    std::vector<Box> boxes;
    std::vector<std::string> opened;    // packages given to MsiOpenDatabaseA
    std::vector<std::string> searched;  // patterns given to FindFirstFileA
    bool inspected = false;
    bool isInstalled = false;
    bool isNewer = false;
};

const std::int32_t kRowLocales[6] = {1031, 5127, 4103, 3079, 2055, 1033};
const std::int32_t kRowLanguages[6] = {1031, 1031, 1031, 1031, 1031, 1033};
const bool kRowIsVariant[6] = {false, true, true, true, true, false};

std::string Folder(const std::string& directory, const std::string& name) { return directory + "\\" + name; }

std::string CurrentDirectory(const FuzzFields& fields) { return "C:\\" + fields.Text("dir", "Setup"); }

// The languages folder as the fake keeps names: settings are code page 1252 text.
std::string LanguagesDirectory(const FuzzFields& fields)
{
    const std::string setting = ReferenceProfileValue(fields.Text("lang"));
    return Folder(CurrentDirectory(fields), setting.empty() ? "." : testing::AnsiToUtf8(setting));
}

// A directory entry's name: no folder separators, and within MAX_PATH.
std::string Found(const FuzzFields& fields)
{
    std::string name;
    for (char c : fields.Text("found")) {
        if (c != '\\' && c != '/') {
            name += c;
        }
    }
    return name.substr(0, 250) + ".msi";
}

void Script(testing::FakePlatform& platform, const FuzzFields& fields)
{
    const std::string directory = CurrentDirectory(fields);
    platform.currentDirectory = directory;
    platform.threadLocale = fields.Number("locale", 1033);
    platform.systemDirectory = fields.Text("sys", "C:\\WINDOWS\\system32");

    const std::string ini = Folder(directory, "Setup.ini");
    const char* const start[][2] = {{"setup", "SetupPath"}, {"msi", "MsiPath"}, {"lang", "LanguagesDir"}};
    for (const auto& key : start) {
        if (fields.Has(key[0])) {
            platform.SetIniValue(ini, "Start", key[1], fields.Text(key[0]));
        }
    }
    const char* const prereq[][2] = {{"exec", "Execute"}, {"do", "DoExecuteIfCheckIs"}, {"expect", "ExecuteOkIfResultIs"}};
    for (const auto& key : prereq) {
        if (fields.Has(key[0])) {
            platform.SetIniValue(ini, "Prereq0", key[1], fields.Text(key[0]));
        }
    }

    // Found by the platform's search only: the default pre-setup program must not be.
    platform.AddProgram("PSetup.exe", fields.Number("preexit", 0));
    if (fields.Flag("psetup")) {
        platform.AddProgram(Folder(directory, "PSetup.exe"), fields.Number("preexit", 0));
    }
    platform.AddProgram("prereq.exe", fields.Number("prexit", 0));
    if (!fields.Flag("nomsiexec")) {
        platform.AddProgram(Folder(platform.systemDirectory, "msiexec.exe"), fields.Number("msiexit", 0));
    }

    // The settings as the profile reader hands them over, the folder as the fake keeps it.
    std::string packageName = ReferenceProfileValue(fields.Text("msi"));
    if (fields.Has("found")) {
        const std::string name = Found(fields);
        platform.AddFile(Folder(directory, name));
        if (packageName.empty()) {
            packageName = name;
        }
    }
    if (fields.Flag("db")) {
        testing::FakeDatabase database;
        const char* const rows[][2] = {{"code", "ProductCode"}, {"version", "ProductVersion"}, {"plang", "ProductLanguage"}};
        for (const auto& row : rows) {
            if (fields.Has(row[0])) {
                database.rows.emplace_back(row[1], fields.Text(row[0]));
            }
        }
        const bool named = !ReferenceProfileValue(fields.Text("msi")).empty();
        platform.AddDatabase(Folder(directory, named ? testing::AnsiToUtf8(packageName) : packageName), database);
    }
    if (fields.Has("installed")) {
        platform.SetInstalledProduct(fields.Text("code"), fields.Text("installed"));
    }
    const std::string languages = LanguagesDirectory(fields);
    const char* const transforms[][2] = {{"t1031", "1031.mst"}, {"t1033", "1033.mst"}, {"tdoc", "Documentation.mst"}};
    for (const auto& transform : transforms) {
        if (fields.Flag(transform[0])) {
            platform.AddFile(Folder(languages, transform[1]));
        }
    }

    const std::string answer = fields.Text("answer", "ok");
    const bool picks = fields.Has("pick");
    const auto pick = static_cast<std::intptr_t>(static_cast<std::int32_t>(fields.Number("pick", 0)));
    platform.dialogCannotBeCreated = answer == "fail";
    platform.dialogScript = [answer, picks, pick](testing::FakePlatform& dialog) {
        if (answer == "cancel" || answer == "close") {
            dialog.PressDialogButton(static_cast<std::int32_t>(kIdCancel));
        } else {
            if (picks) {
                dialog.SelectComboItem(pick);
            }
            dialog.PressDialogButton(static_cast<std::int32_t>(kIdOk));
        }
    };
}

// ---- The documented run, step by step, on plain strings. The probe is a second machine
// scripted the same way; it answers what the platform would (files, programs, installed
// products, full paths) and never sees the product.

bool Exists(testing::FakePlatform& probe, const std::string& pattern, std::string* name = nullptr)
{
    FindData found{};
    const Handle search = probe.FindFirstFileA(pattern.c_str(), &found);
    if (search == kInvalidHandle) {
        return false;
    }
    probe.FindClose(search);
    if (name != nullptr) {
        *name = found.fileName;
    }
    return true;
}

// Whether the search for `pattern` lists `name`, in any letter case.
bool Lists(testing::FakePlatform& probe, const std::string& pattern, const std::string& name)
{
    FindData found{};
    const Handle search = probe.FindFirstFileA(pattern.c_str(), &found);
    bool listed = false;
    for (bool more = search != kInvalidHandle; more && !listed; more = probe.FindNextFileA(search, &found)) {
        listed = ReferenceUpper(found.fileName) == ReferenceUpper(name);
    }
    if (search != kInvalidHandle) {
        probe.FindClose(search);
    }
    return listed;
}

// A path that cannot be made absolute within a text buffer stays as it was.
std::string Absolute(testing::FakePlatform& probe, const std::string& path)
{
    std::vector<char> buffer(kTextBufferSize, '\0');
    const std::uint32_t length = probe.GetFullPathNameA(path.c_str(), kTextBufferSize, buffer.data());
    return (length == 0 || length >= kTextBufferSize) ? path : std::string(buffer.data());
}

bool SystemFileFits(testing::FakePlatform& probe, const char* name)
{
    std::vector<char> buffer(kTextBufferSize, '\0');
    const std::uint32_t length = probe.GetSystemDirectoryA(buffer.data(), kTextBufferSize);
    return length != 0 && length < kTextBufferSize && Folder(buffer.data(), name).size() <= kLongestText;
}

bool MsiexecPath(testing::FakePlatform& probe, std::string& path)
{
    std::vector<char> buffer(kTextBufferSize, '\0');
    const std::uint32_t length = probe.GetSystemDirectoryA(buffer.data(), kTextBufferSize);
    if (length == 0 || length >= kTextBufferSize) {
        return false;
    }
    path = Folder(buffer.data(), "msiexec.exe");
    return path.size() <= kLongestText;
}

std::string Quoted(const std::string& path)
{
    return path.find_first_of(" \t") == std::string::npos ? path : "\"" + path + "\"";
}

struct Model {
    const FuzzFields& fields;
    testing::FakePlatform& probe;
    Outcome outcome;

    Outcome Fail(const char* text, std::int32_t exitCode)
    {
        outcome.boxes.push_back(Box{text, kErrorCaption, 0});
        outcome.exitCode = exitCode;
        return outcome;
    }

    std::int32_t RunMsiexec(const std::string& commandLine)
    {
        std::string application;
        if (!MsiexecPath(probe, application)) {
            return kCannotStart;
        }
        outcome.started.push_back(Started{true, application, commandLine});
        return ExitCodeOf(probe, commandLine, application.c_str());
    }

    // A setting as the platform's profile reader hands it over, whole, in UTF-16; an
    // ANSI file's bytes convert back to themselves.
    std::string Setting(const char* section, const char* key)
    {
        std::vector<WideChar> buffer(4 * kMaxRepeat, 0);
        probe.GetPrivateProfileStringW(testing::Utf16(section).c_str(), testing::Utf16(key).c_str(), nullptr,
                                       buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                                       testing::Utf16(testing::AnsiToUtf8(ansiDirectory + "\\Setup.ini")).c_str());
        std::vector<char> ansi(4 * kMaxRepeat, '\0');
        probe.WideCharToMultiByte(0, 0, buffer.data(), -1, ansi.data(), static_cast<std::int32_t>(ansi.size()), nullptr,
                                  nullptr);
        return ansi.data();
    }

    // A transform the languages folder may hold: 1 when it does, 0 when not, -1 when its
    // path is too long for the file functions and the folder holds it, or cannot be told.
    int Transform(const std::string& languages, const std::string& name)
    {
        const std::string path = Folder(languages, name);
        if (path.size() <= kLongestFilePath) {
            outcome.searched.push_back(path);
            return Exists(probe, path) ? 1 : 0;
        }
        const std::string pattern = Folder(languages, "*.mst");
        if (pattern.size() > kLongestFilePath) {
            return -1;
        }
        outcome.searched.push_back(pattern);
        return Lists(probe, pattern, name) ? -1 : 0;
    }

    // The ANSI form of a UTF-8 name, when every character has an exact one.
    bool ExactAnsi(const std::string& utf8, std::string& ansi)
    {
        const std::u16string wide = testing::Utf16(utf8);
        std::vector<char> buffer(4 * wide.size() + 4, '\0');
        bool usedDefault = false;
        probe.WideCharToMultiByte(0, 0x400, wide.c_str(), -1, buffer.data(), static_cast<std::int32_t>(buffer.size()),
                                  nullptr, &usedDefault);
        ansi = buffer.data();
        return !usedDefault;
    }

    std::string ansiDirectory;

    Outcome Run()
    {
        const std::string directory = CurrentDirectory(fields);
        if (testing::Utf16(directory).size() > kLongestText) {
            return Fail("Path too long!", 6);
        }
        if (!ExactAnsi(directory, ansiDirectory)) {
            return Fail("Unsupported characters in path!", 6);
        }
        if (ansiDirectory.size() > kLongestText || Folder(ansiDirectory, "Setup.ini").size() > kLongestFilePath) {
            return Fail("Path too long!", 6);
        }

        const std::string setupPath = Setting("Start", "SetupPath");
        const std::string preSetup = (setupPath.empty() ? "PSetup.exe" : setupPath) + " /uionlyifneeded";
        if (setupPath.size() > kLongestText || preSetup.size() > kLongestText) {
            return Fail("Command line too long!", 6);
        }
        if (!setupPath.empty()) {
            outcome.started.push_back(Started{false, "", preSetup});
        } else {
            // Beside the program (C:\Setup), then in the current directory; never from PATH.
            for (const std::string& folder : {std::string("C:\\Setup"), ansiDirectory}) {
                const std::string candidate = Folder(folder, "PSetup.exe");
                if (candidate.size() > kLongestFilePath) {
                    return Fail("Path too long!", 6);  // never taken as missing
                }
                outcome.searched.push_back(candidate);
                if (Exists(probe, candidate)) {
                    outcome.started.push_back(Started{true, candidate, preSetup});
                    break;
                }
            }
        }

        const std::string execute = Setting("Prereq0", "Execute");
        if (execute.size() > kLongestText) {
            return Fail("Command line too long!", 6);
        }
        if (!execute.empty()) {
            const std::string doExecute = Setting("Prereq0", "DoExecuteIfCheckIs");
            const std::string expected = Setting("Prereq0", "ExecuteOkIfResultIs");
            if (doExecute.size() > kLongestText || expected.size() > kLongestText) {
                return Fail("Setting too long!", 6);
            }
            // No CheckKey: the check passes, so only "TRUE" runs the program.
            if (ReferenceUpper(doExecute) == "TRUE") {
                outcome.started.push_back(Started{false, "", execute});
                const std::int32_t exitCode = ExitCodeOf(probe, execute);
                if (ReferenceUpper(expected) == "DEBUG") {
                    outcome.boxes.push_back(Box{execute + "\n\rreturned\n\rDec: " + std::to_string(exitCode) +
                                                    "\n\rHex: " + Hex(static_cast<std::uint32_t>(exitCode)),
                                                "Execution result", 0x40});
                    outcome.exitCode = exitCode;
                    return outcome;
                }
                if (exitCode != ReferenceDecimal(expected)) {
                    outcome.exitCode = exitCode;
                    return outcome;
                }
            }
        }

        std::string packageName = Setting("Start", "MsiPath");
        if (packageName.size() > kLongestText) {
            return Fail("Path too long!", 6);
        }
        if (packageName.empty()) {
            // The one entry "*.msi" finds really ends in ".msi"; it must have an exact ANSI name.
            if (!fields.Has("found") || !ExactAnsi(Found(fields), packageName)) {
                return Fail("No MSI!", 6);
            }
        }
        std::string packagePath = Folder(ansiDirectory, packageName);
        if (packagePath.size() > kLongestFilePath) {
            return Fail("Path too long!", 6);
        }
        const std::string languagesSetting = Setting("Start", "LanguagesDir");
        if (languagesSetting.size() > kLongestText) {
            return Fail("Path too long!", 6);
        }
        std::string languages = Folder(ansiDirectory, languagesSetting.empty() ? "." : languagesSetting);
        if (languages.size() > kLongestText) {
            return Fail("Path too long!", 6);
        }
        // msi.dll by full path from the system directory.
        if (!SystemFileFits(probe, "msi.dll")) {
            return Fail("Windows Installer is not available!", 6);
        }

        outcome.opened.push_back(packagePath);
        if (!fields.Flag("db")) {
            return Fail("Could not open database!", 110);
        }
        outcome.inspected = true;
        // A property value that does not fit a text buffer is not the package's value.
        auto property = [this](const char* name) {
            const std::string value = fields.Text(name);
            return value.size() > kLongestText ? std::string() : value;
        };
        const std::string productCode = property("code");
        const std::string productVersion = property("version");
        const std::int32_t productLanguage = ReferenceDecimal(property("plang"));

        std::vector<char> installedBuffer(kTextBufferSize, '\0');
        std::uint32_t length = kTextBufferSize;
        const std::uint32_t queried =
            probe.MsiGetProductInfoA(productCode.c_str(), "VersionString", installedBuffer.data(), &length);
        if (queried != 0 && queried != 1605) {
            return Fail("Installed product version!", static_cast<std::int32_t>(queried));
        }
        const std::string installedVersion = queried == 0 ? std::string(installedBuffer.data()) : std::string();
        const ReferenceVersion package = ReferenceParseVersion(productVersion);
        if (!package.valid) {
            return Fail("Product version!", 6);
        }
        const ReferenceVersion installed = ReferenceParseVersion(installedVersion);
        outcome.isInstalled = installed.valid;
        outcome.isNewer = installed.valid && ReferenceIsNewer(package.parts, installed.parts);

        std::int32_t locale = static_cast<std::int32_t>(fields.Number("locale", 1033));
        int selected = -1;
        for (int i = 0; i < 6; ++i) {
            if (kRowLocales[i] == locale) {
                selected = i;
                break;
            }
        }
        if (selected < 0) {
            locale = 1033;
            selected = 5;
        }
        bool available[6] = {};
        int count = 0;
        bool tooLong = false;
        for (int i = 0; i < 6; ++i) {
            if (kRowLanguages[i] == productLanguage) {
                available[i] = true;
            } else {
                const int transform = Transform(languages, std::to_string(kRowLanguages[i]) + ".mst");
                available[i] = transform == 1;
                tooLong = tooLong || transform < 0;
            }
            count += available[i] ? 1 : 0;
        }
        bool hasDocumentation = false;
        if (count != 0) {
            const int transform = Transform(languages, "Documentation.mst");
            hasDocumentation = transform == 1;
            tooLong = tooLong || transform < 0;
        }
        if (tooLong) {
            return Fail("Path too long!", 6);
        }
        if (count == 0) {
            return Fail("No languages available!", 6);
        }

        packagePath = Absolute(probe, packagePath);
        languages = Absolute(probe, languages);
        if (outcome.isInstalled) {
            if (outcome.isNewer) {
                RunMsiexec("msiexec /qn /fpv " + Quoted(packagePath));
            }
            outcome.exitCode = RunMsiexec("msiexec /i " + Quoted(packagePath));
            return outcome;
        }

        // The dialog lists each available language once: the user's own row, and the main
        // row of every other language.
        std::vector<int> items;
        std::size_t initial = 0;
        for (int i = 0; i < 6; ++i) {
            if (available[i] && (i == selected || (!kRowIsVariant[i] && kRowLanguages[i] != kRowLanguages[selected]))) {
                if (i == selected) {
                    initial = items.size();
                }
                items.push_back(i);
            }
        }
        const std::string answer = fields.Text("answer", "ok");
        if (answer == "cancel" || answer == "close") {
            outcome.exitCode = 0;
            return outcome;
        }
        if (answer == "fail") {
            return Fail("The language dialog cannot be shown!", 6);
        }
        std::size_t position = initial;
        if (fields.Has("pick")) {
            const auto pick = static_cast<std::int32_t>(fields.Number("pick", 0));
            position = pick >= 0 ? static_cast<std::size_t>(pick) : items.size();
        }
        const int row = position < items.size() ? items[position] : 0;
        const std::int32_t chosen = kRowLanguages[row];

        // TRANSFORMS is a list separated by ";".
        if ((chosen != productLanguage || hasDocumentation) && languages.find(';') != std::string::npos) {
            return Fail("Unsupported characters in path!", 6);
        }
        std::string commandLine = "msiexec /i " + Quoted(packagePath);
        const std::string documentationPath = Folder(languages, "Documentation.mst");
        if (chosen == productLanguage) {
            if (hasDocumentation) {
                commandLine += " TRANSFORMS=\"" + documentationPath + "\"";
            }
        } else {
            commandLine += " TRANSFORMS=\"" + Folder(languages, std::to_string(chosen) + ".mst");
            if (hasDocumentation) {
                commandLine += ";" + documentationPath;
            }
            commandLine += "\"";
        }
        if (commandLine.size() > kLongestCommandLine) {
            return Fail("Command line too long!", 6);
        }
        outcome.exitCode = RunMsiexec(commandLine);
        return outcome;
    }
};

std::vector<std::string> EventsAfter(const testing::FakePlatform& platform, const std::string& prefix)
{
    std::vector<std::string> details;
    for (const std::string& event : platform.events) {
        if (event.compare(0, prefix.size(), prefix) == 0) {
            details.push_back(event.substr(prefix.size()));
        }
    }
    return details;
}

std::string Describe(const Outcome& outcome)
{
    std::ostringstream text;
    text << "  exit code " << outcome.exitCode << "\n";
    for (const Started& started : outcome.started) {
        text << "  started [" << (started.hasApplication ? started.application : "no application name") << "] ("
             << started.commandLine.size() << ") " << started.commandLine.substr(0, 300) << "\n";
    }
    for (const Box& box : outcome.boxes) {
        text << "  box " << box.caption << " / " << box.style << ": " << box.text.substr(0, 300) << "\n";
    }
    for (const std::string& path : outcome.opened) {
        text << "  opened (" << path.size() << ") " << path.substr(0, 300) << "\n";
    }
    for (const std::string& path : outcome.searched) {
        text << "  searched (" << path.size() << ") " << path.substr(0, 300) << "\n";
    }
    return text.str();
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace boot::fuzzing;
    namespace testing = boot::testing;
    const FuzzFields fields(data, size);

    testing::FakePlatform probe;
    Script(probe, fields);
    const Outcome expected = Model{fields, probe, Outcome{}, std::string()}.Run();

    testing::FakePlatform platform;
    Script(platform, fields);
    boot::RunState state(platform);
    Outcome actual;
    actual.exitCode = boot::RunBootstrapper(platform, state);
    for (const testing::RecordedProcess& process : platform.processes) {
        actual.started.push_back(Started{process.hasApplicationName, process.applicationName, process.commandLine});
    }
    for (const testing::RecordedMessageBox& box : platform.messageBoxes) {
        actual.boxes.push_back(Box{box.text, box.caption, box.style});
        FUZZ_CHECK(box.owner == boot::kNoWindow, "a box with an owner");
    }
    actual.opened = EventsAfter(platform, "MsiOpenDatabaseA:");
    actual.searched = EventsAfter(platform, "FindFirstFileA:");

    const std::string both = "expected:\n" + Describe(expected) + "actual:\n" + Describe(actual);
    FUZZ_CHECK(actual.exitCode == expected.exitCode, "exit code\n" << both);
    FUZZ_CHECK(actual.started == expected.started, "programs started\n" << both);
    FUZZ_CHECK(actual.boxes == expected.boxes, "message boxes\n" << both);
    FUZZ_CHECK(actual.opened == expected.opened, "packages opened\n" << both);
    FUZZ_CHECK(actual.searched == expected.searched, "paths searched\n" << both);
    if (expected.inspected && !actual.opened.empty()) {
        FUZZ_CHECK(state.packageInfo.isInstalled == expected.isInstalled, "isInstalled\n" << both);
        FUZZ_CHECK(state.packageInfo.isNewer == expected.isNewer, "isNewer\n" << both);
    }

    for (const Started& started : actual.started) {
        const std::size_t limit = started.hasApplication ? kLongestCommandLine : kLongestText;
        FUZZ_CHECK(started.commandLine.size() <= limit && started.application.size() <= kLongestText,
                   "a command line longer than its buffer\n" << both);
    }
    for (const std::string& path : actual.opened) {
        FUZZ_CHECK(path.size() <= kLongestText, "an opened path longer than a text buffer");
    }
    for (const std::string& path : actual.searched) {
        FUZZ_CHECK(path.size() <= kLongestText, "a searched path longer than a text buffer");
    }
    for (const Box& box : actual.boxes) {
        FUZZ_CHECK(box.text.size() <= kLongestDebugText, "a message longer than its buffer");
    }
    FUZZ_CHECK(platform.OpenKernelHandles() == 0, "a process or thread handle was left open");
    FUZZ_CHECK(platform.OpenSearchHandles() == 0, "a directory search was left open");
    FUZZ_CHECK(platform.OpenRegistryKeys() == 0, "a registry key was left open");
    FUZZ_CHECK(platform.OpenMsiHandles() == 0, "a Windows Installer handle was left open");
    return 0;
}
