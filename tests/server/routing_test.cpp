// The response choice for request paths over a real served folder with a secret beside it.
#include "server/routing.h"

#include "http/uri.h"

#include "server/listing.h"
#include "server/page.h"
#include "tempfolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string_view>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace quorvin;
using quorvin::testing::TempFolder;

namespace {

const char* const secret = "the secret beside the served folder";

// A served folder "site" with a secret file next to it, outside what may be served.
class Routing : public ::testing::Test {
protected:
    Routing() {
        outer.writeFile("secret.txt", secret);
        outer.writeFile("site/a.txt", "a");
        outer.writeFile("site/my file.txt", "spaced");
        outer.writeFile("site/a+b.txt", "plus");
        outer.writeFile("site/100%.txt", "percent");
        outer.writeFile("site/docs/readme.md", "readme");
        settings.rootDirectory = outer.join("site");
        settings.mimeTable = newMimeTable();
        addMimeType(settings.mimeTable, "htm", "text/html");
        settings.serverName = "Quorvin";
        settings.serverVersion = "20.08.14";
    }

    StaticResponse get(std::string_view path) { return chooseResponse(settings, HttpGet, path); }

    void expectMissing(std::string_view path) {
        StaticResponse response = get(path);
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.body, notFoundResponse(settings).body) << path;
    }

    TempFolder outer;
    ServerSettings settings;
};

} // namespace

TEST(DecodeRequestPath, Table) {
    struct Case {
        const char* path;
        std::string expected;
    } cases[] = {
        {"/my%20file.txt", "/my file.txt"},  {"/my+file.txt", "/my file.txt"},
        {"/a%2Bb.txt", "/a+b.txt"},          {"/100%.txt", "/100%.txt"},
        {"/a%2Fb%5Cc", "/a/b\\c"},           {"/%2520", "/%20"},
        {"/x%00y", std::string("/x\0y", 4)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeRequestPath(c.path), c.expected) << c.path;
    }
}

TEST_F(Routing, OnlyGetTouchesTheFileSystem) {
    for (RequestMethod method : {HttpHead, HttpPost, HttpPut, HttpDelete, HttpOptions, HttpPatch}) {
        for (const char* path : {"/a.txt", "/missing", "/"}) {
            StaticResponse response = chooseResponse(settings, method, path);
            EXPECT_EQ(response.status, 501) << methodText(method) << " " << path;
            EXPECT_EQ(response.body, notImplementedResponse(settings).body);
            EXPECT_EQ(response.headers->len(), 0u);
        }
    }
    EXPECT_NE(notImplementedResponse(settings).body.find("<title>501 Not Implemented</title>"),
              std::string::npos);
}

TEST_F(Routing, FilesByTheirDecodedPaths) {
    struct Case {
        const char* path;
        const char* body;
    } cases[] = {
        {"/a.txt", "a"},
        {"/a.txt?x=1", "a"},
        {"/my%20file.txt", "spaced"},
        {"/my+file.txt", "spaced"},
        {"/a%2Bb.txt", "plus"},
        {"/100%.txt", "percent"},
        {"/docs%2Freadme.md", "readme"},
        {"/docs%5Creadme.md", "readme"},
        {"/x/../a.txt", "a"},
        {"/docs///readme.md", "readme"},
    };
    for (const Case& c : cases) {
        Uri url;
        parseRequestTarget(c.path, url);
        StaticResponse response = get(url.path);
        EXPECT_EQ(response.status, 200) << c.path;
        EXPECT_EQ(response.body, c.body) << c.path;
    }
    expectMissing("/a+b.txt");
    expectMissing("/nothing-here");
    StaticResponse missing = get("/nothing-here");
    EXPECT_EQ(missing.headers->len(), 0u);
    EXPECT_NE(missing.body.find("<h1>404 Not Found</h1>"), std::string::npos);
    EXPECT_NE(missing.body.find("<p>The page you requested cannot be found.<p>"),
              std::string::npos);
}

TEST_F(Routing, FolderWithAndWithoutSlashListsAlike) {
    StaticResponse bare = get("/docs");
    StaticResponse slashed = get("/docs/");
    EXPECT_EQ(bare.status, 200);
    EXPECT_EQ(bare.body, slashed.body);
    EXPECT_NE(bare.body.find("<title>Index of /docs/</title>"), std::string::npos);
    EXPECT_NE(get("/").body.find("<h1>Index of /</h1>"), std::string::npos);
}

TEST_F(Routing, NothingAboveTheServedFolderIsReached) {
    for (const char* path :
         {"/../secret.txt", "/%2e%2e/secret.txt", "/..%2Fsecret.txt", "/..%5Csecret.txt",
          "/docs/../../secret.txt", "\\..\\secret.txt", "/..%20/secret.txt", "/..%2E/secret.txt",
          "/.../secret.txt", "/..+/secret.txt"}) {
        StaticResponse response = get(path);
        EXPECT_EQ(response.body.find(secret), std::string::npos) << path;
        EXPECT_EQ(response.status, 404) << path;
    }
    // The listing of the top names nothing outside it either.
    EXPECT_EQ(get("/../").body.find("secret"), std::string::npos);
}

TEST_F(Routing, NamesThatWindowsRewritesAreMissing) {
    // A NUL would cut the path short at the system call and serve a.txt under another name.
    expectMissing("/a.txt%00.png");
    expectMissing("/a.txt%00");
#ifdef _WIN32
    for (const char* path :
         {"/a.txt.", "/a.txt%20", "/a.txt::$DATA", "/a.txt:x", "/CON", "/docs/con.txt", "/NUL",
          "/aux/", "/COM1", "/lpt9.log", "/CONIN$", "/docs./readme.md", "/docs%20/readme.md"}) {
        expectMissing(path);
    }
#endif
}

#ifndef _WIN32
TEST_F(Routing, PipeInTheServedFolderIsMissing) {
    ASSERT_EQ(mkfifo(outer.join("site/pipe").c_str(), 0600), 0);
    expectMissing("/pipe");
}
#endif

TEST_F(Routing, EveryListingLinkReachesItsEntry) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"plus+hash#100%.txt", "1"},           {"a&b'c;.txt", "2"},
        {"caf\xC3\xA9 \xE6\x96\x87.txt", "3"}, {"~tilde,comma=eq@at$.txt", "4"},
        {"sub dir/x[1]{2}.txt", "5"},
#ifndef _WIN32
        {"lt<gt>q\"question?.txt", "6"},
#endif
    };
    for (const auto& [name, content] : files) {
        outer.writeFile("site/odd/" + name, content);
    }
    std::vector<std::string> reached;
    std::vector<std::string> pending = {"/odd/"};
    std::regex href("href=\"([^\"]*)\"");
    while (!pending.empty()) {
        std::string page = get(pending.back()).body;
        pending.pop_back();
        for (std::sregex_iterator it(page.begin(), page.end(), href), end; it != end; ++it) {
            std::string link = (*it)[1];
            if (link == "/" || link == "/odd/") {
                continue;
            }
            StaticResponse response = get(link);
            ASSERT_EQ(response.status, 200) << link;
            if (link.back() == '/') {
                pending.push_back(link);
            } else {
                reached.push_back(response.body);
            }
        }
    }
    std::sort(reached.begin(), reached.end());
    std::vector<std::string> expected;
    for (const auto& file : files) {
        expected.push_back(file.second);
    }
    EXPECT_EQ(reached, expected);
}
