#include "services/ansi_names.h"

namespace boot {

namespace {

// A platform getter's answer: the length without the zero, or the size it needs when the
// buffer is too small, or 0 on failure.
bool FitsWide(std::uint32_t reported, std::size_t capacity) { return reported != 0 && reported < capacity; }

bool SameWideText(const WideChar* a, const WideChar* b)
{
    std::size_t i = 0;
    while (a[i] != 0 && a[i] == b[i]) {
        ++i;
    }
    return a[i] == b[i];
}

}  // namespace

AnsiName ToExactAnsi(Platform& platform, const WideChar* text, TextBuffer& ansi)
{
    ansi.Clear();
    // Flags 0 and no default character: the one form every code page takes, UTF-8
    // included. Whether the code page holds the text is decided by converting it back.
    const std::int32_t needed = platform.WideCharToMultiByte(kCodePageAnsi, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) {
        return AnsiName::inexact;  // no conversion at all: never a question of length
    }
    if (static_cast<std::size_t>(needed) > ansi.Capacity()) {
        return AnsiName::tooLong;
    }
    if (platform.WideCharToMultiByte(kCodePageAnsi, 0, text, -1, ansi.Data(), static_cast<std::int32_t>(ansi.Capacity()),
                                     nullptr, nullptr) != needed) {
        ansi.Clear();
        return AnsiName::inexact;
    }
    ansi.TerminateAtEnd();
    WideChar back[kTextBufferSize] = {};
    if (!ToWideText(platform, ansi.Get(), back, kTextBufferSize) || !SameWideText(text, back)) {
        ansi.Clear();
        return AnsiName::inexact;
    }
    return AnsiName::exact;
}

bool ToWideText(Platform& platform, const char* ansi, WideChar* wide, std::size_t capacity)
{
    const std::int32_t written =
        platform.MultiByteToWideChar(kCodePageAnsi, 0, ansi, -1, wide, static_cast<std::int32_t>(capacity));
    if (written <= 0) {
        wide[0] = 0;
        return false;
    }
    wide[capacity - 1] = 0;
    return true;
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

AnsiName ReadProgramFolder(Platform& platform, TextBuffer& folder, WideChar (&wide)[kTextBufferSize])
{
    folder.Clear();
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
