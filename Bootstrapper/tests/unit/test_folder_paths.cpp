#include <gtest/gtest.h>

#include <string>

#include "checker/reports/folder_paths.h"

namespace boot {
namespace {

TEST(FolderPaths, FolderRelativeToTheCurrentDirectory)
{
    struct Row {
        const char* folder;
        const char* base;
        bool ignoreCase;
        bool related;
        const char* relative;
    } rows[] = {
        {"/home/a/dist/pkg", "/home/a", false, true, "dist/pkg"},
        {"/home/a", "/home/a", false, true, ""},
        {"/home/x/pkg", "/home/a/b", false, true, "../../x/pkg"},
        {"/home/ab", "/home/a", false, true, "../ab"},
        {"/home/A", "/home/a", false, true, "../A"},
        {"/pkg", "/", false, true, "pkg"},
        {"C:/Dist/Pkg", "c:/dist", true, true, "Pkg"},
        {"C:/pkg", "C:/", true, true, "pkg"},
        {"D:/pkg", "C:/work", true, false, ""},
        {"//server/share/pkg", "//server/share", true, true, "pkg"},
        {"//server/other/pkg", "//server/share", true, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.folder) + " from " + row.base);
        std::string relative;
        EXPECT_EQ(RelativeFolder(row.folder, row.base, row.ignoreCase, relative), row.related);
        if (row.related) {
            EXPECT_EQ(relative, row.relative);
        }
    }
    struct Trimmed {
        const char* path;
        bool backslash;
        const char* trimmed;
    } trims[] = {{"dist/pkg//", false, "dist/pkg"}, {"/", false, "/"},  {"C:\\", true, "C:\\"},
                 {"pkg\\", true, "pkg"},             {"pkg\\", false, "pkg\\"}};
    for (const Trimmed& trim : trims) {
        std::string path = trim.path;
        TrimFolderSeparators(path, trim.backslash);
        EXPECT_EQ(path, trim.trimmed) << trim.path;
    }
}

}  // namespace
}  // namespace boot
