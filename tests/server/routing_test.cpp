// The response choice for request paths over a real served folder with a secret beside it.
#include "server/routing.h"

#include "http/uri.h"

#include "links.h"
#include "server/fs.h"
#include "server/listing.h"
#include "server/page.h"
#include "server/pathrules.h"
#include "tempfolder.h"
#include "testsettings.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

using namespace quorvin;
using quorvin::testing::makeSymbolicLink;
using quorvin::testing::settingsFor;
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
        settings = settingsFor(outer.join("site"));
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

// The href values of a page, in order.
std::vector<std::string> hrefsOf(const std::string& page) {
    std::vector<std::string> links;
    const std::string marker = "href=\"";
    for (std::size_t at = page.find(marker); at != std::string::npos; at = page.find(marker, at)) {
        at += marker.size();
        std::size_t end = page.find('"', at);
        links.push_back(page.substr(at, end - at));
    }
    return links;
}

} // namespace

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
#ifdef _WIN32
        {"/docs%5Creadme.md", "readme"},
#endif
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

TEST_F(Routing, EveryListingLinkReachesItsEntry) {
    std::vector<std::pair<std::string, std::string>> files = {
        {"plus+hash#100%.txt", "1"},
        {"a&b'c;.txt", "2"},
        {"caf\xC3\xA9 \xE6\x96\x87.txt", "3"},
        {"~tilde,comma=eq@at$.txt", "4"},
        {"sub dir/x[1]{2}.txt", "5"},
#ifndef _WIN32
        {"lt<gt>q\"question?.txt", "6"},
        {"back\\slash.txt", "7"},
        {"back\\slash dir\\/in\\side.txt", "8"},
#endif
    };
    for (const auto& [name, content] : files) {
        outer.writeFile("site/odd/" + name, content);
    }
    std::vector<std::string> reached;
    std::vector<std::string> pending = {"/odd/"};
    while (!pending.empty()) {
        std::string page = get(pending.back()).body;
        pending.pop_back();
        for (std::string link : hrefsOf(page)) {
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

// Links made with the system's own link call; where the system refuses (a Windows without the
// right to make links), the test says so and skips.
class RoutingLinks : public Routing {
protected:
    bool link(std::string_view relative, const std::string& target, bool directory) {
        return makeSymbolicLink(target, outer.join(relative), directory, problem);
    }
    std::string problem;
};

TEST_F(RoutingLinks, LinksOutOfTheFolderAreMissingAndLinksInsideWork) {
    outer.writeFile("outside/hidden.txt", secret);
    if (!link("site/out.txt", outer.join("secret.txt"), false) ||
        !link("site/outdir", outer.join("outside"), true) ||
        !link("site/docs/up.txt", outer.join("site/a.txt"), false) ||
        !link("site/inner", outer.join("site/docs"), true) ||
        !link("site/index.html", outer.join("secret.txt"), false)) {
        GTEST_SKIP() << problem;
    }
    // Wine makes the links but does not follow them in its own file calls.
    if (!fileExists(outer.join("site/docs/up.txt")) || !directoryExists(outer.join("site/inner"))) {
        GTEST_SKIP() << "the system does not follow the links it made";
    }
    expectMissing("/out.txt");
    expectMissing("/outdir");
    expectMissing("/outdir/");
    expectMissing("/outdir/hidden.txt");
    EXPECT_EQ(get("/docs/up.txt").body, "a") << "a link to a file inside is served";
    EXPECT_EQ(get("/inner/readme.md").body, "readme") << "a link to a folder inside is followed";
    EXPECT_NE(get("/inner/").body.find("readme.md"), std::string::npos);

    // The root's index file leads out: it is listed by name, never served.
    StaticResponse listing = get("/");
    EXPECT_EQ(listing.status, 200);
    EXPECT_EQ(listing.body.find(secret), std::string::npos);
    for (const char* name : {">out.txt<", ">outdir<", ">index.html<", ">inner<"}) {
        EXPECT_NE(listing.body.find(name), std::string::npos) << name;
    }
}

TEST_F(RoutingLinks, ALinkLoopIsMissingAtOnce) {
    if (!link("site/loop1", outer.join("site/loop2"), false) ||
        !link("site/loop2", outer.join("site/loop1"), false) ||
        !link("site/self", outer.join("site/self"), true)) {
        GTEST_SKIP() << problem;
    }
    expectMissing("/loop1");
    expectMissing("/self/x.txt");
    EXPECT_EQ(get("/").status, 200) << "a folder holding a loop is still listed";
}

#ifndef _WIN32
// A backslash is an ordinary character of a name here: the entry is listed whole and its link
// reaches it, and it never stands for a separator.
TEST_F(Routing, NamesWithABackslashAreListedWholeAndServed) {
    outer.writeFile("site/back\\slash.txt", "whole name");
    outer.writeFile("site/slash.txt", "only the tail");
    outer.writeFile("site/back/slash.txt", "a folder on the way");
    StaticResponse listing = get("/");
    EXPECT_NE(listing.body.find("<a href=\"/back%5Cslash.txt\">back\\slash.txt</a>"),
              std::string::npos);
    EXPECT_EQ(get("/back%5Cslash.txt").body, "whole name");
    EXPECT_EQ(get("/back%5cslash.txt").body, "whole name");
    EXPECT_EQ(get("/back/slash.txt").body, "a folder on the way");
    expectMissing("/back\\");
}
#endif

TEST_F(Routing, AFileWithAnythingAfterItIsMissing) {
    expectMissing("/a.txt/");
    expectMissing("/a.txt/more");
    expectMissing("/docs/readme.md//");
    EXPECT_EQ(get("/docs//readme.md").body, "readme");
}

// The look-up that routing makes: a file below the folder comes back open, so that what is
// served is what was looked at; anything else comes back closed.
TEST_F(Routing, AFileFoundWithinComesBackOpen) {
    const std::string root = outer.join("site");
    fs::OpenedWithin file = fs::openWithin(root, outer.join("site/docs/readme.md"));
    EXPECT_EQ(file.kind, fs::PathKind::File);
    ASSERT_TRUE(file.file);
    char content[16] = {};
    EXPECT_EQ(file.file->read(content, sizeof content), 6u);
    EXPECT_EQ(std::string(content), "readme");
    fs::OpenedWithin folder = fs::openWithin(root, outer.join("site/docs"));
    EXPECT_EQ(folder.kind, fs::PathKind::Directory);
    EXPECT_FALSE(folder.file);
    for (const char* missing : {"site/a.txt/more", "site/none/a.txt", "site/none.txt"}) {
        fs::OpenedWithin found = fs::openWithin(root, outer.join(missing));
        EXPECT_EQ(found.kind, fs::PathKind::Missing) << missing;
        EXPECT_FALSE(found.file) << missing;
    }
}

#ifndef _WIN32
TEST_F(Routing, APipeInTheFolderIsMissingWithoutBlocking) {
    ASSERT_EQ(mkfifo(outer.join("site/pipe.txt").c_str(), 0644), 0);
    expectMissing("/pipe.txt");
}
#endif

// The served folder named in other ways than its plain path: with a trailing separator, with
// "." and ".." in it, and through a link to it. Each serves the same and keeps its bounds.
TEST_F(RoutingLinks, TheServedFolderNamedInOtherWays) {
    std::vector<std::string> roots = {outer.join("site") + "/", outer.join("site/../site"),
                                      outer.join("site/./docs/..")};
    // Wine makes links but does not follow them in its own file calls.
    if (link("to-site", outer.join("site"), true) && directoryExists(outer.join("to-site"))) {
        roots.push_back(outer.join("to-site"));
        if (link("site/docs/to-secret", outer.join("secret.txt"), false)) {
            settings = settingsFor(outer.join("to-site"));
            expectMissing("/docs/to-secret");
        }
    }
    for (const std::string& root : roots) {
        settings = settingsFor(root);
        EXPECT_EQ(get("/a.txt").body, "a") << root;
        EXPECT_EQ(get("/docs/readme.md").body, "readme") << root;
        EXPECT_EQ(get("/docs/").status, 200) << root;
        expectMissing("/../secret.txt");
        expectMissing("/nothing.txt");
    }
}
