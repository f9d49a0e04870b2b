#include "msi_file/format/string_pool.h"

#include <algorithm>

#include "msi_file/format/byte_order.h"
#include "msi_file/format/code_page_text.h"

namespace boot::msi {

namespace {

constexpr std::uint32_t kMaxLength = 0xFFFF;
constexpr std::uint32_t kMaxReferenceCount = 0xFFFF;

}  // namespace

std::uint32_t StringPoolBuilder::Use(const std::string& utf8)
{
    if (utf8.empty()) {
        return 0;
    }
    const auto [found, added] = ids_.try_emplace(utf8, static_cast<std::uint32_t>(strings_.size() + 1));
    if (added) {
        strings_.push_back(utf8);
        references_.push_back(0);
    }
    std::uint32_t& count = references_[found->second - 1];
    count = count < kMaxReferenceCount ? count + 1 : count;
    return found->second;
}

std::uint32_t StringPoolBuilder::IdOf(const std::string& utf8) const
{
    const auto found = ids_.find(utf8);
    return found != ids_.end() ? found->second : 0;
}

bool StringPoolBuilder::HasNonAscii() const
{
    return !std::all_of(strings_.begin(), strings_.end(), IsAscii);
}

bool StringPoolBuilder::Encode(std::uint32_t codePage, std::string& pool, std::string& data, std::string& error) const
{
    pool.clear();
    data.clear();
    AppendLittleEndian(pool, codePage | (ReferenceBytes() == 3 ? kLongReferencesFlag : 0), 4);
    for (std::size_t i = 0; i < strings_.size(); ++i) {
        std::string bytes;
        if (!EncodeCodePage(strings_[i], codePage, bytes)) {
            error = "the text \"" + strings_[i] + "\" has characters that code page " + std::to_string(codePage) +
                    " cannot hold";
            return false;
        }
        if (bytes.size() > kMaxLength) {
            error = "a text of " + std::to_string(bytes.size()) + " bytes: a transform holds none of 64 KB or more";
            return false;
        }
        AppendLittleEndian(pool, static_cast<std::uint32_t>(bytes.size()), 2);
        AppendLittleEndian(pool, references_[i], 2);
        data += bytes;
    }
    return true;
}

bool DecodeStringPool(const std::string& pool, const std::string& data, StringPool& decoded, std::string& error)
{
    decoded = StringPool{};
    decoded.strings.emplace_back();
    if (pool.size() % 4 != 0) {
        error = "the string pool is damaged";
        return false;
    }
    // As Windows Installer reads it: a pool of no strings says nothing of its code page.
    if (pool.size() > 4) {
        const std::uint32_t first = ReadLittleEndian(pool, 0, 4);
        decoded.codePage = first & ~kLongReferencesFlag;
        decoded.referenceBytes = (first & kLongReferencesFlag) != 0 ? 3 : 2;
    }
    std::size_t offset = 0;
    for (std::size_t entry = 4; entry < pool.size(); entry += 4) {
        const std::uint32_t length = ReadLittleEndian(pool, entry, 2);
        const std::uint32_t references = ReadLittleEndian(pool, entry + 2, 2);
        if (length == 0 && references != 0) {
            error = "the string pool holds a text of 64 KB or more";
            return false;
        }
        if (!HasBytes(data, offset, length)) {
            error = "the string pool is damaged";
            return false;
        }
        std::string text;
        if (!DecodeCodePage(data.substr(offset, length), decoded.codePage, text)) {
            error = "the string pool holds bytes that code page " + std::to_string(decoded.codePage) +
                    " does not define";
            return false;
        }
        decoded.strings.push_back(text);
        offset += length;
    }
    if (offset != data.size()) {
        error = "the string pool is damaged";
        return false;
    }
    return true;
}

bool IsWholeStringPool(const std::string& pool, const std::string& data, std::string& what)
{
    constexpr std::size_t kEntryBytes = 4;
    constexpr unsigned kHighLengthShift = 16;
    if (pool.size() % kEntryBytes != 0) {
        what = "its string pool ends inside an entry";
        return false;
    }
    std::size_t offset = 0;
    for (std::size_t entry = kEntryBytes; entry < pool.size(); entry += kEntryBytes) {
        std::size_t length = ReadLittleEndian(pool, entry, 2);
        const std::uint32_t references = ReadLittleEndian(pool, entry + 2, 2);
        if (length == 0 && references == 0) {
            continue;  // an id no string has
        }
        if (length == 0) {
            // The high half of a long string's length, its low half in the next entry.
            entry += kEntryBytes;
            if (entry >= pool.size()) {
                what = "its string pool ends inside the entries of a long string";
                return false;
            }
            length = (static_cast<std::size_t>(references) << kHighLengthShift) | ReadLittleEndian(pool, entry, 2);
        }
        if (!HasBytes(data, offset, length)) {
            what = "its string pool claims more text than its strings' data holds";
            return false;
        }
        if (data[offset] == '\0') {
            what = "a string of its string pool begins with a zero byte";
            return false;
        }
        offset += length;
    }
    if (offset != data.size()) {
        what = "its strings' data holds more than its string pool claims";
        return false;
    }
    return true;
}

}  // namespace boot::msi
