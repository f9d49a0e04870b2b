#include "msi_file/format/summary_stream.h"

#include <cstdint>
#include <vector>

#include "msi_file/format/byte_order.h"
#include "msi_file/format/code_page_text.h"

namespace boot::msi {

namespace {

// Variant types of the values.
constexpr std::uint32_t kVtI2 = 2;
constexpr std::uint32_t kVtI4 = 3;
constexpr std::uint32_t kVtLpstr = 30;
constexpr std::uint32_t kVtFiletime = 64;

constexpr std::uint32_t kByteOrderMark = 0xFFFE;
// Windows 2000 (5.0) on Win32, as the set's "OS version" field names its writer.
constexpr std::uint32_t kWriterSystem = 0x00020005;
constexpr std::size_t kGuidBytes = 16;
constexpr std::size_t kSetHeaderBytes = 28;
constexpr std::size_t kSectionOffset = kSetHeaderBytes + kGuidBytes + 4;
// A section: its size and property count, then an id and an offset for each property.
constexpr std::size_t kSectionHeaderBytes = 8;
constexpr std::size_t kEntryBytes = 8;
constexpr unsigned kWordBits = 32;
constexpr std::size_t kFiletimeBytes = 8;
// FMTID_SummaryInformation {F29F85E0-4FF9-1068-AB91-08002B27B3D9}, as stored.
constexpr unsigned char kSummaryFormatId[kGuidBytes] = {0xE0, 0x85, 0x9F, 0xF2, 0xF9, 0x4F, 0x68, 0x10,
                                                        0xAB, 0x91, 0x08, 0x00, 0x2B, 0x27, 0xB3, 0xD9};

// The type Windows Installer gives each property id; 0 for one it does not know.
std::uint32_t TypeOf(std::uint32_t pid)
{
    if (pid == kPidCodePage) {
        return kVtI2;
    }
    if ((pid >= kPidTitle && pid <= kPidRevisionNumber) || pid == kPidCreatingApplication) {
        return kVtLpstr;
    }
    if (pid >= kPidLastPrinted && pid <= kPidLastSaveTime) {
        return kVtFiletime;
    }
    if ((pid >= kPidPageCount && pid <= kPidCharacterCount) || pid == kPidSecurity) {
        return kVtI4;
    }
    return 0;
}

void PadToFour(std::string& out)
{
    while (out.size() % 4 != 0) {
        out.push_back('\0');
    }
}

bool EncodeValue(std::uint32_t pid, const SummaryProperty& property, std::uint32_t codePage, std::string& out,
                 std::string& error)
{
    const std::uint32_t type = TypeOf(pid);
    const bool isText = property.kind == SummaryProperty::Kind::text;
    const bool isTime = property.kind == SummaryProperty::Kind::filetime;
    if (type == 0 || isText != (type == kVtLpstr) || isTime != (type == kVtFiletime)) {
        error = "summary property " + std::to_string(pid) + " cannot hold that value";
        return false;
    }
    AppendLittleEndian(out, type, 4);
    if (type == kVtLpstr) {
        std::string bytes;
        if (!EncodeCodePage(property.text, codePage, bytes) || bytes.find('\0') != std::string::npos) {
            error = "summary property " + std::to_string(pid) + " has characters code page " +
                    std::to_string(codePage) + " cannot hold";
            return false;
        }
        AppendLittleEndian(out, static_cast<std::uint32_t>(bytes.size() + 1), 4);
        out += bytes;
        out.push_back('\0');
    } else if (type == kVtFiletime) {
        AppendLittleEndian(out, static_cast<std::uint32_t>(property.filetime), 4);
        AppendLittleEndian(out, static_cast<std::uint32_t>(property.filetime >> kWordBits), 4);
    } else {
        AppendLittleEndian(out, static_cast<std::uint32_t>(property.integer), type == kVtI2 ? 2 : 4);
    }
    PadToFour(out);
    return true;
}

bool DecodeValue(const std::string& section, std::size_t offset, std::uint32_t codePage, SummaryProperty& property)
{
    if (!HasBytes(section, offset, 4)) {
        return false;
    }
    const std::uint32_t type = ReadLittleEndian(section, offset, 4);
    offset += 4;
    switch (type) {
    case kVtI2:
        if (!HasBytes(section, offset, 2)) {
            return false;
        }
        property.integer = static_cast<std::int16_t>(ReadLittleEndian(section, offset, 2));
        return true;
    case kVtI4:
        if (!HasBytes(section, offset, 4)) {
            return false;
        }
        property.integer = static_cast<std::int32_t>(ReadLittleEndian(section, offset, 4));
        return true;
    case kVtFiletime:
        if (!HasBytes(section, offset, kFiletimeBytes)) {
            return false;
        }
        property.kind = SummaryProperty::Kind::filetime;
        property.filetime = ReadLittleEndian(section, offset, 4) |
                            static_cast<std::uint64_t>(ReadLittleEndian(section, offset + 4, 4)) << kWordBits;
        return true;
    case kVtLpstr: {
        if (!HasBytes(section, offset, 4)) {
            return false;
        }
        const std::uint32_t length = ReadLittleEndian(section, offset, 4);
        if (!HasBytes(section, offset + 4, length)) {
            return false;
        }
        std::string bytes = section.substr(offset + 4, length);
        bytes.resize(bytes.find('\0') != std::string::npos ? bytes.find('\0') : bytes.size());
        property.kind = SummaryProperty::Kind::text;
        return DecodeCodePage(bytes, codePage, property.text);
    }
    default:
        return false;
    }
}

}  // namespace

bool EncodeSummaryStream(const SummaryInfo& summary, std::string& bytes, std::string& error)
{
    const std::uint32_t codePage =
        static_cast<std::uint16_t>(summary.Integer(kPidCodePage, static_cast<std::int32_t>(kWesternCodePage)));
    std::string values;
    std::vector<std::uint32_t> offsets;
    const std::size_t tableBytes = kSectionHeaderBytes + kEntryBytes * summary.properties.size();
    for (const auto& [pid, property] : summary.properties) {
        offsets.push_back(static_cast<std::uint32_t>(tableBytes + values.size()));
        if (!EncodeValue(pid, property, codePage, values, error)) {
            return false;
        }
    }
    bytes.clear();
    AppendLittleEndian(bytes, kByteOrderMark, 2);
    AppendLittleEndian(bytes, 0, 2);  // format
    AppendLittleEndian(bytes, kWriterSystem, 4);
    bytes.append(kGuidBytes, '\0');  // no class id
    AppendLittleEndian(bytes, 1, 4);  // one section
    bytes.append(reinterpret_cast<const char*>(kSummaryFormatId), kGuidBytes);  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(kSectionOffset), 4);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(tableBytes + values.size()), 4);
    AppendLittleEndian(bytes, static_cast<std::uint32_t>(summary.properties.size()), 4);
    std::size_t i = 0;
    for (const auto& entry : summary.properties) {
        AppendLittleEndian(bytes, entry.first, 4);
        AppendLittleEndian(bytes, offsets[i++], 4);
    }
    bytes += values;
    return true;
}

bool DecodeSummaryStream(const std::string& bytes, SummaryInfo& summary, std::string& error)
{
    summary = SummaryInfo{};
    error = "no summary information property set";
    if (!HasBytes(bytes, 0, kSectionOffset) || ReadLittleEndian(bytes, 0, 2) != kByteOrderMark ||
        bytes.compare(kSetHeaderBytes, kGuidBytes, reinterpret_cast<const char*>(kSummaryFormatId),  // NOLINT(cppcoreguidelines-pro-type-reinterpret-cast)
                      kGuidBytes) != 0) {
        return false;
    }
    const std::size_t start = ReadLittleEndian(bytes, kSetHeaderBytes + kGuidBytes, 4);
    if (!HasBytes(bytes, start, kSectionHeaderBytes)) {
        return false;
    }
    const std::uint32_t size = ReadLittleEndian(bytes, start, 4);
    const std::uint32_t count = ReadLittleEndian(bytes, start + 4, 4);
    if (size < kSectionHeaderBytes || !HasBytes(bytes, start, size) ||
        count > (size - kSectionHeaderBytes) / kEntryBytes) {
        return false;
    }
    const auto idAt = [](std::uint32_t i) { return kSectionHeaderBytes + kEntryBytes * i; };
    const std::string section = bytes.substr(start, size);
    // The code page first: it decides how every string reads.
    std::uint32_t codePage = kWesternCodePage;
    for (std::uint32_t i = 0; i < count; ++i) {
        SummaryProperty property;
        if (ReadLittleEndian(section, idAt(i), 4) == kPidCodePage &&
            DecodeValue(section, ReadLittleEndian(section, idAt(i) + 4, 4), codePage, property)) {
            codePage = static_cast<std::uint16_t>(property.integer);
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t pid = ReadLittleEndian(section, idAt(i), 4);
        SummaryProperty property;
        if (!DecodeValue(section, ReadLittleEndian(section, idAt(i) + 4, 4), codePage, property)) {
            error = "summary property " + std::to_string(pid) + " is damaged";
            return false;
        }
        summary.properties[pid] = property;
    }
    error.clear();
    return true;
}

}  // namespace boot::msi
