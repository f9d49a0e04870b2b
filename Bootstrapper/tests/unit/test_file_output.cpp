// Where the Linux tools write a file, and how: what an output may not land on, and a file
// that replaces another whole, with its mode and owner.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "file_output/output_place.h"
#include "file_output/replaced_file.h"

namespace boot::file_output {
namespace {

namespace fs = std::filesystem;

class FileOutputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/file-output-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = fs::canonical(pattern).string();
        fs::create_directories(folder_ + "/pkg/sub");
        Write("pkg/Setup.ini", "[Start]");
        Write("old.json", "old");
        Write("in.msi", "package");
        fs::create_hard_link(folder_ + "/in.msi", folder_ + "/hard.msi");
        fs::create_symlink(folder_ + "/old.json", folder_ + "/link.json");
        fs::create_symlink(folder_ + "/nowhere", folder_ + "/dangling.json");
        fs::create_directory_symlink(folder_ + "/pkg", folder_ + "/pkglink");
        ASSERT_EQ(mkfifo((folder_ + "/fifo").c_str(), S_IRUSR | S_IWUSR), 0);
    }
    void TearDown() override { fs::remove_all(folder_); }

    void Write(const std::string& name, const std::string& bytes) const
    {
        std::ofstream(folder_ + "/" + name, std::ios::binary) << bytes;
    }
    std::string Read(const std::string& name) const
    {
        std::ifstream in(folder_ + "/" + name, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder_)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string folder_;
};

TEST_F(FileOutputTest, AnOutputLandsOnlyOnAFileThatIsNoInput)
{
    struct Row {
        std::string given;  // relative to the test's folder
        std::string place;  // the file written, relative to it; empty: refused
        const char* why;    // the start of the refusal's reason
    };
    const std::string longName(5000, 'x');
    const std::vector<Row> rows = {
        {"new.json", "new.json", ""},
        {"old.json", "old.json", ""},
        {"pkg/../new.json", "new.json", ""},
        {std::string(255, 'y'), std::string(255, 'y'), ""},
        // A link is followed to the file it names, which is replaced; the link stays.
        {"link.json", "old.json", ""},
        {"dangling.json", "", "it is a link to nothing"},
        {"pkg", "", "it is a folder, not a file"},
        {"pkg/", "", "it is a folder, not a file"},
        {".", "", "it is a folder, not a file"},
        {"pkg/..", "", "it is a folder, not a file"},
        {"missing/", "", "it names a folder"},
        {"fifo", "", "it is a FIFO, not a file"},
        {"missing/new.json", "", "No such file or directory"},
        {longName, "", "File name too long"},
        // The inputs by any name, and anything inside the folder read.
        {"in.msi", "", "it names the same file as"},
        {"hard.msi", "", "it names the same file as"},
        {"pkg/Setup.ini", "", "it lies inside the folder read"},
        {"pkg/sub/report.json", "", "it lies inside the folder read"},
        {"pkglink/report.json", "", "it lies inside the folder read"},
    };
    const OutputGuard guard{{folder_ + "/in.msi"}, folder_ + "/pkg", "the folder read"};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given.substr(0, 40));
        OutputPlace place;
        std::string why;
        const bool found = FindOutputPlace(folder_ + "/" + row.given, guard, place, why);
        EXPECT_EQ(found, !row.place.empty()) << why;
        if (found) {
            EXPECT_EQ(place.path, folder_ + "/" + row.place);
            EXPECT_EQ(place.folder, folder_);
        } else {
            EXPECT_EQ(why.rfind(row.why, 0), 0u) << why;
        }
    }
    OutputPlace device;
    std::string why;
    EXPECT_FALSE(FindOutputPlace("/dev/null", guard, device, why));
    EXPECT_EQ(why, "it is a device, not a file");
    // A name for a message stays a line.
    EXPECT_EQ(ShownName(longName), std::string(200, 'x') + "... (5000 bytes)");
    EXPECT_EQ(ShownName("old.json"), "old.json");
}

TEST_F(FileOutputTest, AReplacementKeepsTheModeAndOwnerAndLeavesNothingBeside)
{
    ASSERT_EQ(chmod((folder_ + "/old.json").c_str(), 0444), 0);
    const bool root = geteuid() == 0;
    constexpr uid_t kOwner = 4321;
    if (root) {
        ASSERT_EQ(chown((folder_ + "/old.json").c_str(), kOwner, kOwner), 0);
    }
    const mode_t mask = umask(027);
    struct Row {
        const char* given;
        const char* written;  // the file that holds the bytes after
        mode_t mode;
    } rows[] = {
        {"old.json", "old.json", 0444},   // read-only: replaced, and read-only still
        {"link.json", "old.json", 0444},  // through its link
        {"new.json", "new.json", 0640},   // 0666 less the umask
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.given);
        OutputPlace place;
        std::string why;
        ASSERT_TRUE(FindOutputPlace(folder_ + "/" + row.given, {}, place, why)) << why;
        ASSERT_TRUE(WriteWholeFile(place, std::string("by ") + row.given, why)) << why;
        EXPECT_EQ(Read(row.written), std::string("by ") + row.given);
        struct stat info {};
        ASSERT_EQ(stat((folder_ + "/" + row.written).c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, row.mode);
        if (root && std::string(row.written) == "old.json") {
            EXPECT_EQ(info.st_uid, kOwner);
        }
    }
    umask(mask);
    EXPECT_TRUE(fs::is_symlink(folder_ + "/link.json"));
    // A file never committed leaves its place as it was.
    {
        OutputPlace place;
        std::string why;
        ASSERT_TRUE(FindOutputPlace(folder_ + "/new.json", {}, place, why)) << why;
        ReplacedFile file;
        ASSERT_TRUE(file.Open(place, why)) << why;
        file.Write("half", 4);
    }
    EXPECT_EQ(Read("new.json"), "by new.json");
    EXPECT_EQ(Names(), (std::vector<std::string>{"dangling.json", "fifo", "hard.msi", "in.msi", "link.json",
                                                 "new.json", "old.json", "pkg", "pkglink"}));
}

}  // namespace
}  // namespace boot::file_output
