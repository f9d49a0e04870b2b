#include "common/code_page_1252.h"

namespace boot {

namespace {

constexpr unsigned kSpecialFirst = 0x80;
constexpr unsigned kSpecialCount = 32;
constexpr unsigned kLatin1First = 0xA0;
constexpr unsigned kLatin1Last = 0xFF;

// 0x80 to 0x9F; the five bytes Windows leaves unassigned stand for the C1 controls of the
// same value, and convert back to them.
constexpr std::uint16_t kSpecials[kSpecialCount] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

}  // namespace

std::uint32_t DecodeCodePage1252(unsigned char byte)
{
    if (byte >= kSpecialFirst && byte < kLatin1First) {
        return kSpecials[byte - kSpecialFirst];
    }
    return byte;
}

bool EncodeCodePage1252(std::uint32_t codePoint, unsigned char& byte)
{
    if (codePoint < kSpecialFirst || (codePoint >= kLatin1First && codePoint <= kLatin1Last)) {
        byte = static_cast<unsigned char>(codePoint);
        return true;
    }
    for (unsigned i = 0; i < kSpecialCount; ++i) {
        if (kSpecials[i] == codePoint) {
            byte = static_cast<unsigned char>(kSpecialFirst + i);
            return true;
        }
    }
    return false;
}

}  // namespace boot
