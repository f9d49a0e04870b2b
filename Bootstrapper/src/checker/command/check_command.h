#pragma once
// What both checker programs share: their arguments, and one check from the folder to the
// exit status.

#include <string>
#include <type_traits>

#include "checker/folder_readers/folder_reader.h"
#include "checker/output/formatted_text.h"
#include "checker/output/report_context.h"
#include "checker/output/text_output.h"
#include "checker/findings/findings.h"

namespace boot {

constexpr int kCheckPassed = 0;   // no error (warnings allowed, unless strict)
constexpr int kCheckFailed = 1;   // at least one error, or with --strict a warning
constexpr int kCheckUnusable = 2; // wrong arguments, or the folder cannot be read

enum class CheckArguments { check, help, version, wrong };

struct CheckOptions {
    bool quiet = false;   // no plan
    bool strict = false;  // warnings fail the check
    bool exitZero = false;  // the check reports, and only arguments or the folder fail it
    bool showFixes = false;  // the text report gives each finding's fix
    ReportFormat format = ReportFormat::text;
    bool ignored[kRuleCount] = {};  // by row of the rule table
};

template <typename Char>
struct CheckRequest {
    CheckOptions options;
    const Char* folder = nullptr;  // null: the current directory
    const Char* output = nullptr;  // --output: the report's file; null: standard output
    std::string problem;           // what is wrong with the arguments
};

// The value of an option, or an argument in messages, whole and as ASCII: option values
// are rule ids and format names, and anything else is shown as "?".
template <typename Char>
std::string OptionText(const Char* argument)
{
    constexpr unsigned kFirstPrintable = 0x20;
    constexpr unsigned kLastPrintable = 0x7E;
    std::string text;
    for (const Char* p = argument; *p != 0; ++p) {
        const auto unit = static_cast<unsigned>(static_cast<std::make_unsigned_t<Char>>(*p));
        text += unit >= kFirstPrintable && unit <= kLastPrintable ? static_cast<char>(unit) : '?';
    }
    return text;
}

// What follows `option`'s characters in `argument`; null when it does not begin with them.
template <typename Char>
const Char* AfterOption(const Char* argument, const char* option)
{
    for (; *option != '\0'; ++option, ++argument) {
        if (*argument != static_cast<Char>(*option)) {
            return nullptr;
        }
    }
    return argument;
}

// The option of `name` ("--format") in `arguments[i]`: "--format=VALUE", or "--format"
// with the value in the next argument, which it takes. `value` is null when it is missing.
template <typename Char>
bool IsValueOption(int argc, const Char* const* argv, int& i, const char* name, const Char*& value)
{
    const Char* rest = AfterOption(argv[i], name);
    if (rest != nullptr && *rest == static_cast<Char>('=')) {
        value = rest + 1;
        return true;
    }
    if (rest == nullptr || *rest != 0) {
        return false;
    }
    value = i + 1 < argc ? argv[++i] : nullptr;
    return true;
}

bool ChooseFormat(const std::string& name, CheckOptions& options, std::string& problem);
// `list`: rule ids separated by commas.
bool IgnoreRules(const std::string& list, CheckOptions& options, std::string& problem);

// Hands the value of option `name` to `apply`; false, with the problem, when it is
// missing or wrong.
template <typename Char>
bool TakeOptionValue(const char* name, const Char* value,
                     bool (*apply)(const std::string&, CheckOptions&, std::string&), CheckRequest<Char>& request)
{
    if (value == nullptr) {
        request.problem = Formatted("%s needs a value", name);
        return false;
    }
    return apply(OptionText(value), request.options, request.problem);
}

template <typename Char>
bool IsArgument(const Char* argument, const char* option)
{
    const Char* rest = AfterOption(argument, option);
    return rest != nullptr && *rest == 0;
}

enum class OptionTaken { taken, help, version, wrong, lastOption };

// The option at `argv[i]` (and its value, which may move `i` on).
template <typename Char>
OptionTaken TakeOption(int argc, const Char* const* argv, int& i, CheckRequest<Char>& request)
{
    const Char* argument = argv[i];
    const Char* value = nullptr;
    if (IsArgument(argument, "--help") || IsArgument(argument, "-h")) {
        return OptionTaken::help;
    }
    if (IsArgument(argument, "--version")) {
        return OptionTaken::version;
    }
    if (IsArgument(argument, "--quiet") || IsArgument(argument, "-q")) {
        request.options.quiet = true;
    } else if (IsArgument(argument, "--strict")) {
        request.options.strict = true;
    } else if (IsArgument(argument, "--exit-zero")) {
        request.options.exitZero = true;
    } else if (IsArgument(argument, "--show-fixes")) {
        request.options.showFixes = true;
    } else if (IsArgument(argument, "--")) {
        return OptionTaken::lastOption;
    } else if (IsValueOption(argc, argv, i, "--format", value)) {
        return TakeOptionValue("--format", value, ChooseFormat, request) ? OptionTaken::taken : OptionTaken::wrong;
    } else if (IsValueOption(argc, argv, i, "--output", value)) {
        // A file name, taken as it is: the front end writes the report there.
        if (value == nullptr || value[0] == 0) {
            request.problem = "--output needs a file name";
            return OptionTaken::wrong;
        }
        request.output = value;
    } else if (IsValueOption(argc, argv, i, "--ignore", value)) {
        return TakeOptionValue("--ignore", value, IgnoreRules, request) ? OptionTaken::taken : OptionTaken::wrong;
    } else {
        request.problem = Formatted("unknown option \"%s\"", OptionText(argument).c_str());
        return OptionTaken::wrong;
    }
    return OptionTaken::taken;
}

// `[--format=FORMAT] [--output=FILE] [--strict] [--exit-zero] [--ignore=RULE,...] [--show-fixes] [--quiet]
// [--] [FOLDER]`,
// or `--help`, or `--version`.
template <typename Char>
CheckArguments ParseCheckArguments(int argc, const Char* const* argv, CheckRequest<Char>& request)
{
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        const Char* argument = argv[i];
        const bool isOption = !optionsEnded && argument[0] == static_cast<Char>('-') && argument[1] != 0;
        if (!optionsEnded && IsArgument(argument, "/?")) {
            return CheckArguments::help;
        }
        if (isOption) {
            switch (TakeOption(argc, argv, i, request)) {
            case OptionTaken::taken:
                break;
            case OptionTaken::help:
                return CheckArguments::help;
            case OptionTaken::version:
                return CheckArguments::version;
            case OptionTaken::wrong:
                return CheckArguments::wrong;
            case OptionTaken::lastOption:
                optionsEnded = true;
                break;
            }
        } else if (request.folder != nullptr) {
            request.problem = Formatted("one FOLDER only, and \"%s\" is a second one", OptionText(argument).c_str());
            return CheckArguments::wrong;
        } else {
            request.folder = argument;
        }
    }
    return CheckArguments::check;
}

// The usage text, for `program` (the checker's own name).
void WriteCheckUsage(const char* program, TextOutput& output);
// `program VERSION`, as tools answer --version.
void WriteCheckVersion(const char* program, TextOutput& output);
// What is wrong with the arguments, and where to read how they go.
void WriteArgumentProblem(const char* program, const char* problem, TextOutput& output);

// What the command line asks for other than a check: the help or the version written to
// `output`, or a wrong argument (`problem`) to `errors`. Returns the exit status, or -1
// when a check is asked for.
int AnswerUnlessCheck(CheckArguments arguments, const char* program, const char* problem, TextOutput& output,
                      TextOutput& errors);

// Checks the folder the platform stands for (its current directory) and writes the
// findings, and unless quiet the plan, in the chosen format. `machineKnown`: the platform
// can answer for the machine it runs on (its registry, the installed products). With a
// `reportFile` (--output) the report in the chosen format goes there, and `output`, the
// console, gets the text report. Returns kCheckPassed or kCheckFailed.
int RunCheck(FolderReader& platform, bool machineKnown, const CheckOptions& options,
             const ReportSettings& settings, TextOutput& output, TextOutput* reportFile = nullptr);

}  // namespace boot
