#include "msi_file/format/compound_integrity.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <utility>
#include <vector>

#include "msi_file/format/byte_order.h"
#include "msi_file/format/stream_name.h"

namespace boot::msi {

namespace {

// Sector numbers past the last regular one say what a sector is used for.
constexpr std::uint32_t kDifatSector = 0xFFFFFFFC;
constexpr std::uint32_t kTableSector = 0xFFFFFFFD;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kFreeSector = 0xFFFFFFFF;
constexpr std::uint32_t kLastRegularSector = 0xFFFFFFF9;
constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

constexpr char kSignature[] = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
constexpr std::size_t kSignatureBytes = sizeof kSignature - 1;
constexpr std::size_t kHeaderBytes = 512;
constexpr std::uint32_t kByteOrderMark = 0xFFFE;
constexpr std::uint32_t kSmallSectorShift = 9;   // version 3: sectors of 512 bytes
constexpr std::uint32_t kLargeSectorShift = 12;  // version 4: sectors of 4,096 bytes
constexpr std::uint32_t kMiniSectorShift = 6;
constexpr std::uint64_t kMiniSectorBytes = std::uint64_t{1} << kMiniSectorShift;
constexpr std::uint32_t kMiniStreamCutoff = 4096;
constexpr std::size_t kHeaderTableSectors = 109;
constexpr std::size_t kEntryBytes = 128;
constexpr std::size_t kNumberBytes = 4;
constexpr std::size_t kShortBytes = 2;
constexpr std::size_t kNameUnits = 32;  // with the terminating zero
constexpr std::uint64_t kWholeChain = std::numeric_limits<std::uint64_t>::max();

// Header fields by their offsets.
constexpr std::size_t kByteOrderAt = 28;
constexpr std::size_t kSectorShiftAt = 30;
constexpr std::size_t kMiniSectorShiftAt = 32;
constexpr std::size_t kTableSectorsAt = 44;
constexpr std::size_t kFirstDirectorySectorAt = 48;
constexpr std::size_t kMiniStreamCutoffAt = 56;
constexpr std::size_t kFirstMiniTableSectorAt = 60;
constexpr std::size_t kMiniTableSectorsAt = 64;
constexpr std::size_t kFirstDifatSectorAt = 68;
constexpr std::size_t kDifatSectorsAt = 72;
constexpr std::size_t kHeaderTableAt = 76;

// Directory entry fields by their offsets.
constexpr std::size_t kNameBytesAt = 64;
constexpr std::size_t kTypeAt = 66;
constexpr std::size_t kLeftAt = 68;
constexpr std::size_t kRightAt = 72;
constexpr std::size_t kChildAt = 76;
constexpr std::size_t kStartAt = 116;
constexpr std::size_t kSizeAt = 120;
constexpr unsigned char kStorageEntry = 1;
constexpr unsigned char kStreamEntry = 2;
constexpr unsigned char kRootEntry = 5;

constexpr std::uint32_t kUnclaimed = 0xFFFFFFFF;

// Which chain holds a sector, and as its how-manieth: two chains that claim one sector
// are found, and told apart.
struct Claim {
    std::uint32_t part = kUnclaimed;
    std::uint64_t position = 0;
};

// The sectors of the file, or the mini sectors of the mini stream.
struct SectorSpace {
    std::vector<std::uint32_t> next;  // the sector table: each sector's successor or use
    std::uint64_t held = 0;           // sectors that may be in use at all
    std::uint64_t present = 0;        // of those, the ones whose bytes are there
    std::vector<Claim> claims;        // of the present ones
};

// What a chain is, for the reports, what its break means, and where its directory entry
// or header says it begins and how many sectors it has (kWholeChain: as many as it has).
struct Part {
    std::string name;
    std::string broken;
    std::uint32_t start = 0;
    std::uint64_t count = 0;
};

enum class Walk : std::uint8_t { whole, cut, failed };

// A stream the directory's tree reaches: its entry, its path, and whether it lies directly
// in the root storage.
struct FoundStream {
    std::uint32_t entry = 0;
    std::string path;
    bool inRoot = false;
};

std::uint64_t SectorsFor(std::uint64_t bytes, std::uint64_t sectorBytes)
{
    return (bytes + sectorBytes - 1) / sectorBytes;
}

// Whether the sector table gives the chain exactly as many sectors as its entry asks for.
bool Fits(const SectorSpace& space, const Part& part)
{
    if (part.count == kWholeChain) {
        return true;  // the header and the directory's own chains end where the table says
    }
    if (part.count > space.next.size()) {
        return false;
    }
    std::uint32_t sector = part.start;
    for (std::uint64_t position = 0; position < part.count; ++position) {
        if (sector >= space.next.size()) {
            return false;
        }
        sector = space.next[sector];
    }
    return part.count == 0 || sector == kEndOfChain;
}

// Whether the stream of this name holds a part of the database itself: a table's stream
// (the string pool and the system tables among them) or a property set (the summary
// information).
bool ReadByTheDatabase(const std::u16string& units)
{
    constexpr char16_t kPropertySetMark = 5;
    return !units.empty() && (units[0] == kTableStreamMark || units[0] == kPropertySetMark);
}

// A name as the tools show it: unpacked, a control character as an octal escape.
std::string ShownName(const std::u16string& units)
{
    bool isTable = false;
    const std::string plain = DecodeStreamName(units, isTable);
    std::string shown;
    for (const char c : plain) {
        const auto byte = static_cast<unsigned char>(c);
        constexpr unsigned char kFirstPrintable = 0x20;
        constexpr unsigned char kDelete = 0x7F;
        if (byte < kFirstPrintable || byte == kDelete) {
            char escape[sizeof "\\000"];
            static_cast<void>(std::snprintf(escape, sizeof escape, "\\%03o", static_cast<unsigned>(byte)));
            shown += escape;
        } else {
            shown += c;
        }
    }
    return shown;
}

class CompoundFile {
public:
    CompoundFile(int fd, std::uint64_t bytes) : fd_(fd), fileBytes_(bytes) {}
    CompoundCheck Check();

private:
    bool ReadHeader(std::string& header, bool& compound);
    bool ListTableSectors(const std::string& header, std::uint32_t table, std::vector<std::uint32_t>& sectors);
    bool ReadSectorTable(const std::string& header);
    bool ReadDirectory(const std::string& header);
    bool ReadMiniStream(const std::string& header);
    bool FindStreams(std::vector<FoundStream>& streams);
    bool CheckStream(const FoundStream& stream);

    Walk Follow(SectorSpace& space, std::uint32_t start, std::uint64_t count, std::uint32_t part,
                std::vector<std::uint32_t>& sectors);
    bool ClaimSector(SectorSpace& space, std::uint32_t sector, std::uint64_t position, std::uint32_t part);
    bool ReadSector(std::uint32_t sector, std::string& bytes) const;
    std::uint32_t AddPart(std::string name, std::string broken, std::uint32_t start = 0,
                          std::uint64_t count = kWholeChain);

    bool Fail(CompoundFault fault, std::string what);
    bool Damaged(const std::string& part, const std::string& how)
    {
        return Fail(CompoundFault::damaged, part + " is damaged: " + how);
    }
    bool Truncated(const std::string& part)
    {
        return Fail(CompoundFault::truncated, part + " runs past the end of the file");
    }
    Walk Broken(std::uint32_t part)
    {
        Damaged(parts_[part].name, parts_[part].broken);
        return Walk::failed;
    }

    std::uint32_t EntryNumber(std::uint32_t entry, std::size_t at) const
    {
        return ReadLittleEndian(entries_[entry], at, kNumberBytes);
    }
    std::uint64_t EntrySize(std::uint32_t entry) const;
    std::u16string EntryName(std::uint32_t entry) const;

    int fd_;
    std::uint64_t fileBytes_;
    std::uint64_t sectorBytes_ = 0;
    bool largeSectors_ = false;
    SectorSpace big_;
    SectorSpace mini_;
    std::vector<std::string> entries_;       // the directory's, 128 bytes each
    std::vector<std::uint32_t> miniStream_;  // its sectors, up to the first the file lacks
    bool miniStreamCut_ = false;
    std::vector<Part> parts_;
    CompoundCheck result_;
};

bool CompoundFile::Fail(CompoundFault fault, std::string what)
{
    result_.fault = fault;
    result_.what = std::move(what);
    return false;
}

std::uint32_t CompoundFile::AddPart(std::string name, std::string broken, std::uint32_t start, std::uint64_t count)
{
    parts_.push_back(Part{std::move(name), std::move(broken), start, count});
    return static_cast<std::uint32_t>(parts_.size() - 1);
}

bool CompoundFile::ReadSector(std::uint32_t sector, std::string& bytes) const
{
    bytes.assign(sectorBytes_, '\0');
    const auto offset = static_cast<off_t>((static_cast<std::uint64_t>(sector) + 1) * sectorBytes_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t read = pread(fd_, &bytes[done], bytes.size() - done, offset + static_cast<off_t>(done));
        if (read < 0 && errno == EINTR) {
            continue;
        }
        if (read <= 0) {
            return false;
        }
        done += static_cast<std::size_t>(read);
    }
    return true;
}

bool CompoundFile::ClaimSector(SectorSpace& space, std::uint32_t sector, std::uint64_t position, std::uint32_t part)
{
    Claim& claim = space.claims[sector];
    if (claim.part == kUnclaimed) {
        claim = Claim{part, position};
        return true;
    }
    if (claim.part == part) {
        return Damaged(parts_[part].name, "its sector chain runs in a circle");
    }
    // The damaged one of the two is the one whose chain does not end where its entry says
    // it does; when that does not tell, the one that begins inside the other.
    const bool thisFits = Fits(space, parts_[part]);
    const bool otherFits = Fits(space, parts_[claim.part]);
    const bool otherBeginsHere = claim.position == 0 && position != 0;
    const bool otherDamaged = thisFits != otherFits ? thisFits : otherBeginsHere;
    const std::uint32_t damaged = otherDamaged ? claim.part : part;
    const std::uint32_t intact = otherDamaged ? part : claim.part;
    return Damaged(parts_[damaged].name, "it claims sectors of " + parts_[intact].name);
}

// Follows `count` sectors of the chain from `start` (kWholeChain: up to its end) and
// claims them; `sectors` receives them up to the first the file lacks (Walk::cut).
Walk CompoundFile::Follow(SectorSpace& space, std::uint32_t start, std::uint64_t count, std::uint32_t part,
                          std::vector<std::uint32_t>& sectors)
{
    sectors.clear();
    const bool toEnd = count == kWholeChain;
    std::uint32_t sector = start;
    for (std::uint64_t position = 0; toEnd || position < count; ++position) {
        if (toEnd && position > 0 && sector == kEndOfChain) {
            break;
        }
        if (sector >= space.next.size() || sector >= space.held) {
            return Broken(part);
        }
        const std::uint32_t next = space.next[sector];
        if (next == kFreeSector || next == kTableSector || next == kDifatSector) {
            return Broken(part);
        }
        if (sector >= space.present) {
            return Walk::cut;
        }
        if (!ClaimSector(space, sector, position, part)) {
            return Walk::failed;
        }
        sectors.push_back(sector);
        sector = next;
    }
    return Walk::whole;
}

std::uint64_t CompoundFile::EntrySize(std::uint32_t entry) const
{
    const std::uint64_t low = EntryNumber(entry, kSizeAt);
    // Version 3 files may leave anything in the high half, and their readers ignore it.
    const std::uint64_t high = largeSectors_ ? EntryNumber(entry, kSizeAt + kNumberBytes) : 0;
    constexpr unsigned kHalfBits = 32;
    return high << kHalfBits | low;
}

std::u16string CompoundFile::EntryName(std::uint32_t entry) const
{
    const std::string& bytes = entries_[entry];
    const std::size_t units = std::min<std::size_t>(ReadLittleEndian(bytes, kNameBytesAt, kShortBytes) / kShortBytes,
                                                    kNameUnits);
    std::u16string name;
    for (std::size_t i = 0; i < units; ++i) {
        const auto unit = static_cast<char16_t>(ReadLittleEndian(bytes, i * kShortBytes, kShortBytes));
        if (unit == 0) {
            break;
        }
        name.push_back(unit);
    }
    return name;
}

bool CompoundFile::ReadHeader(std::string& header, bool& compound)
{
    header.assign(kHeaderBytes, '\0');
    const ssize_t read = pread(fd_, header.data(), header.size(), 0);
    const auto got = static_cast<std::size_t>(std::max<ssize_t>(read, 0));
    compound = got >= kSignatureBytes && header.compare(0, kSignatureBytes, kSignature) == 0;
    if (!compound) {
        return false;  // no compound file: the readers say what it is
    }
    if (got < kHeaderBytes) {
        return Truncated("its header");
    }
    const std::uint32_t shift = ReadLittleEndian(header, kSectorShiftAt, kShortBytes);
    if (ReadLittleEndian(header, kByteOrderAt, kShortBytes) != kByteOrderMark ||
        (shift != kSmallSectorShift && shift != kLargeSectorShift) ||
        ReadLittleEndian(header, kMiniSectorShiftAt, kShortBytes) != kMiniSectorShift ||
        ReadLittleEndian(header, kMiniStreamCutoffAt, kNumberBytes) != kMiniStreamCutoff) {
        return Damaged("its header", "its byte order, sector sizes or mini stream cutoff are none a compound file has");
    }
    sectorBytes_ = std::uint64_t{1} << shift;
    largeSectors_ = shift == kLargeSectorShift;
    // The header takes the whole first sector.
    big_.present = fileBytes_ / sectorBytes_ > 0 ? fileBytes_ / sectorBytes_ - 1 : 0;
    big_.claims.resize(big_.present);
    return true;
}

// The sectors of the sector table, as the header lists them.
bool CompoundFile::ListTableSectors(const std::string& header, std::uint32_t table, std::vector<std::uint32_t>& sectors)
{
    const std::uint64_t tableSectors = ReadLittleEndian(header, kTableSectorsAt, kNumberBytes);
    if (tableSectors == 0) {
        return Damaged("its header", "it places no sector table");
    }
    for (std::size_t i = 0; i < kHeaderTableSectors && sectors.size() < tableSectors; ++i) {
        sectors.push_back(ReadLittleEndian(header, kHeaderTableAt + i * kNumberBytes, kNumberBytes));
    }
    // Tables of more sectors list the rest in a chain of sectors of their own, the last
    // number of each naming the next.
    std::uint32_t listing = ReadLittleEndian(header, kFirstDifatSectorAt, kNumberBytes);
    const std::uint64_t listings = ReadLittleEndian(header, kDifatSectorsAt, kNumberBytes);
    std::string bytes;
    for (std::uint64_t position = 0; position < listings && sectors.size() < tableSectors; ++position) {
        if (listing > kLastRegularSector) {
            return Damaged("its sector table", parts_[table].broken);
        }
        if (listing >= big_.present || !ReadSector(listing, bytes)) {
            return Truncated("its sector table");
        }
        if (!ClaimSector(big_, listing, sectors.size() + position, table)) {
            return false;
        }
        const std::size_t numbers = sectorBytes_ / kNumberBytes - 1;
        for (std::size_t i = 0; i < numbers && sectors.size() < tableSectors; ++i) {
            sectors.push_back(ReadLittleEndian(bytes, i * kNumberBytes, kNumberBytes));
        }
        listing = ReadLittleEndian(bytes, numbers * kNumberBytes, kNumberBytes);
    }
    if (sectors.size() < tableSectors) {
        return Damaged("its sector table", parts_[table].broken);
    }
    return true;
}

bool CompoundFile::ReadSectorTable(const std::string& header)
{
    const std::uint32_t table = AddPart("its sector table", "its header places it in sectors that do not hold it");
    std::vector<std::uint32_t> sectors;
    if (!ListTableSectors(header, table, sectors)) {
        return false;
    }
    std::string bytes;
    for (std::size_t position = 0; position < sectors.size(); ++position) {
        const std::uint32_t sector = sectors[position];
        if (sector > kLastRegularSector) {
            return Damaged("its sector table", parts_[table].broken);
        }
        if (sector >= big_.present || !ReadSector(sector, bytes)) {
            return Truncated("its sector table");
        }
        if (!ClaimSector(big_, sector, position, table)) {
            return false;
        }
        for (std::size_t at = 0; at < bytes.size(); at += kNumberBytes) {
            big_.next.push_back(ReadLittleEndian(bytes, at, kNumberBytes));
        }
    }
    big_.held = big_.next.size();
    return true;
}

bool CompoundFile::ReadDirectory(const std::string& header)
{
    const std::uint32_t directory = AddPart("its directory", "its sector chain is broken");
    std::vector<std::uint32_t> sectors;
    const Walk walk = Follow(big_, ReadLittleEndian(header, kFirstDirectorySectorAt, kNumberBytes), kWholeChain,
                             directory, sectors);
    if (walk != Walk::whole) {
        return walk == Walk::cut ? Truncated("its directory") : false;
    }
    std::string bytes;
    for (const std::uint32_t sector : sectors) {
        if (!ReadSector(sector, bytes)) {
            return Truncated("its directory");
        }
        for (std::size_t at = 0; at + kEntryBytes <= bytes.size(); at += kEntryBytes) {
            entries_.push_back(bytes.substr(at, kEntryBytes));
        }
    }
    if (entries_.empty() || static_cast<unsigned char>(entries_[0][kTypeAt]) != kRootEntry) {
        return Damaged("its directory", "it begins with no root entry");
    }
    return true;
}

// The mini stream holds the streams below the cutoff in sectors of 64 bytes; its own
// sectors are the root entry's chain, its sector table has a chain of its own.
bool CompoundFile::ReadMiniStream(const std::string& header)
{
    const std::uint32_t table = AddPart("its mini stream's sector table", "its sector chain is broken");
    const std::uint64_t streamBytes = EntrySize(0);
    const std::uint32_t stream = AddPart("its mini stream", "its root entry gives more bytes than its sectors hold",
                                         EntryNumber(0, kStartAt), SectorsFor(streamBytes, sectorBytes_));
    std::vector<std::uint32_t> sectors;
    const std::uint64_t tableSectors = ReadLittleEndian(header, kMiniTableSectorsAt, kNumberBytes);
    if (tableSectors > 0) {
        const Walk walk = Follow(big_, ReadLittleEndian(header, kFirstMiniTableSectorAt, kNumberBytes), tableSectors,
                                 table, sectors);
        if (walk != Walk::whole) {
            return walk == Walk::cut ? Truncated(parts_[table].name) : false;
        }
    }
    std::string bytes;
    for (const std::uint32_t sector : sectors) {
        if (!ReadSector(sector, bytes)) {
            return Truncated(parts_[table].name);
        }
        for (std::size_t at = 0; at < bytes.size(); at += kNumberBytes) {
            mini_.next.push_back(ReadLittleEndian(bytes, at, kNumberBytes));
        }
    }
    // A file cut short may end inside the mini stream: the streams whose bytes are lost
    // are named below.
    const Walk walk =
        Follow(big_, EntryNumber(0, kStartAt), SectorsFor(streamBytes, sectorBytes_), stream, miniStream_);
    if (walk == Walk::failed) {
        return false;
    }
    miniStreamCut_ = walk == Walk::cut;
    mini_.held = SectorsFor(streamBytes, kMiniSectorBytes);
    mini_.present = std::min<std::uint64_t>(mini_.held, miniStream_.size() * (sectorBytes_ / kMiniSectorBytes));
    mini_.claims.resize(mini_.present);
    return true;
}

// The streams the directory's tree reaches, by their entries' order, with their paths.
// libgsf takes the root entry's siblings, which it should not have, for its children.
bool CompoundFile::FindStreams(std::vector<FoundStream>& streams)
{
    std::vector<bool> seen(entries_.size());
    seen[0] = true;
    std::vector<std::pair<std::uint32_t, std::string>> pending{{EntryNumber(0, kChildAt), std::string()},
                                                               {EntryNumber(0, kLeftAt), std::string()},
                                                               {EntryNumber(0, kRightAt), std::string()}};
    while (!pending.empty()) {
        const auto [entry, storage] = pending.back();
        pending.pop_back();
        if (entry == kNoEntry) {
            continue;
        }
        if (entry >= entries_.size() || seen[entry]) {
            return Damaged("its directory", "its entries do not form a tree");
        }
        seen[entry] = true;
        const auto type = static_cast<unsigned char>(entries_[entry][kTypeAt]);
        if (type != kStorageEntry && type != kStreamEntry) {
            return Damaged("its directory", "it holds an entry of type " + std::to_string(type));
        }
        const std::string path = storage + ShownName(EntryName(entry));
        pending.emplace_back(EntryNumber(entry, kLeftAt), storage);
        pending.emplace_back(EntryNumber(entry, kRightAt), storage);
        if (type == kStorageEntry) {
            pending.emplace_back(EntryNumber(entry, kChildAt), path + "/");
        } else {
            streams.push_back(FoundStream{entry, path, storage.empty()});
        }
    }
    std::sort(streams.begin(), streams.end(),
              [](const FoundStream& a, const FoundStream& b) { return a.entry < b.entry; });
    return true;
}

bool CompoundFile::CheckStream(const FoundStream& stream)
{
    const std::uint32_t entry = stream.entry;
    const std::uint64_t bytes = EntrySize(entry);
    const std::string name = "its stream " + stream.path;
    // Below the cutoff a stream lies in the mini stream, from the cutoff on in the file's
    // own sectors: the size alone says which.
    const bool inMiniStream = bytes < kMiniStreamCutoff;
    const std::uint32_t start = EntryNumber(entry, kStartAt);
    const std::uint64_t count = SectorsFor(bytes, inMiniStream ? kMiniSectorBytes : sectorBytes_);
    const std::uint32_t part = AddPart(
        name, "its directory entry gives " + std::to_string(bytes) + " bytes, more than its sectors hold", start, count);
    std::vector<std::uint32_t> sectors;
    const Walk walk = Follow(inMiniStream ? mini_ : big_, start, count, part, sectors);
    if (walk == Walk::cut && !inMiniStream && stream.inRoot && !ReadByTheDatabase(EntryName(entry))) {
        if (result_.cutStream.empty()) {
            result_.cutStream = name + " runs past the end of the file";
        }
        return true;
    }
    return walk == Walk::cut ? Truncated(name) : walk == Walk::whole;
}

CompoundCheck CompoundFile::Check()
{
    std::string header;
    bool compound = false;
    std::vector<FoundStream> streams;
    if (!ReadHeader(header, compound) || !ReadSectorTable(header) || !ReadDirectory(header) ||
        !ReadMiniStream(header) || !FindStreams(streams)) {
        return result_;
    }
    const bool whole =
        std::all_of(streams.begin(), streams.end(), [this](const FoundStream& stream) { return CheckStream(stream); });
    if (whole && miniStreamCut_) {
        Truncated("its mini stream");
    }
    if (result_.fault != CompoundFault::none) {
        result_.cutStream.clear();  // the file does not open at all
    }
    return result_;
}

}  // namespace

CompoundCheck CheckCompoundFile(const std::string& path)
{
    // Not blocking: a FIFO named for a package must not hold the reader.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};  // the readers say why it cannot be read
    }
    struct stat info {};
    CompoundCheck result;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        result = CompoundFile(fd, static_cast<std::uint64_t>(info.st_size)).Check();
    }
    static_cast<void>(close(fd));
    return result;
}

}  // namespace boot::msi
