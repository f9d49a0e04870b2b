#include "checker/reading/windows_path.h"

#include <algorithm>
#include <cstring>

#include "checker/reading/name_case.h"
#include "checker/reading/unicode_text.h"
#include "common/text_rules.h"

namespace boot {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool HasDrive(const char* path) { return IsAsciiLetter(path[0]) && path[1] == ':'; }
bool SameLetter(char a, char b) { return LowerAscii(a) == LowerAscii(b); }

// The full path as it is written: `root` characters ("X:", or "\" of a UNC path) that
// ".." never removes, then "\name" for each name.
struct PathWriter {
    char* text = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;
    std::size_t root = 0;
    std::size_t lastName = 0;  // where the last name's separator stands
    bool fits = true;

    void Put(char c)
    {
        if (used + 1 >= capacity) {
            fits = false;
            return;
        }
        text[used++] = c;
    }

    void PutName(const char* name, std::size_t length)
    {
        lastName = used;
        Put('\\');
        for (std::size_t i = 0; i < length; ++i) {
            Put(name[i]);
        }
    }

    void DropLastName()
    {
        while (used > root && text[used - 1] != '\\') {
            --used;
        }
        if (used > root) {
            --used;
        }
    }

    // Windows drops them: "Setup.ini. " names "Setup.ini". False when nothing is left.
    bool TrimLastName()
    {
        while (used > lastName + 1 && (text[used - 1] == '.' || text[used - 1] == ' ')) {
            --used;
        }
        if (used == lastName + 1) {
            used = lastName;
            return false;
        }
        return true;
    }
};

// One component of the path: an empty one (repeated separators) and "." change nothing.
// True when it was a name. A name with a separator behind it loses one trailing dot, as
// Windows' path functions drop it: "Languages.\1031.mst" names "Languages\1031.mst".
bool TakeComponent(PathWriter& out, const char* component, std::size_t length, bool separatorFollows)
{
    if (length == 0 || (length == 1 && component[0] == '.')) {
        return false;
    }
    if (length == 2 && component[0] == '.' && component[1] == '.') {
        out.DropLastName();
        return false;
    }
    if (separatorFollows && component[length - 1] == '.') {
        --length;
    }
    out.PutName(component, length);
    return true;
}

// Takes every component of `text`; true when its last one was a name.
bool TakeComponents(PathWriter& out, const char* text, bool lastWasName)
{
    const char* p = text;
    while (*p != '\0') {
        const char* component = p;
        while (*p != '\0' && !IsSeparator(*p)) {
            ++p;
        }
        const auto length = static_cast<std::size_t>(p - component);
        if (length > 0) {
            lastWasName = TakeComponent(out, component, length, *p != '\0');
        }
        if (*p != '\0') {
            ++p;
        }
    }
    return lastWasName;
}

bool EndsWithSeparator(const char* text)
{
    if (*text == '\0') {
        return false;
    }
    while (text[1] != '\0') {
        ++text;
    }
    return IsSeparator(*text);
}

// How `path` begins decides what it is put behind: the part of the current directory it
// keeps (`base`, or null) and the rest to take (`rest`).
bool StartPath(PathWriter& out, const char* path, const char* currentDirectory, const char*& base,
               const char*& rest)
{
    base = nullptr;
    rest = path;
    if (IsSeparator(path[0]) && IsSeparator(path[1])) {
        out.Put('\\');
        out.root = 1;
        rest = path + 2;
        return true;
    }
    const char* drive = HasDrive(path) ? path : currentDirectory;
    if (!HasDrive(drive)) {
        return false;
    }
    out.Put(drive[0]);
    out.Put(':');
    out.root = 2;
    if (HasDrive(path)) {
        rest = path + 2;
        // "X:name" is relative to the current directory of drive X; only the current
        // drive has one other than its root.
        const bool driveRelative = !IsSeparator(path[2]);
        if (driveRelative && HasDrive(currentDirectory) && SameLetter(path[0], currentDirectory[0])) {
            base = currentDirectory + 2;
        }
    } else if (!IsSeparator(path[0])) {
        base = currentDirectory + 2;
    }
    return true;
}

// One character of each, without regard to letter case as Windows' file systems see it.
bool SameCharacter(const char* a, const char* b)
{
    std::size_t aPosition = 0;
    std::size_t bPosition = 0;
    const std::uint32_t x = DecodeUtf8(a, aPosition);
    const std::uint32_t y = DecodeUtf8(b, bPosition);
    // A byte that is no UTF-8 character matches only itself.
    if (x == kReplacementCharacter || y == kReplacementCharacter) {
        return aPosition == bPosition && std::equal(a, a + aPosition, b);
    }
    constexpr std::uint32_t kLastUnit = 0xFFFF;
    if (x > kLastUnit || y > kLastUnit) {
        return x == y;
    }
    return UpperCaseUnit(static_cast<WideChar>(x)) == UpperCaseUnit(static_cast<WideChar>(y));
}

}  // namespace

bool FullWindowsPath(const char* path, const char* currentDirectory, char* full, std::size_t capacity)
{
    PathWriter out{full, capacity};
    const char* base = nullptr;
    const char* rest = nullptr;
    if (path[0] == '\0' || !StartPath(out, path, currentDirectory, base, rest)) {
        return LeaveEmpty(full, capacity);
    }
    bool lastWasName = false;
    if (base != nullptr) {
        lastWasName = TakeComponents(out, base, lastWasName);
    }
    lastWasName = TakeComponents(out, rest, lastWasName);
    bool trailingSeparator = EndsWithSeparator(rest);
    if (lastWasName && !trailingSeparator && !out.TrimLastName()) {
        trailingSeparator = true;
    }
    if (out.used == out.root || trailingSeparator) {
        out.Put('\\');
    }
    if (!out.fits) {
        return LeaveEmpty(full, capacity);
    }
    full[out.used] = '\0';
    return true;
}

bool HasWildcards(const char* name) { return std::strpbrk(name, "*?") != nullptr; }

bool MatchesWildcards(const char* pattern, const char* name)
{
    constexpr std::size_t kNoStar = ~std::size_t{0};
    std::size_t p = 0;
    std::size_t n = 0;
    // The last "*" seen and where in the name it began: on a mismatch it takes one more
    // character and the rest of the pattern is tried again from there.
    std::size_t starPattern = kNoStar;
    std::size_t starName = 0;
    while (name[n] != '\0') {
        if (pattern[p] == '*') {
            starPattern = ++p;
            starName = n;
            continue;
        }
        std::size_t nextPattern = p;
        std::size_t nextName = n;
        if (pattern[p] != '\0') {
            DecodeUtf8(pattern, nextPattern);
            DecodeUtf8(name, nextName);
        }
        if (pattern[p] != '\0' &&
            (pattern[p] == '?' || SameCharacter(pattern + p, name + n))) {
            p = nextPattern;
            n = nextName;
            continue;
        }
        if (starPattern == kNoStar) {
            return false;
        }
        p = starPattern;
        DecodeUtf8(name, starName);
        n = starName;
    }
    while (pattern[p] == '*') {
        ++p;
    }
    return pattern[p] == '\0';
}

}  // namespace boot
