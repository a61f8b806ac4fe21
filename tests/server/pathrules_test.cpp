// Path joining below the served folder, existence tests and the refusal of unsafe segments.
#include "server/pathrules.h"

#include "server/fs.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

using namespace quorvin;
using quorvin::testing::TempFolder;

TEST(MapRequestPath, WindowsSeparatorTable) {
    struct Case {
        const char* root;
        const char* path;
        const char* expected;
    } cases[] = {
        {R"(C:\Site)", "/", R"(C:\Site\)"},
        {R"(C:\Site)", "", R"(C:\Site)"},
        {R"(C:\Site\)", "", R"(C:\Site\)"},
        {R"(C:\Site)", "/docs/", R"(C:\Site\docs\)"},
        {R"(C:\Site)", "/docs", R"(C:\Site\docs)"},
        {R"(C:\Site)", "/a/./b//c.txt", R"(C:\Site\a\b\c.txt)"},
        {R"(C:\Site)", "/a/../b.txt", R"(C:\Site\b.txt)"},
        {R"(C:\Site)", R"(\docs\a.txt)", R"(C:\Site\docs\a.txt)"},
        {R"(C:\Site)", "/..", R"(C:\Site)"},
        {R"(C:\Site)", "/../../../", R"(C:\Site\)"},
        {R"(C:\Site)", "/../../Windows/win.ini", R"(C:\Site\Windows\win.ini)"},
        {R"(C:\Site)", "/...", R"(C:\Site\...)"},
        {R"(C:\)", "/x", R"(C:\x)"},
        {"C:/Site", "/x", R"(C:\Site\x)"},
        // A network share keeps both leading backslashes.
        {R"(\\server\share\site)", "/a.txt", R"(\\server\share\site\a.txt)"},
        {R"(\\server\share\site)", "/../../..", R"(\\server\share\site)"},
        {"//server/share", "/x/", R"(\\server\share\x\)"},
        {R"(\\?\C:\Site)", "/x", R"(\\?\C:\Site\x)"},
        // One or more than two leading separators give one.
        {R"(\Site)", "/x", R"(\Site\x)"},
        {R"(\\\Site)", "/x", R"(\Site\x)"},
        {R"(C:\Site)", "/a/b/", R"(C:\Site\a\b\)"},
        {"C:/Site", "/a/b", R"(C:\Site\a\b)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::joinRequestPath(c.root, c.path, '\\'), c.expected)
            << c.root << " + " << c.path;
    }
}

TEST(MapRequestPath, PosixSeparatorTable) {
    struct Case {
        const char* root;
        const char* path;
        const char* expected;
    } cases[] = {
        {"/srv/site", "/", "/srv/site/"},
        // A backslash is a character of a name here, never a separator.
        {"/srv/site", "/a\\b.txt", "/srv/site/a\\b.txt"},
        {"/srv/site", "/..\\x", "/srv/site/..\\x"},
        {"/srv/site", "\\..\\", "/srv/site/\\..\\"},
        {"/srv/site", "/../etc/passwd", "/srv/site/etc/passwd"},
        {"/", "/", "/"},
        {"/", "/docs/a", "/docs/a"},
        {"/", "/../..", "/"},
        // Plain paths, joined as they stand, and their near misses.
        {"/srv/site", "/docs/a.txt", "/srv/site/docs/a.txt"},
        {"/srv/site", "/docs/", "/srv/site/docs/"},
        {"/srv/site/", "/docs/a.txt", "/srv/site/docs/a.txt"},
        {"/srv//site", "/a", "/srv/site/a"},
        {"/srv/site", "/..a/b../.c/...", "/srv/site/..a/b../.c/..."},
        {"/srv/site", "//a//b/", "/srv/site/a/b/"},
        {"/srv/site", "/a/./b/.", "/srv/site/a/b"},
        {"/srv/site", "/a/b/..", "/srv/site/a"},
        {"/srv/site", "/a/../../..", "/srv/site"},
        {"/srv/site", "a/b", "/srv/site/a/b"},
        {"srv/site", "/a", "srv/site/a"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::joinRequestPath(c.root, c.path, '/'), c.expected)
            << c.root << " + " << c.path;
    }
}

TEST(PathLiesWithin, SegmentsNotPrefixes) {
    struct Case {
        const char* root;
        const char* path;
        bool ignoreCase;
        bool within;
    };
    const Case cases[] = {
        {"/srv/site", "/srv/site", false, true},
        {"/srv/site", "/srv/site/", false, true},
        {"/srv/site/", "/srv/site/a/b.txt", false, true},
        {"/srv/site", "/srv/site-other/secret.txt", false, false},
        {"/srv/site", "/srv/sitex", false, false},
        {"/srv/site", "/srv", false, false},
        {"/srv/site", "/etc/hostname", false, false},
        {"/srv/site", "/SRV/site/a", false, false},
        {"/srv/site", "srv/site/a", false, false},
        {"/", "/etc/hostname", false, true},
        {"\\\\?\\C:\\Site", "\\\\?\\c:\\site\\docs\\a.txt", true, true},
        {"\\\\?\\C:\\Site", "\\\\?\\C:\\Site2\\a.txt", true, false},
        {"\\\\?\\C:\\Site", "\\\\?\\D:\\Site\\a.txt", true, false},
        {"\\\\?\\C:\\Site", "\\\\?\\UNC\\host\\Site", true, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::pathLiesWithin(c.root, c.path, c.ignoreCase), c.within)
            << c.root << " / " << c.path;
    }
}

TEST(ServablePath, WindowsRewrittenSegments) {
    struct Case {
        const char* segment;
        bool rewritten;
    } cases[] = {
        {"..", false},
        {".", false},
        {"a.txt", false},
        {".htaccess", false},
        {"...", true},
        {".. ", true},
        {"secret.txt.", true},
        {"secret.txt ", true},
        {"a.txt::$DATA", true},
        {"a:b", true},
        {"C:", true},
        {"CON", true},
        {"con", true},
        {"Con.txt", true},
        {"con .txt", true},
        {"NUL.tar.gz", true},
        {"prn", true},
        {"aux", true},
        {"COM1", true},
        {"com9.log", true},
        {"LPT5", true},
        {"conin$", true},
        {"CONOUT$.x", true},
        {"COM\xC2\xB9", true},
        {"COM0", false},
        {"COM10", false},
        {"LPT", false},
        {"CONSOLE", false},
        {"icon", false},
        {"null", false},
        {"auxiliary.txt", false},
        {"x.con", false},
        {"a b.txt", false},
        {"", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::isWindowsRewrittenSegment(c.segment), c.rewritten)
            << '"' << c.segment << '"';
    }
}

TEST(ServablePath, WholePathsUnderBothRules) {
    struct Case {
        std::string path;
        bool posix;
        bool windows;
    } cases[] = {
        {"/docs/a.txt", true, true},
        {"/", true, true},
        {"/../a.txt", true, true},
        {"/.. /secret.txt", true, false},
        {"\\sub\\CON", true, false},
        {"/sub/nul/", true, false},
        {"/a.txt:stream", true, false},
        {"/dir./a", true, false},
        {std::string("/a.txt\0.png", 11), false, false},
        {std::string("\0", 1), false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(detail::isServablePathFor(c.path, false), c.posix) << c.path;
        EXPECT_EQ(detail::isServablePathFor(c.path, true), c.windows) << c.path;
    }
#ifdef _WIN32
    EXPECT_FALSE(isServablePath("/CON"));
#else
    EXPECT_TRUE(isServablePath("/CON"));
#endif
}

TEST(ExistenceTests, RealFolder) {
    TempFolder folder;
    folder.writeFile("file.txt", "x");
    folder.makeFolder("dir");
    EXPECT_TRUE(directoryExists(folder.path()));
    EXPECT_TRUE(directoryExists(folder.join("dir")));
    EXPECT_TRUE(directoryExists(folder.join("dir") + pathSeparator));
    EXPECT_FALSE(fileExists(folder.join("dir")));
    EXPECT_TRUE(fileExists(folder.join("file.txt")));
    EXPECT_FALSE(directoryExists(folder.join("file.txt")));
    EXPECT_FALSE(fileExists(folder.join("missing")));
    EXPECT_FALSE(directoryExists(folder.join("missing")));
    EXPECT_FALSE(fileExists(folder.join("file.txt") + std::string(1, '\0') + "x"));
    EXPECT_FALSE(directoryExists(folder.path() + std::string(1, '\0')));
}
