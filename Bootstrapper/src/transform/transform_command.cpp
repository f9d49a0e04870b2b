#include "transform/transform_command.h"

#include <string>
#include <vector>

#include "file_output/output_place.h"
#include "file_output/replaced_file.h"
#include "msi_file/reading/package_reader.h"
#include "msi_file/writing/transform_builder.h"
#include "msi_file/writing/transform_flags.h"
#include "msi_file/writing/transform_summary.h"

namespace boot {

namespace {

constexpr char kProgram[] = "bootstrapper-transform";
constexpr char kValidate[] = "--validate=";
constexpr char kSuppress[] = "--suppress=";

struct TransformRequest {
    msi::TransformOptions options;
    std::vector<std::string> files;  // base, target, output
    bool help = false;
    bool version = false;
};

void Write(std::FILE* stream, const std::string& text) { static_cast<void>(std::fputs(text.c_str(), stream)); }

std::string FlagTable(const std::vector<msi::FlagName>& names)
{
    std::string text;
    for (const msi::FlagName& entry : names) {
        constexpr std::size_t kNameWidth = 22;
        std::string name = entry.name;
        name.resize(kNameWidth, ' ');
        text.append("    ").append(name).append(entry.meaning).append("\n");
    }
    return text;
}

std::string UsageLine()
{
    return std::string("Usage: ") + kProgram + " [--validate=LIST] [--suppress=LIST] BASE.msi TARGET.msi OUT.mst\n";
}

std::string Usage()
{
    return UsageLine() +
           "\n"
           "Writes OUT.mst, a Windows Installer transform that turns the package BASE.msi into\n"
           "TARGET.msi: applied to BASE.msi it gives TARGET.msi's tables (rows added, deleted and\n"
           "changed, tables added and dropped). For a language transform, BASE.msi and TARGET.msi\n"
           "are the same product built in two languages. Both must install the same files: the\n"
           "transform carries no embedded cabinet.\n"
           "\n"
           "Options:\n"
           "  --validate=LIST  the conditions Windows Installer checks against the package before\n"
           "                   it applies the transform, comma-separated (default:\n"
           "                   product,upgrade-code; --validate= for none):\n" +
           FlagTable(msi::ValidationFlagNames()) +
           "                   A version relation compares the fields major, minor or update name.\n"
           "  --suppress=LIST  the errors Windows Installer may pass over while it applies the\n"
           "                   transform (default: none):\n" +
           FlagTable(msi::SuppressFlagNames()) +
           "  -h, --help       shows this text and ends\n"
           "  --version        shows the name and version and ends\n"
           "\n"
           "An option's LIST may also follow it as the next argument (--validate LIST).\n"
           "OUT.mst appears only whole.\n"
           "\n"
           "Exit status:\n"
           "  0  OUT.mst is written\n"
           "  1  no transform can turn BASE.msi into TARGET.msi (the reason is printed, nothing is\n"
           "     written)\n"
           "  2  wrong arguments, a package that cannot be read, or an OUT.mst that cannot be written\n";
}

// One --validate=LIST or --suppress=LIST into the request; false, with the reason, for a
// list of unknown names or of validations that exclude each other.
bool ParseFlagOption(const std::string& argument, TransformRequest& request, std::string& error)
{
    if (argument.rfind(kValidate, 0) == 0) {
        if (!msi::ParseFlagList(argument.substr(sizeof kValidate - 1), msi::ValidationFlagNames(),
                                request.options.validation, error)) {
            error.insert(0, "--validate: ");
            return false;
        }
        const std::string conflict = msi::ValidationConflict(request.options.validation);
        if (!conflict.empty()) {
            error = "--validate: " + conflict;
            return false;
        }
        return true;
    }
    if (!msi::ParseFlagList(argument.substr(sizeof kSuppress - 1), msi::SuppressFlagNames(), request.options.suppress,
                            error)) {
        error.insert(0, "--suppress: ");
        return false;
    }
    return true;
}

// "--validate LIST" and "--suppress LIST" as "--validate=LIST": every tool of the project
// takes an option's value either way. Moves i past the LIST; false when none follows.
bool JoinSeparateList(int argc, const char* const* argv, int& i, std::string& argument, std::string& error)
{
    if (argument + "=" != kValidate && argument + "=" != kSuppress) {
        return true;
    }
    if (i + 1 == argc) {
        error = argument + " needs a LIST";
        return false;
    }
    argument.append("=").append(argv[++i]);
    return true;
}

// False, with the reason, for arguments that are no request.
bool ParseArguments(int argc, const char* const* argv, TransformRequest& request, std::string& error)
{
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        std::string argument = argv[i];
        if (options && !JoinSeparateList(argc, argv, i, argument, error)) {
            return false;
        }
        if (options && (argument == "--help" || argument == "-h")) {
            request.help = true;
            return true;
        }
        if (options && argument == "--version") {
            request.version = true;
            return true;
        }
        if (options && argument == "--") {
            options = false;
        } else if (options && (argument.rfind(kValidate, 0) == 0 || argument.rfind(kSuppress, 0) == 0)) {
            if (!ParseFlagOption(argument, request, error)) {
                return false;
            }
        } else if (options && argument.size() > 1 && argument[0] == '-') {
            error = "unknown option " + argument;
            return false;
        } else {
            request.files.push_back(argument);
        }
    }
    if (request.files.size() != 3) {
        error = "name BASE.msi, TARGET.msi and OUT.mst";
        return false;
    }
    return true;
}

// Where OUT.mst goes: never over one of the packages (by any name, also through a link),
// nor onto a FIFO, a device or a folder. Resolved once the packages are read (what is wrong
// with them is told first), before anything is written.
bool FindOutPlace(const std::string& out, const std::vector<std::string>& inputs, file_output::OutputPlace& place,
                  std::string& error)
{
    std::string why;
    if (file_output::FindOutputPlace(out, {inputs, {}, {}}, place, why)) {
        return true;
    }
    error = "cannot write " + file_output::ShownName(out) + ": " + why;
    return false;
}

}  // namespace

int RunTransformCommand(int argc, const char* const* argv, std::FILE* out, std::FILE* errors)
{
    TransformRequest request;
    std::string error;
    if (!ParseArguments(argc, argv, request, error)) {
        Write(errors, std::string(kProgram) + ": " + error + "\n" + UsageLine() + "(--help tells more)\n");
        return kTransformUnusable;
    }
    if (request.help) {
        Write(out, Usage());
        return kTransformWritten;
    }
    if (request.version) {
        Write(out, std::string(kProgram) + " " + BOOTSTRAPPER_TOOL_VERSION + "\n");
        return kTransformWritten;
    }
    const std::string& basePath = request.files[0];
    const std::string& targetPath = request.files[1];
    const std::string& outPath = request.files[2];
    msi::Database base;
    msi::Database target;
    for (const auto& [path, database] : {std::pair{&basePath, &base}, std::pair{&targetPath, &target}}) {
        if (!msi::ReadDatabase(*path, *database, error)) {
            Write(errors, std::string(kProgram) + ": " + *path + ": " + error + "\n");
            return kTransformUnusable;
        }
    }
    file_output::OutputPlace outPlace;
    if (!FindOutPlace(outPath, {basePath, targetPath}, outPlace, error)) {
        Write(errors, std::string(kProgram) + ": " + error + "\n");
        return kTransformUnusable;
    }
    std::vector<msi::CompoundStream> streams;
    if (!msi::BuildTransform(base, target, request.options, streams, error)) {
        Write(errors, std::string(kProgram) + ": no transform turns " + basePath + " into " + targetPath + ": " +
                          error + "\n");
        return kTransformInexpressible;
    }
    std::string bytes;
    if (!msi::ComposeTransformFile(streams, bytes, error) || !file_output::WriteWholeFile(outPlace, bytes, error)) {
        Write(errors,
              std::string(kProgram) + ": cannot write " + file_output::ShownName(outPath) + ": " + error + "\n");
        return kTransformUnusable;
    }
    const std::string lost = msi::SummaryNotCarried(base, target);
    if (!lost.empty()) {
        Write(errors, std::string(kProgram) + ": warning: the target's summary information differs in " + lost +
                          ", which a transform does not carry: the installed package keeps the base's\n");
    }
    const std::string validation = msi::FlagListText(request.options.validation, msi::ValidationFlagNames());
    Write(out, outPath + ": ProductLanguage " + base.Property("ProductLanguage") + " to " +
                   target.Property("ProductLanguage") + ", validates " +
                   (validation.empty() ? std::string("nothing") : validation) + "\n");
    return kTransformWritten;
}

}  // namespace boot
