#pragma once
// The string pool of a database or a transform: `_StringPool` numbers the strings, and
// `_StringData` holds their bytes in the pool's code page. Tables refer to strings by
// number; 0 is null, which is also the empty string.

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace boot::msi {

// Ids take 3 bytes in the tables once they pass this; a flag in the pool says so.
constexpr std::uint32_t kMaxShortStringId = 0xFFFF;
constexpr std::uint32_t kLongReferencesFlag = 0x80000000;

// The strings a transform refers to, numbered from 1 in the order of their first use.
class StringPoolBuilder {
public:
    // The id of `utf8`, counting one more reference; 0 for the empty string.
    std::uint32_t Use(const std::string& utf8);
    // The id of a string already used; 0 for the empty string and any other.
    std::uint32_t IdOf(const std::string& utf8) const;
    std::size_t Count() const { return strings_.size(); }
    bool HasNonAscii() const;
    // Bytes of each reference in the table streams: 2, or 3 once ids pass 0xFFFF.
    unsigned ReferenceBytes() const { return strings_.size() > kMaxShortStringId ? 3 : 2; }
    // `_StringPool` and `_StringData` in `codePage`. False, with the reason, for a string
    // that code page cannot hold or one of 64 KB or more (readers disagree on how such a
    // length is stored).
    bool Encode(std::uint32_t codePage, std::string& pool, std::string& data, std::string& error) const;

private:
    std::vector<std::string> strings_;     // id 1 first
    std::vector<std::uint32_t> references_;
    std::unordered_map<std::string, std::uint32_t> ids_;
};

// A pool read back, its strings as UTF-8.
struct StringPool {
    std::uint32_t codePage = 0;
    unsigned referenceBytes = 2;
    std::vector<std::string> strings;  // by id; [0] is the empty string

    // The string of an id; null for an id the pool does not hold.
    const std::string* Find(std::uint32_t id) const { return id < strings.size() ? &strings[id] : nullptr; }
};

// False, with the reason, for a pool that is damaged or holds a string of 64 KB or more.
bool DecodeStringPool(const std::string& pool, const std::string& data, StringPool& decoded, std::string& error);

// Whether a package's pool and data agree, read as Windows Installer reads them: each
// entry's length (a string of 64 KB or more takes two entries) lies within the data, the
// lengths add up to the data, and no string begins with a zero byte. libmsi does not
// check it: it reads past the pool's end for a long string's second entry and past the
// data for a length too large, and goes on with what it found there. False, with what
// is wrong, for a pool that does not agree.
bool IsWholeStringPool(const std::string& pool, const std::string& data, std::string& what);

}  // namespace boot::msi
