#pragma once
// Fixed-capacity, zero-terminated ANSI text. The product never allocates: every path,
// setting and command line lives in one of these.

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace boot {

constexpr std::size_t kTextBufferSize = 1024;

// The one bounded formatter. Writes the whole text and returns true, or, when the text
// with its terminating zero does not fit in `capacity` bytes, leaves `buffer` empty and
// returns false: a cut path could name another file, so nothing partial is ever kept.
// It knows %s, %d, %i, %u, %X and %%, without flags, widths or lengths; a format with
// anything else is refused the same way.
bool FormatText(char* buffer, std::size_t capacity, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 4)))
#endif
    ;
bool FormatTextV(char* buffer, std::size_t capacity, const char* format, std::va_list args)
#if defined(__GNUC__)
    __attribute__((format(printf, 3, 0)))
#endif
    ;

std::size_t TextLength(const char* text);
bool TextEquals(const char* a, const char* b);

template <std::size_t N>
class FixedText {
    static_assert(N > 1, "room for at least one character and the terminating zero");

public:
    // All zero from the start: the empty text, and no byte left undefined. Cleared by a
    // constructor of its own, not a member initialiser: GCC builds a struct holding several
    // texts from an all-zero image stored in the file, where this clears it in place.
    FixedText() : text_{} {}
    ~FixedText() = default;
    FixedText(const FixedText&) = delete;
    FixedText& operator=(const FixedText&) = delete;

    // Asked of the buffer itself, so that the size handed to a platform call is always the
    // size of the buffer handed with it.
    constexpr std::size_t Capacity() const { return N; }
    const char* Get() const { return text_; }
    // Raw access for platform calls that fill the buffer; they are given Capacity().
    char* Data() { return text_; }
    std::size_t Length() const { return TextLength(text_); }
    bool IsEmpty() const { return text_[0] == '\0'; }
    void Clear() { text_[0] = '\0'; }

    // On failure the text is left empty.
    bool Assign(const char* text) { return FormatText(text_, N, "%s", text); }

    bool Format(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        std::va_list args{};
        va_start(args, format);
        const bool fits = FormatTextV(text_, N, format, args);
        va_end(args);
        return fits;
    }

    // On failure the text is left unchanged.
    bool Append(const char* text) { return AppendFormat("%s", text); }

    bool AppendFormat(const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
    {
        const std::size_t used = Length();
        std::va_list args{};
        va_start(args, format);
        const bool fits = FormatTextV(text_ + used, N - used, format, args);
        va_end(args);
        // FormatTextV emptied the tail on failure, which restores the old terminator.
        return fits;
    }

    // After a platform call wrote into Data(): make sure the text ends inside the buffer.
    void TerminateAtEnd() { text_[N - 1] = '\0'; }

    // After a platform getter that answers with the text's length: 0 is a failure, and a
    // text that did not fit is answered with the size it needs while the buffer holds
    // nothing usable. False, with the text emptied, in both cases.
    bool KeepPlatformText(std::uint32_t reportedLength)
    {
        if (reportedLength == 0 || reportedLength >= N) {
            Clear();
            return false;
        }
        TerminateAtEnd();
        return true;
    }

private:
    char text_[N];
};

using TextBuffer = FixedText<kTextBufferSize>;

}  // namespace boot
