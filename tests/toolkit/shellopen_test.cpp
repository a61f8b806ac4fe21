// The hand-over of URLs to the shell: the target text, and what the browser is really given.
#include "app/browsers.h"
#include "toolkit/shellopen.h"
#include "toolkittest.h"

#include "runtime/errors.h"
#include "runtime/paths.h"
#include "server/tempfolder.h"

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quorvin::testing {
namespace {

TEST(BrowserTarget, UrlsStayAndPathsBecomeFileUrls) {
    EXPECT_EQ(serverAddress(), "127.0.0.1:4321");
    EXPECT_EQ(browserTarget("http://127.0.0.1:4321"), "http://127.0.0.1:4321");
    EXPECT_EQ(browserTarget("mailto:a@b.example?x://y"), "mailto:a@b.example?x://y");
    EXPECT_EQ(browserTarget("index.html"), "file://" + absolutePath("index.html"));
    const std::string relative = browserTarget("docs\\index.html");
    EXPECT_EQ(relative.rfind("file://", 0), 0u);
    EXPECT_NE(relative.find(":\\"), std::string::npos) << relative; // a drive letter
    EXPECT_EQ(browserTarget("C:\\Site\\a b.html"), "file://C:\\Site\\a b.html");
}

TEST(BrowserTarget, EmptyUrlIsAnAssertion) {
    try {
        openInBrowser("");
        ADD_FAILURE() << "nothing raised";
    } catch (const AssertionError& error) {
        EXPECT_STREQ(error.what(), "browsers(66, 12) `url.len > 0` URL must not be empty string");
    }
}

// The lines the test browser (the harness's fake xdg-open) recorded, CR LF or LF ended.
std::vector<std::string> openedUrls(const std::string& record) {
    std::ifstream in(record);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// The next URL the browser is given after `seen` earlier ones, or "" after ten seconds.
std::string nextOpened(const std::string& record, std::size_t seen) {
    for (int i = 0; i < 500; ++i) {
        std::vector<std::string> lines = openedUrls(record);
        if (lines.size() > seen) {
            return lines[seen];
        }
        Sleep(20);
    }
    return "";
}

// Under Wine, ShellExecuteW reaches winebrowser, which the test prefix lets run only xdg-open
// (xdg-email for mailto: links) from PATH: the harness puts fake ones first on PATH that append
// each URL to the file named by QUORVIN_OPENED_URLS.
class BrowserHandOver : public ::testing::Test {
protected:
    void SetUp() override {
        const char* named = std::getenv("QUORVIN_OPENED_URLS");
        if (named == nullptr || *named == '\0') {
            GTEST_SKIP() << "QUORVIN_OPENED_URLS names no record of opened URLs";
        }
        record = named;
        seen = openedUrls(record).size();
    }
    std::string record;
    std::size_t seen = 0;
};

TEST_F(BrowserHandOver, ServerPageReachesTheBrowser) {
    openServerPage();
    // Wine's winebrowser canonicalises the URL on its way to xdg-open, adding the root path.
    const std::string opened = nextOpened(record, seen);
    EXPECT_TRUE(opened == "http://127.0.0.1:4321" || opened == "http://127.0.0.1:4321/") << opened;
}

TEST_F(BrowserHandOver, AMailtoLinkReachesTheOpener) {
    shellOpen("mailto:support@quorvin.example", SW_SHOW);
    EXPECT_EQ(nextOpened(record, seen), "mailto:support@quorvin.example");
}

TEST_F(BrowserHandOver, AnHttpsLinkReachesTheOpener) {
    shellOpen("https://quorvin.example/help?topic=ports", SW_SHOW);
    EXPECT_EQ(nextOpened(record, seen), "https://quorvin.example/help?topic=ports");
}

// A page on disk reaches the opener as a file: URL of its host path, whatever the drive.
TEST_F(BrowserHandOver, APageOnDiskReachesTheOpener) {
    TempFolder temp;
    temp.writeFile("start page.html", "<p>hello</p>");
    openInBrowser(temp.join("start page.html"));
    const std::string opened = nextOpened(record, seen);
    EXPECT_EQ(opened.rfind("file:///", 0), 0u) << opened;
    EXPECT_TRUE(opened.ends_with("/start page.html") || opened.ends_with("/start%20page.html"))
        << opened;
}

TEST_F(BrowserHandOver, ShellOpenPassesTheTargetUnchanged) {
    shellOpen("http://127.0.0.1:4321/caf%C3%A9?q=1&r=2", SW_SHOW);
    EXPECT_EQ(nextOpened(record, seen), "http://127.0.0.1:4321/caf%C3%A9?q=1&r=2");
}

} // namespace
} // namespace quorvin::testing
