// The transform format's sharp edges: packed stream names, 2- and 3-byte string ids,
// record masks and integer fields, the differences no transform can express, and a
// transform read back by the reader the checker uses.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "checker/reading/transform_revision.h"
#include "compound_file_fixture.h"
#include "msi_file/format/compound_file.h"
#include "msi_file/format/compound_integrity.h"
#include "msi_file/reading/package_reader.h"
#include "msi_file/format/storage_class.h"
#include "msi_file/format/stream_name.h"
#include "msi_file/format/string_pool.h"
#include "msi_file/writing/table_diff.h"
#include "msi_file/format/table_stream.h"
#include "msi_file/writing/transform_builder.h"
#include "msi_file/reading/transform_reader.h"
#include "msi_file/writing/transform_summary.h"

namespace boot::msi {
namespace {

namespace fs = std::filesystem;

TEST(StreamName, PacksAsWindowsInstallerDoes)
{
    struct Case {
        const char* name;
        bool isTable;
        std::u16string packed;
    };
    const Case cases[] = {
        // The pool's data stream as every package names it.
        {"_StringData", true, u"\x4840\x3f3f\x4577\x446c\x3b6a\x45e4\x4824"},
        // A lone packable character, and a dot between two keys.
        {"Binary.Logo", false, u"\x430b\x4131\x4735\x3d7e\x42b2\x4832"},
        // Characters outside 0-9, A-Z, a-z, "." and "_" stay as they are and break pairs.
        {"a-b", false, u"\x4824-\x4825"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EncodeStreamName(c.name, c.isTable), c.packed) << c.name;
        bool isTable = !c.isTable;
        EXPECT_EQ(DecodeStreamName(c.packed, isTable), c.name);
        EXPECT_EQ(isTable, c.isTable);
        EXPECT_EQ(StreamNameUnits(StreamNameUtf8(c.packed)), c.packed);
    }
    // Windows Installer's reader leaves a table's name room for its zero.
    EXPECT_TRUE(FitsStreamName(EncodeStreamName(std::string(58, 'T'), true)));
    EXPECT_FALSE(FitsStreamName(EncodeStreamName(std::string(59, 'T'), true)));
    EXPECT_TRUE(FitsStreamName(EncodeStreamName(std::string(62, 'T'), false)));
    EXPECT_FALSE(FitsStreamName(EncodeStreamName(std::string(63, 'T'), false)));
}

// Column types as packages have them: "s72", "I2", "I4", "S255", "V0".
constexpr std::uint16_t kText = kTypeValid | kTypeShort | kTypeString;
constexpr std::uint16_t kBinary = kTypeValid | kTypeNullable | kTypeString;

// A table of a key string, a 2-byte and a 4-byte integer, a text and a binary field.
const std::vector<Column>& Layout()
{
    static const std::vector<Column> columns = {{"Key", kText | kTypeKey | 72},
                                                {"Small", kTypeValid | kTypeShort | kTypeNullable | 2},
                                                {"Big", kTypeValid | kTypeNullable | 4},
                                                {"Note", kText | kTypeNullable | 255},
                                                {"Data", kBinary}};
    return columns;
}

std::string Bytes(std::initializer_list<unsigned> values)
{
    std::string bytes;
    for (const unsigned value : values) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}

TEST(TableStream, RecordsHoldTheFieldsTheirMaskNames)
{
    StringPoolBuilder pool;
    pool.Use("k");     // id 1
    pool.Use("note");  // id 2
    const Row row = {Value::Text("k"), Value::Integer(-5), Value::Integer(-100000), Value::Text("note"),
                     Value::Binary("x")};
    struct Case {
        const char* what;
        std::uint16_t mask;
        Row values;
        std::string bytes;
    };
    const Case cases[] = {
        {"add, integers biased", AddMask(5), row,
         Bytes({0x01, 0x05, 1, 0, 0xFB, 0x7F, 0x60, 0x79, 0xFE, 0x7F, 2, 0, 0, 0})},
        {"add, trailing nulls left out", AddMask(2), row, Bytes({0x01, 0x02, 1, 0, 0xFB, 0x7F})},
        {"add, nulls are zero", AddMask(4), {Value::Text("k"), {}, {}, {}, {}},
         Bytes({0x01, 0x04, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0})},
        {"update of Big and Data", 0x0014, row, Bytes({0x14, 0x00, 1, 0, 0x60, 0x79, 0xFE, 0x7F, 0, 0})},
        {"delete: the key only", kDeleteMask, row, Bytes({0x00, 0x00, 1, 0})},
    };
    for (const Case& c : cases) {
        std::string bytes;
        std::string error;
        ASSERT_TRUE(EncodeRecord(Layout(), c.mask, c.values, pool, bytes, error)) << c.what << ": " << error;
        EXPECT_EQ(bytes, c.bytes) << c.what;
    }
    std::string bytes;
    std::string error;
    EXPECT_FALSE(EncodeRecord(Layout(), AddMask(2), {Value::Text("k"), Value::Integer(40000)}, pool, bytes, error));
}

TEST(TableStream, StringIdsTakeThreeBytesOncePastTheSixteenBitRange)
{
    StringPoolBuilder pool;
    for (std::uint32_t i = 0; i < kMaxShortStringId; ++i) {
        pool.Use(std::to_string(i));
    }
    const std::vector<Column> columns = {{"Key", kText | kTypeKey | 72}};
    std::string poolBytes;
    std::string data;
    std::string error;
    std::string record;
    ASSERT_TRUE(pool.Encode(1252, poolBytes, data, error));
    EXPECT_EQ(pool.ReferenceBytes(), 2u);
    EXPECT_EQ(poolBytes.substr(0, 4), Bytes({0xE4, 0x04, 0, 0}));

    pool.Use("last");  // id 0x10000
    ASSERT_TRUE(pool.Encode(1252, poolBytes, data, error));
    ASSERT_TRUE(EncodeRecord(columns, AddMask(1), {Value::Text("last")}, pool, record, error));
    EXPECT_EQ(poolBytes.substr(0, 4), Bytes({0xE4, 0x04, 0, 0x80}));
    EXPECT_EQ(record, Bytes({0x01, 0x01, 0, 0, 1}));

    StringPool decoded;
    ASSERT_TRUE(DecodeStringPool(poolBytes, data, decoded, error)) << error;
    std::size_t offset = 0;
    std::uint16_t mask = 0;
    Row values;
    ASSERT_TRUE(DecodeRecord(columns, record, offset, decoded, mask, values, error)) << error;
    EXPECT_EQ(values[0], Value::Text("last"));
}

TEST(StringPool, HoldsTextItsCodePageCanHoldAndUnderSixtyFourKilobytes)
{
    struct Case {
        std::string text;
        std::uint32_t codePage;
        bool fits;
    };
    const Case cases[] = {
        {"Gr\xC3\xB6\xC3\x9F" "e \xE2\x82\xAC", 1252, true},  // Größe €
        {"\xC5\x81" "\xC3\xB3" "d\xC5\xBA", 1252, false},        // Łódź
        {"\xC3\xB6", 0, false},                                  // ö in no code page
        {std::string(0xFFFF, 'x'), 1252, true},
        {std::string(0x10000, 'x'), 1252, false},
    };
    for (const Case& c : cases) {
        StringPoolBuilder pool;
        pool.Use(c.text);
        std::string poolBytes;
        std::string data;
        std::string error;
        ASSERT_EQ(pool.Encode(c.codePage, poolBytes, data, error), c.fits) << c.text.substr(0, 20);
        StringPool decoded;
        if (c.fits) {
            ASSERT_TRUE(DecodeStringPool(poolBytes, data, decoded, error)) << error;
            EXPECT_EQ(decoded.strings.at(1), c.text);
        }
    }
}

// A package's pool as libmsi would read it past its ends is refused before libmsi reads it.
TEST(StringPool, APackagesPoolMustAgreeWithItsData)
{
    // The code page's entry, then one entry for each string: its length and references.
    const std::string codePage = Bytes({0xE4, 0x04, 0, 0});
    struct Case {
        const char* what;
        std::string pool;
        std::string data;
        const char* wrong;  // null: whole
    };
    const Case cases[] = {
        {"two strings and an unused id", codePage + Bytes({3, 0, 1, 0, 0, 0, 0, 0, 2, 0, 1, 0}), "abcde", nullptr},
        {"a string of 64 KB in two entries", codePage + Bytes({0, 0, 1, 0, 0, 0, 2, 0}),
         std::string(0x10000, 'x'), nullptr},
        {"a long string's second entry missing", codePage + Bytes({0, 0, 1, 0}), "x", "ends inside the entries"},
        {"a length past the data", codePage + Bytes({6, 0, 1, 0}), "abcde", "claims more text"},
        {"data past the lengths", codePage + Bytes({4, 0, 1, 0}), "abcde", "holds more than"},
        {"a string that begins with a zero byte", codePage + Bytes({2, 0, 1, 0}), std::string("\0a", 2),
         "begins with a zero byte"},
        {"a pool cut inside an entry", codePage + Bytes({5, 0}), "abcde", "ends inside an entry"},
    };
    for (const Case& c : cases) {
        std::string what;
        EXPECT_EQ(IsWholeStringPool(c.pool, c.data, what), c.wrong == nullptr) << c.what;
        EXPECT_NE(what.find(c.wrong != nullptr ? c.wrong : ""), std::string::npos) << c.what << ": " << what;
    }
}

Table PropertyTable(std::vector<Row> rows)
{
    return {"Property", {{"Property", kText | kTypeKey | 72}, {"Value", kText | kTypeLocalizable}}, std::move(rows)};
}

Row Property(const char* name, const char* value) { return {Value::Text(name), Value::Text(value)}; }

TEST(TableDiff, ChoosesRecordsOrSaysWhyNoneWillDo)
{
    std::vector<Column> wide = {{"K", kText | kTypeKey | 8}};
    for (int i = 1; i <= 17; ++i) {
        wide.push_back({"C" + std::to_string(i), kTypeValid | kTypeShort | kTypeNullable | 2});
    }
    Row before(18, Value::Integer(1));
    before[0] = Value::Text("r");
    Row after = before;
    after[17] = Value::Integer(2);
    TransformChanges changes;
    std::string why;
    const Table wideBefore{"Wide", wide, {before}};
    const Table wideAfter{"Wide", wide, {after}};
    ASSERT_TRUE(DiffTable(&wideBefore, &wideAfter, changes, why)) << why;
    // No mask bit reaches column 17: the row is deleted and added again.
    ASSERT_EQ(changes["Wide"].records.size(), 2u);
    EXPECT_EQ(changes["Wide"].records[0].mask, kDeleteMask);
    EXPECT_EQ(changes["Wide"].records[1].mask, AddMask(18));

    const std::vector<Column> binaryFirst = {{"K", kText | kTypeKey | 8}, {"Data", kBinary},
                                             {"Note", kText | kTypeNullable | 255}};
    const Table empty{"Blobs", binaryFirst, {}};
    const Table nullBinary{"Blobs", binaryFirst, {{Value::Text("r"), Value::Null(), Value::Text("n")}}};
    // A record that held the null binary field would make the reader drop the row: the
    // key alone is added, then the note set by an update.
    ASSERT_TRUE(DiffTable(&empty, &nullBinary, changes, why)) << why;
    ASSERT_EQ(changes["Blobs"].records.size(), 2u);
    EXPECT_EQ(changes["Blobs"].records[0].mask, AddMask(1));
    EXPECT_EQ(changes["Blobs"].records[1].mask, 1u << 2);
    // No update reaches a field past the 16th.
    std::vector<Column> wideBinary = wide;
    wideBinary[1] = {"Data", kBinary};
    Row beyond = after;
    beyond[1] = Value::Null();
    const Table emptyWide{"WideBlobs", wideBinary, {}};
    const Table nullBinaryWide{"WideBlobs", wideBinary, {beyond}};
    EXPECT_FALSE(DiffTable(&emptyWide, &nullBinaryWide, changes, why));
    EXPECT_NE(why.find("null binary field Data comes before the field C16"), std::string::npos) << why;

    Table otherColumns = PropertyTable({});
    otherColumns.columns[1].type |= kTypeNullable;
    const Table property = PropertyTable({});
    EXPECT_FALSE(DiffTable(&property, &otherColumns, changes, why));
    EXPECT_NE(why.find("the columns of table Property differ"), std::string::npos) << why;
}

class TransformFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/transform-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
    }
    void TearDown() override { fs::remove_all(folder_); }

    static Database Package(const char* code, const char* language, std::vector<Row> properties)
    {
        Database package;
        properties.push_back(Property("ProductCode", code));
        properties.push_back(Property("ProductVersion", "1.2.3"));
        properties.push_back(Property("ProductLanguage", language));
        properties.push_back(Property("UpgradeCode", "{5C4B3A29-1807-4F6E-9D8C-7B6A5F4E3D2C}"));
        package.tables.push_back(PropertyTable(std::move(properties)));
        package.summary.SetText(kPidTemplate, "Intel;1033");
        return package;
    }

    std::string folder_;
};

TEST_F(TransformFileTest, ReaderFindsWhatTheWriterWrote)
{
    const Database base = Package("{11111111-2222-3333-4444-555555555555}", "1033",
                                  {Property("Gone", "x"), Property("ProductName", "Demo")});
    const Database target = Package("{11111111-2222-3333-4444-555555555555}", "1031",
                                    {Property("Added", "y"), Property("ProductName", "Demo Gr\xC3\xB6\xC3\x9F" "e")});
    std::vector<CompoundStream> streams;
    std::string error;
    ASSERT_TRUE(BuildTransform(base, target, {kValidateProduct | kValidateLanguage, kSuppressCodePage}, streams,
                               error))
        << error;
    const std::string path = folder_ + "/1031.mst";
    ASSERT_TRUE(WriteTransformFile(path, streams, error)) << error;
    ASSERT_EQ(ClassifyTransformFile(path), TransformFileKind::transform);

    TransformContents contents;
    ASSERT_TRUE(ReadTransform(path, contents, error)) << error;
    EXPECT_EQ(contents.summary.Text(kPidTemplate), "Intel;1033");
    EXPECT_EQ(contents.summary.Text(kPidLastSavedBy), "Intel;1031");
    EXPECT_EQ(contents.summary.Text(kPidRevisionNumber),
              "{11111111-2222-3333-4444-555555555555}1.2.3;{11111111-2222-3333-4444-555555555555}1.2.3;"
              "{5C4B3A29-1807-4F6E-9D8C-7B6A5F4E3D2C}");
    // As the checker takes it apart.
    const boot::TransformRevision revision = boot::ParseTransformRevision(contents.summary.Text(kPidRevisionNumber));
    EXPECT_EQ(revision.targetProductCode + revision.targetVersion + " " + revision.upgradeCode,
              "{11111111-2222-3333-4444-555555555555}1.2.3 {5C4B3A29-1807-4F6E-9D8C-7B6A5F4E3D2C}");
    std::string platform;
    std::string languages;
    SplitTemplate(contents.summary.Text(kPidLastSavedBy), platform, languages);
    EXPECT_EQ(platform + " " + languages, "Intel 1031");
    EXPECT_EQ(ValidationOf(contents.summary.Integer(kPidCharacterCount)), kValidateProduct | kValidateLanguage);
    EXPECT_EQ(SuppressionOf(contents.summary.Integer(kPidCharacterCount)), kSuppressCodePage);
    std::vector<std::string> changes;
    for (const PropertyChange& change : contents.propertyChanges) {
        changes.push_back(std::to_string(static_cast<int>(change.kind)) + " " + change.name + "=" + change.value);
    }
    EXPECT_EQ(changes, (std::vector<std::string>{"2 Gone=", "1 ProductName=Demo Gr\xC3\xB6\xC3\x9F" "e",
                                                 "1 ProductLanguage=1031", "0 Added=y"}));
    ASSERT_NE(contents.FindPropertyChange("ProductLanguage"), nullptr);
    EXPECT_EQ(contents.FindPropertyChange("ProductCode"), nullptr);
    // Read by the package's columns, the rows it writes, each once.
    const TableColumns columns = {{"Property", PropertyTable({}).columns}};
    ASSERT_TRUE(ReadTransform(path, contents, error, &columns)) << error;
    EXPECT_EQ(contents.rowsWritten, (std::vector<std::string>{"Property\tAdded", "Property\tGone",
                                                              "Property\tProductLanguage", "Property\tProductName"}));
}

TEST_F(TransformFileTest, PackagesOneTransformWouldMakeAnotherProductOrLoseAStorageAreRefused)
{
    const char* code = "{11111111-2222-3333-4444-555555555555}";
    const Database base = Package(code, "1033", {});
    struct Case {
        Database target;
        const char* why;
    };
    Case cases[] = {{Package("{66666666-7777-8888-9999-AAAAAAAAAAAA}", "1031", {}),
                     "ProductCode differs ({11111111-2222-3333-4444-555555555555} in the base, "
                     "{66666666-7777-8888-9999-AAAAAAAAAAAA} in the target)"},
                    {Package(code, "1031", {Property("ProductVersion", "1.2.4")}), "ProductVersion differs"},
                    {Package(code, "1031", {}), "the embedded storage Nested is in the target only"}};
    cases[1].target.tables[0].rows.erase(cases[1].target.tables[0].rows.end() - 3);  // the first ProductVersion
    cases[2].target.storages.push_back({"Nested", "1:x1:y"});
    for (const Case& c : cases) {
        std::vector<CompoundStream> streams;
        std::string why;
        EXPECT_FALSE(BuildTransform(base, c.target, {}, streams, why));
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

TEST_F(TransformFileTest, OnlyACompoundFileOfTheTransformClassIsATransform)
{
    std::ofstream(folder_ + "/text.mst") << "placeholder transform";
    std::ofstream(folder_ + "/empty.mst").flush();
    fs::create_directory(folder_ + "/folder.mst");
    std::string error;
    ASSERT_TRUE(WriteCompoundFile(folder_ + "/package.mst", kPackageClassId, {{"x", "y"}}, error)) << error;
    EXPECT_EQ(ClassifyTransformFile(folder_ + "/text.mst"), TransformFileKind::notCompound);
    EXPECT_EQ(ClassifyTransformFile(folder_ + "/empty.mst"), TransformFileKind::notCompound);
    EXPECT_EQ(ClassifyTransformFile(folder_ + "/folder.mst"), TransformFileKind::folder);
    EXPECT_EQ(ClassifyTransformFile(folder_ + "/missing.mst"), TransformFileKind::missing);
    EXPECT_EQ(ClassifyTransformFile(folder_ + "/package.mst"), TransformFileKind::otherClass);
    TransformContents contents;
    EXPECT_FALSE(ReadTransform(folder_ + "/package.mst", contents, error));
    // Nor is any of them a package, as Windows Installer answers for each, and the reason
    // says what it is. A FIFO is never opened: the reading would wait for a writer.
    ASSERT_EQ(mkfifo((folder_ + "/fifo.msi").c_str(), S_IRUSR | S_IWUSR), 0);
    struct Case {
        const char* name;
        std::uint32_t result;
        const char* why;
    };
    for (const Case& c : {Case{"missing.mst", 110u, "no such file"}, Case{"folder.mst", 110u, "a folder, no package"},
                          Case{"fifo.msi", 110u, "a FIFO, no package"}, Case{"text.mst", 1627u, "no Windows Installer"},
                          Case{"missing/x.msi", 110u, "no such file"}}) {
        std::uint32_t windowsResult = 0;
        error.clear();
        EXPECT_EQ(Package::Open(folder_ + "/" + c.name, error, &windowsResult), nullptr);
        EXPECT_EQ(windowsResult, c.result) << c.name;
        EXPECT_EQ(error.rfind(c.why, 0), 0u) << c.name << ": " << error;
    }
    fs::remove(folder_ + "/fifo.msi");
    // The writer leaves no temporary file behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"empty.mst", "folder.mst", "package.mst", "text.mst"}));
}

// A compound file whose directory contradicts its sectors, or that is shorter than they
// say, is named for what it concerns: the stream whose entry is wrong, not the one it runs
// into. One cut short only inside a stream that holds no table (an embedded cabinet) opens,
// as Windows Installer opens it, with that stream named.
TEST_F(TransformFileTest, CompoundFilesCutShortOrContradictingTheirDirectoryAreRefused)
{
    std::string error;
    const std::string path = folder_ + "/package.msi";
    const std::u16string table = EncodeStreamName("Table", true);
    ASSERT_TRUE(WriteCompoundFile(path, kPackageClassId,
                                  {{kSummaryStreamName, std::string(300, 's')},
                                   {"Big1", std::string(10000, '1')},
                                   {"Big2", std::string(5000, '2')},
                                   {StreamNameUtf8(table), std::string(5000, 't')}},
                                  error))
        << error;
    std::ifstream in(path, std::ios::binary);
    const std::string whole((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(CheckCompoundFile(path).fault, CompoundFault::none) << CheckCompoundFile(path).what;
    // A directory entry: its name in UTF-16, its first sector at 116, its size at 120.
    const auto entry = [&whole](const std::string& name) {
        std::string units;
        for (const char c : name) {
            units += {c, '\0'};
        }
        return whole.find(units);
    };
    constexpr std::size_t kStart = 116;
    constexpr std::size_t kSizeSecondByte = 121;
    struct Case {
        const char* what;
        std::string bytes;
        CompoundFault fault;
        const char* named;
    };
    Case cases[] = {
        {"a size past the mini stream's cutoff", whole, CompoundFault::damaged,
         "its stream \\005SummaryInformation is damaged"},
        {"a file cut short", whole.substr(0, whole.size() - 100), CompoundFault::truncated,
         "its sector table runs past the end of the file"},
        {"a stream that begins inside another", whole, CompoundFault::damaged,
         "its stream Big2 is damaged: it claims sectors of its stream Big1"},
        {"a file cut short inside a stream of no table", whole, CompoundFault::none,
         "its stream Big1 runs past the end of the file"},
        {"a file cut short inside a table", whole, CompoundFault::truncated,
         "its stream Table runs past the end of the file"},
    };
    char& size = cases[0].bytes[entry(kSummaryStreamName) + kSizeSecondByte];
    size = static_cast<char>(size | 0x10);  // 4,096 bytes more
    const std::size_t big2 = entry("Big2") + kStart;
    cases[2].bytes.replace(big2, 1, 1, static_cast<char>(whole[entry("Big1") + kStart] + 1));
    ASSERT_TRUE(RunStreamPastTheEnd(cases[3].bytes, u"Big1"));
    ASSERT_TRUE(RunStreamPastTheEnd(cases[4].bytes, u"Big1") && RunStreamPastTheEnd(cases[4].bytes, table, 1));
    for (const Case& c : cases) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        const CompoundCheck check = CheckCompoundFile(path);
        const std::string& said = check.fault == CompoundFault::none ? check.cutStream : check.what;
        EXPECT_EQ(check.fault, c.fault) << c.what << ": " << check.what;
        EXPECT_NE(said.find(c.named), std::string::npos) << c.what << ": " << said;
    }
}

}  // namespace
}  // namespace boot::msi
