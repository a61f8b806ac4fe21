// The served folder given as a user types it: every spelling serves the same pages.
#include "runtime/paths.h"
#include "server/pathrules.h"
#include "server/routing.h"

#include "links.h"
#include "tempfolder.h"
#include "testsettings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

using namespace quorvin;
using quorvin::testing::makeSymbolicLink;
using quorvin::testing::settingsFor;
using quorvin::testing::TempFolder;

namespace {

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Runs with `folder` as the current directory and puts the old one back afterwards.
class InFolder {
public:
    explicit InFolder(const std::string& folder) : previous_(std::filesystem::current_path()) {
        std::filesystem::current_path(utf8Path(folder));
    }
    ~InFolder() { std::filesystem::current_path(previous_); }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

private:
    std::filesystem::path previous_;
};

// What a browser sees of a site: the pages of the top, a folder and a folder below it.
std::vector<std::string> pagesOf(const std::string& root) {
    const ServerSettings settings = settingsFor(root);
    std::vector<std::string> pages;
    for (const char* path : {"/", "/docs/", "/docs/sub", "/docs/sub/deep.txt"}) {
        pages.push_back(chooseResponse(settings, HttpGet, path).body);
    }
    return pages;
}

} // namespace

TEST(FolderSpelling, EverySpellingServesTheSamePages) {
    TempFolder outer;
    outer.writeFile("site/a.txt", "a");
    outer.writeFile("site/docs/guide.txt", "guide");
    outer.writeFile("site/docs/sub/deep.txt", "deep");
    outer.makeFolder("site/sub");
    const std::string site = outer.join("site");
    const std::vector<std::string> expected = pagesOf(site);
    ASSERT_NE(expected[0].find("href=\"/a.txt\""), std::string::npos);
    ASSERT_NE(expected[1].find("<title>Index of /docs/</title>"), std::string::npos);

    struct Spelling {
        const char* cwd; // relative to outer
        std::string folder;
    };
    std::vector<Spelling> spellings = {
        {"site", "."},        {"site", "./"},    {"", "./site//"},        {"", "site/sub/.."},
        {"", "site/sub/../"}, {"", site + "/."}, {"", site + "/sub/../"}, {"", "site"},
        {"", "site/"},        {"", site},        {"", site + "//"},
    };
    std::string problem;
    // Wine makes links but does not follow them in its own file calls.
    if (makeSymbolicLink(site, outer.join("to-site"), true, problem) &&
        directoryExists(outer.join("to-site"))) {
        spellings.push_back({"", "to-site"});
    }
    for (const Spelling& spelling : spellings) {
        InFolder in(outer.join(spelling.cwd));
        const std::string root = absoluteFolderPath(spelling.folder);
        EXPECT_TRUE(pagesOf(root) == expected) << spelling.folder << " gave " << root;
    }
}

TEST(FolderSpelling, AbsoluteFolderPathsAreNormalised) {
    TempFolder outer;
    outer.makeFolder("site/sub");
    const std::string site = outer.join("site");
    InFolder in(outer.path());
    for (const char* spelling : {"site", "./site", "site/.", "site//", "./site/sub/..",
                                 "site/sub/../", "site/./sub/../"}) {
        EXPECT_EQ(absoluteFolderPath(spelling), site) << spelling;
    }
}
