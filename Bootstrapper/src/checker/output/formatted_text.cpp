#include "checker/output/formatted_text.h"

#include "common/fixed_text.h"

namespace boot {

namespace {

constexpr std::size_t kFirstRoom = 4 * kTextBufferSize;
constexpr std::size_t kMostRoom = std::size_t{1} << 20;

}  // namespace

bool FormatString(std::string& text, const char* format, std::va_list args)
{
    // FormatTextV takes a copy of `args`, so each try starts at the first argument.
    text.assign(kFirstRoom, '\0');
    while (!FormatTextV(text.data(), text.size(), format, args)) {
        if (text.size() >= kMostRoom) {
            text.clear();
            return false;
        }
        text.resize(2 * text.size());
    }
    text.resize(TextLength(text.c_str()));
    return true;
}

}  // namespace boot
