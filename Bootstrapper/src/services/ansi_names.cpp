#include "services/ansi_names.h"

namespace boot {

namespace {

// A platform getter's answer: the length without the zero, or the size it needs when the
// buffer is too small, or 0 on failure.
bool FitsWide(std::uint32_t reported, std::size_t capacity) { return reported != 0 && reported < capacity; }

}  // namespace

AnsiName ToExactAnsi(Platform& platform, const WideChar* text, TextBuffer& ansi)
{
    ansi.Clear();
    // A double-byte code page may need two bytes a character: convert into room for any
    // text a TextBuffer could hold, so that a name too long is told from one that is not
    // exact.
    FixedText<2 * kTextBufferSize> converted;
    bool usedDefault = false;
    const std::int32_t written =
        platform.WideCharToMultiByte(kCodePageAnsi, kWcNoBestFitChars, text, -1, converted.Data(),
                                     static_cast<std::int32_t>(converted.Capacity()), nullptr, &usedDefault);
    if (usedDefault) {
        return AnsiName::inexact;
    }
    converted.TerminateAtEnd();
    if (written <= 0 || converted.Length() >= kTextBufferSize) {
        return AnsiName::tooLong;
    }
    return ansi.Assign(converted.Get()) ? AnsiName::exact : AnsiName::tooLong;
}

AnsiName ReadCurrentDirectory(Platform& platform, TextBuffer& directory)
{
    directory.Clear();
    WideChar wide[kTextBufferSize] = {};
    if (!FitsWide(platform.GetCurrentDirectoryW(kTextBufferSize, wide), kTextBufferSize)) {
        return AnsiName::tooLong;
    }
    wide[kTextBufferSize - 1] = 0;
    return ToExactAnsi(platform, wide, directory);
}

AnsiName ReadProgramFolder(Platform& platform, TextBuffer& folder)
{
    folder.Clear();
    WideChar wide[kTextBufferSize] = {};
    if (!FitsWide(platform.GetModuleFileNameW(0, wide, kTextBufferSize), kTextBufferSize)) {
        return AnsiName::tooLong;
    }
    wide[kTextBufferSize - 1] = 0;
    // The folder ends at the last backslash; the file's own name may not be exact.
    std::size_t end = 0;
    for (std::size_t i = 0; wide[i] != 0; ++i) {
        if (wide[i] == u'\\') {
            end = i;
        }
    }
    wide[end] = 0;
    return ToExactAnsi(platform, wide, folder);
}

}  // namespace boot
