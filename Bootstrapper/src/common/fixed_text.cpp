#include "common/fixed_text.h"

namespace boot {

namespace {

constexpr unsigned int kDecimal = 10u;
constexpr unsigned int kHexadecimal = 16u;
constexpr const char* kDigits = "0123456789ABCDEF";
// Enough for the longest 32-bit number in decimal (4294967295).
constexpr std::size_t kMaxDigits = 10;

// Where the text goes. `next` never passes `last`, the byte kept for the terminating
// zero; once a character did not fit, nothing more is written and the text is refused.
struct Output {
    char* next;
    char* last;
    bool fits;
};

void Put(Output& out, char c)
{
    if (out.next == out.last) {
        out.fits = false;
        return;
    }
    *out.next = c;
    ++out.next;
}

void PutText(Output& out, const char* text)
{
    // What the C library's printf shows for a null text, rather than a crash.
    for (const char* p = text != nullptr ? text : "(null)"; *p != '\0' && out.fits; ++p) {
        Put(out, *p);
    }
}

void PutNumber(Output& out, unsigned int value, unsigned int base)
{
    char digits[kMaxDigits];
    std::size_t count = 0;
    do {
        digits[count] = kDigits[value % base];
        ++count;
        value /= base;
    } while (value != 0);
    while (count > 0 && out.fits) {
        --count;
        Put(out, digits[count]);
    }
}

void PutSigned(Output& out, int value)
{
    // The magnitude in unsigned arithmetic, so that INT_MIN needs no special case.
    unsigned int magnitude = static_cast<unsigned int>(value);
    if (value < 0) {
        Put(out, '-');
        magnitude = 0u - magnitude;
    }
    PutNumber(out, magnitude, kDecimal);
}

// Writes one conversion. An unknown one refuses the text: the product formats with %s,
// %d, %i, %u, %X and %% only, and a text with anything else in it would be wrong.
bool PutConversion(Output& out, char conversion, std::va_list* args)
{
    switch (conversion) {
    case '%':
        Put(out, '%');
        return true;
    case 's':
        PutText(out, va_arg(*args, const char*));
        return true;
    case 'd':
    case 'i':
        PutSigned(out, va_arg(*args, int));
        return true;
    case 'u':
        PutNumber(out, va_arg(*args, unsigned int), kDecimal);
        return true;
    case 'X':
        PutNumber(out, va_arg(*args, unsigned int), kHexadecimal);
        return true;
    default:
        return false;
    }
}

}  // namespace

// The C library's printf is not used: it brings its floating-point conversions along,
// which would be most of the program's size.
bool FormatTextV(char* buffer, std::size_t capacity, const char* format, std::va_list args)
{
    if (buffer == nullptr || capacity == 0) {
        return false;
    }
    Output out{buffer, buffer + capacity - 1, true};
    // A copy the conversions can advance through a pointer, whatever va_list is.
    std::va_list rest{};
    va_copy(rest, args);
    const char* p = format;
    while (out.fits && *p != '\0') {
        if (*p != '%') {
            Put(out, *p);
        } else {
            ++p;
            if (*p == '\0' || !PutConversion(out, *p, &rest)) {
                out.fits = false;
                break;
            }
        }
        ++p;
    }
    va_end(rest);
    *out.next = '\0';
    if (!out.fits) {
        buffer[0] = '\0';
    }
    return out.fits;
}

bool FormatText(char* buffer, std::size_t capacity, const char* format, ...)
{
    std::va_list args{};
    va_start(args, format);
    const bool fits = FormatTextV(buffer, capacity, format, args);
    va_end(args);
    return fits;
}

std::size_t TextLength(const char* text)
{
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

bool TextEquals(const char* a, const char* b)
{
    std::size_t i = 0;
    while (a[i] != '\0' && a[i] == b[i]) {
        ++i;
    }
    return a[i] == b[i];
}

}  // namespace boot
