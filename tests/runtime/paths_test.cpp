// Folder arguments made absolute, with trailing separators stripped but roots kept.
#include "runtime/paths.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(Paths, TrailingSeparatorsGoButRootsStay) {
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
        {"/srv/site/", "/srv/site"},
        {"/srv/site//", "/srv/site"},
        {"/", "/"},
        {"//", "//"},
        {"C:\\Site\\", "C:\\Site"},
        {"C:\\", "C:\\"},
        {"C:/", "C:/"},
        {"\\\\server\\share\\", "\\\\server\\share\\"},
        {"\\\\server\\share\\site\\", "\\\\server\\share\\site"},
        {"site", "site"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(stripTrailingSeparators(c.input), c.expected) << c.input;
    }
}

TEST(Paths, RelativeFoldersBecomeAbsolute) {
    std::string absolute = absoluteFolderPath("some folder/");
#ifdef _WIN32
    ASSERT_GE(absolute.size(), 3u);
    EXPECT_EQ(absolute[1], ':');
    EXPECT_EQ(absolute.substr(absolute.size() - 12), "\\some folder");
    EXPECT_EQ(absoluteFolderPath("Z:\\tmp\\site\\"), "Z:\\tmp\\site");
    EXPECT_EQ(absoluteFolderPath("Z:/tmp/site"), "Z:\\tmp\\site");
    EXPECT_EQ(absoluteFolderPath("Z:\\"), "Z:\\");
    EXPECT_EQ(absolutePath("Z:/tmp/docs/"), "Z:\\tmp\\docs\\");
    EXPECT_EQ(absolutePath("index.html"), absolute.substr(0, absolute.size() - 11) + "index.html");
#else
    ASSERT_FALSE(absolute.empty());
    EXPECT_EQ(absolute[0], '/');
    EXPECT_EQ(absolute.substr(absolute.size() - 12), "/some folder");
    EXPECT_EQ(absoluteFolderPath("/tmp/site/"), "/tmp/site");
    EXPECT_EQ(absoluteFolderPath("/"), "/");
    EXPECT_EQ(absolutePath("/tmp/docs/"), "/tmp/docs/");
    EXPECT_EQ(absolutePath("index.html"), absolute.substr(0, absolute.size() - 11) + "index.html");
#endif
}

// ".", "..", repeated separators: the path a folder chooser would give for what a user typed.
TEST(Paths, AbsolutePathsAreNormalised) {
    struct Case {
        const char* input;
        const char* expected;
    } cases[] = {
#ifdef _WIN32
        {"Z:\\site\\.", "Z:\\site"},
        {"Z:/site/sub/..", "Z:\\site"},
        {"Z:/site/sub/../", "Z:\\site\\"},
        {"Z:\\site\\\\docs", "Z:\\site\\docs"},
        {"Z:\\..", "Z:\\"},
#else
        {"/srv/site/.", "/srv/site"},
        {"/srv/site/sub/..", "/srv/site"},
        {"/srv/site/sub/../", "/srv/site/"},
        {"/srv//site///docs", "/srv/site/docs"},
        {"/srv/./site/./", "/srv/site/"},
        {"/..", "/"},
        {"/../srv/..", "/"},
        {"//srv/site", "/srv/site"},
        {"/srv/back\\slash/.", "/srv/back\\slash"},
#endif
    };
    for (const Case& c : cases) {
        EXPECT_EQ(absolutePath(c.input), c.expected) << c.input;
    }
}
