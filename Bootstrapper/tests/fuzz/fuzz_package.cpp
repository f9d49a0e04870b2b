// Opening a package and a transform as both tools do, on whatever file a package folder
// or a command line names: the input is the file's bytes. A damaged compound file may
// make libmsi crash or loop; no input may take the tool down, and what the reading
// refuses comes with a reason.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "fuzz_input.h"
#include "msi_file/reading/package_reader.h"
#include "msi_file/reading/transform_reader.h"

namespace boot::fuzzing {
namespace {

using namespace boot::msi;

std::string WriteInput(const std::uint8_t* data, std::size_t size)
{
    // A name of its own for each input: the reader remembers files it read safely.
    static unsigned long inputs = 0;
    const std::string path = "/tmp/fuzz_package." + std::to_string(getpid()) + "." + std::to_string(++inputs) + ".msi";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(file != nullptr, "cannot write " << path);
    FUZZ_CHECK(size == 0 || std::fwrite(data, 1, size, file) == size, "cannot write " << path);
    FUZZ_CHECK(std::fclose(file) == 0, "cannot write " << path);
    return path;
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

}  // namespace
}  // namespace boot::fuzzing

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = boot::fuzzing::WriteInput(data, size);
    boot::fuzzing::OpenAsPackage(path);
    boot::fuzzing::OpenAsTransform(path);
    static_cast<void>(std::remove(path.c_str()));
    return 0;
}
