#pragma once
// Little-endian numbers in byte strings, as every Windows Installer stream holds them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace boot::msi {

constexpr unsigned kBitsPerByte = 8;
constexpr std::uint32_t kByteMask = 0xFF;

inline void AppendLittleEndian(std::string& out, std::uint32_t value, std::size_t bytes)
{
    for (std::size_t i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (kBitsPerByte * i)) & kByteMask));
    }
}

// The number at `offset`; the caller has checked that the bytes are there.
inline std::uint32_t ReadLittleEndian(const std::string& in, std::size_t offset, std::size_t bytes)
{
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < bytes; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[offset + i])) << (kBitsPerByte * i);
    }
    return value;
}

inline bool HasBytes(const std::string& in, std::size_t offset, std::size_t bytes)
{
    return offset <= in.size() && bytes <= in.size() - offset;
}

}  // namespace boot::msi
