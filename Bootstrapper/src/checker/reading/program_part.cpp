#include "checker/reading/program_part.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "common/text_rules.h"
#include "services/file_search.h"

namespace boot {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsRelative(const char* path) { return !(path[0] != '\0' && path[1] == ':') && path[0] != '\\'; }

// The extension of the last component, or null.
const char* Extension(const char* path)
{
    const char* extension = nullptr;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '\\') {
            extension = nullptr;
        } else if (*p == '.') {
            extension = p;
        }
    }
    return extension;
}

bool IsProgramExtension(const char* extension)
{
    if (extension == nullptr) {
        return false;
    }
    const char* const programs[] = {".exe", ".com", ".bat", ".cmd"};
    return std::any_of(std::begin(programs), std::end(programs),
                       [extension](const char* known) { return SameTextIgnoringCase(extension, known); });
}

// Whether the file Windows would look for exists.
bool ProgramExists(Platform& platform, const char* folder, const char* candidate)
{
    TextBuffer path;
    return ComposeProgramFile(folder, candidate, path) && FindEntry(platform, path.Get()) == Entry::present;
}

// A name without a folder is looked for on the system's search path too, which always
// holds the system folder and these programs in it.
bool IsProgramEveryWindowsHas(const char* path)
{
    const char* const programs[] = {"cmd", "msiexec", "reg", "regsvr32", "rundll32", "cscript", "wscript"};
    const char* extension = Extension(path);
    if (std::strchr(path, '\\') != nullptr || (extension != nullptr && !SameTextIgnoringCase(extension, ".exe"))) {
        return false;
    }
    const std::size_t length = extension != nullptr ? static_cast<std::size_t>(extension - path) : TextLength(path);
    return std::any_of(std::begin(programs), std::end(programs), [path, length](const char* program) {
        return TextLength(program) == length && SameTextIgnoringCase(path, length, program);
    });
}

void Describe(ProgramPart& part, bool exists)
{
    part.relative = IsRelative(part.path.Get());
    part.everyWindowsHas = IsProgramEveryWindowsHas(part.path.Get());
    part.inFolder = part.relative && exists;
    part.holdsBlank = std::any_of(part.path.Get(), part.path.Get() + part.path.Length(), IsBlank);
}

}  // namespace

bool ComposeProgramFile(const char* folder, const char* part, TextBuffer& file)
{
    const char* added = Extension(part) == nullptr ? ".exe" : "";
    return IsRelative(part) ? file.Format("%s\\%s%s", folder, part, added) : file.Format("%s%s", part, added);
}

void FindProgramPart(Platform& platform, const char* folder, const char* commandLine, ProgramPart& part)
{
    part.path.Clear();
    part.quoted = commandLine[0] == '"';
    if (part.quoted) {
        std::size_t end = 1;
        while (commandLine[end] != '\0' && commandLine[end] != '"') {
            ++end;
        }
        TextBuffer& path = part.path;
        path.Assign(commandLine + 1);
        path.Data()[end - 1] = '\0';
        Describe(part, ProgramExists(platform, folder, path.Get()));
        return;
    }
    // Each beginning that ends before a blank, then the whole line: the first that exists
    // is the program. When none does, the first that looks like a program file names it.
    TextBuffer candidate;
    TextBuffer fallback;
    const std::size_t length = TextLength(commandLine);
    for (std::size_t end = 1; end <= length; ++end) {
        if (end < length && !IsBlank(commandLine[end])) {
            continue;
        }
        candidate.Assign(commandLine);
        candidate.Data()[end] = '\0';
        if (ProgramExists(platform, folder, candidate.Get())) {
            part.path.Assign(candidate.Get());
            Describe(part, true);
            return;
        }
        const bool firstToken = fallback.IsEmpty();
        const bool betterGuess =
            IsProgramExtension(Extension(candidate.Get())) && !IsProgramExtension(Extension(fallback.Get()));
        if (firstToken || betterGuess) {
            fallback.Assign(candidate.Get());
        }
    }
    part.path.Assign(fallback.Get());
    Describe(part, false);
}

}  // namespace boot
