// Opening a package and a transform as both tools do, on whatever file a package folder
// or a command line names: the input is the file's bytes. A damaged compound file may
// make libmsi crash or loop; no input may take the tool down, and what the reading
// refuses comes with a reason. The checker's whole path runs too: the input is Product.msi
// in a folder of its own, checked as bootstrapper-check checks it (the Linux folder reader
// opens it, the program's own run sequence queries its Property table, the rules read its
// summary, cabinets and transforms), and a package the program cannot read is reported.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "checker/explored_runs/plan.h"
#include "checker/findings/findings.h"
#include "checker/folder_readers/linux_folder_reader.h"
#include "checker/reading/profile_text.h"
#include "checker/walk/folder_check.h"
#include "fuzz_input.h"
#include "msi_file/reading/package_reader.h"
#include "msi_file/reading/transform_reader.h"
#include "services/messages.h"

namespace boot::fuzzing {
namespace {

using namespace boot::msi;

void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr, "cannot write " << path);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size, "cannot write " << path);
    FUZZ_CHECK(std::fclose(file) == 0, "cannot write " << path);
}

// A folder of its own for each input: the reader remembers files it read safely.
std::string MakeFolder(const std::uint8_t* data, std::size_t size)
{
    static unsigned long inputs = 0;
    const std::string folder = "/tmp/fuzz_package." + std::to_string(getpid()) + "." + std::to_string(++inputs);
    FUZZ_CHECK(mkdir(folder.c_str(), S_IRWXU) == 0, "cannot make " << folder);
    const char setupIni[] = "[Start]\r\nMsiPath=Product.msi\r\n";
    WriteFile(folder + "/Setup.ini", reinterpret_cast<const std::uint8_t*>(setupIni), sizeof setupIni - 1);
    WriteFile(folder + "/Product.msi", data, size);
    return folder;
}

void OpenAsPackage(const std::string& path)
{
    Database database;
    std::string error;
    if (!ReadDatabase(path, database, error)) {
        FUZZ_CHECK(!error.empty(), "a package refused without a reason");
    }
}

void OpenAsTransform(const std::string& path)
{
    if (ClassifyTransformFile(path) != TransformFileKind::transform) {
        return;
    }
    TransformContents contents;
    std::string error;
    if (!ReadTransform(path, contents, error)) {
        FUZZ_CHECK(!error.empty(), "a transform refused without a reason");
    }
}

// Where the program ends when it cannot read its package: the database or the view of its
// Property table does not open, or the view does not run.
bool EndsUnread(const Plan& plan)
{
    for (const char* box : {kMessageOpenDatabase, kMessageOpenView, kMessageExecuteView}) {
        if (plan.endMessage == box) {
            return true;
        }
    }
    return false;
}

void CheckAsPackageFolder(const std::string& folder)
{
    // Large (the reader's tables, the plan): outside the stack.
    const auto reader = std::make_unique<LinuxFolderReader>();
    std::string reason;
    FUZZ_CHECK(reader->UseFolder(folder.c_str(), reason), reason.c_str());
    const auto text = std::make_unique<ProfileText>();
    const auto plan = std::make_unique<Plan>();
    Findings findings;
    CheckFolder(*reader, *text, findings, *plan);
    bool unreadable = false;
    for (std::size_t i = 0; i < findings.Count(); ++i) {
        const Finding finding = findings.At(i);
        FUZZ_CHECK(finding.ruleIndex >= 0, finding.rule);
        unreadable = unreadable || std::string(finding.rule) == "package-unreadable";
    }
    FUZZ_CHECK(!EndsUnread(*plan) || unreadable, "the setup ends at \"" << plan->endMessage
                                                                           << "\", and no package-unreadable");
}

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = boot::fuzzing::MakeFolder(data, size);
    const std::string path = folder + "/Product.msi";
    boot::fuzzing::OpenAsPackage(path);
    boot::fuzzing::OpenAsTransform(path);
    boot::fuzzing::CheckAsPackageFolder(folder);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
