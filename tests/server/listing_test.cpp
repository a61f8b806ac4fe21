// Listing pages over real folders, byte for byte, and the site paths their links use.
#include "server/listing.h"

#include "runtime/errors.h"
#include "server/fs.h"
#include "server/pagestyle.h"
#include "tempfolder.h"
#include "testsettings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace quorvin;
using quorvin::testing::settingsFor;
using quorvin::testing::TempFolder;

namespace {

// The page as the frame, footer and list templates assemble it, written out here on purpose.
std::string expectedPage(const std::string& title, const std::vector<std::string>& items) {
    std::string joined;
    for (const std::string& item : items) {
        joined += (joined.empty() ? "" : "\n") + item;
    }
    return "<!DOCTYPE html>\n<html>\n  <head>\n    <title>" + title +
           "</title>\n    <style type=\"text/css\">" + pageStyle() +
           "</style>\n    <meta charset=\"UTF-8\">\n  </head>\n  <body>\n    <h1>" + title +
           "</h1>\n    <ul>\n  " + joined +
           "\n</ul>\n\n    <div id=\"footer\">Quorvin v20.08.14</div>\n  </body>\n</html>\n  ";
}

std::string item(const char* kind, const std::string& href, const std::string& text) {
    return std::string("<li class=\"i-") + kind + " entypo\"><a href=\"" + href + "\">" + text +
           "</a></li>";
}

std::string sep(std::string_view path) {
    return std::string(path) + pathSeparator;
}

} // namespace

TEST(SitePath, PathsBelowTheRoot) {
    struct Case {
        const char* path;
        const char* root;
        const char* expected;
    } cases[] = {
#ifdef _WIN32
        {R"(C:\Site\docs\)", R"(C:\Site)", "/docs/"},
        {R"(C:\Site\docs)", R"(C:\Site)", "/docs/"},
        {R"(C:\Site\)", R"(C:\Site)", "/"},
        {R"(C:\Site)", R"(C:\Site)", "/"},
        {R"(C:\x)", R"(C:\)", "/x/"},
        {R"(\\srv\share\site\a\)", R"(\\srv\share\site)", "/a/"},
#else
        {"/srv/site/docs/", "/srv/site", "/docs/"},
        {"/srv/site/", "/srv/site", "/"},
        {"/srv/site", "/srv/site", "/"},
        // A backslash is part of a name here.
        {"/srv/site/back\\slash", "/srv/site", "/back\\slash/"},
#endif
        {"/srv/site/a/b", "/srv/site", "/a/b/"},
        {"short", "a much longer root", "/"},
        // A served folder of exactly "/" leaves paths as they are.
        {"/docs/sub", "/", "/docs/sub"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sitePath(c.path, c.root), c.expected) << c.path << " below " << c.root;
    }
}

TEST(SitePath, ExistingFileHasNoTrailingSlash) {
    TempFolder folder;
    folder.writeFile("docs/a.txt", "a");
    EXPECT_EQ(sitePath(folder.join("docs/a.txt"), folder.path()), "/docs/a.txt");
    EXPECT_EQ(sitePath(folder.join("docs"), folder.path()), "/docs/");
}

TEST(ParentSitePath, Table) {
    struct Case {
        const char* path;
        const char* root;
        const char* expected;
    } cases[] = {
#ifdef _WIN32
        {R"(C:\Site\docs\)", R"(C:\Site)", "/"},
        {R"(C:\Site\docs\img\)", R"(C:\Site)", "/docs/"},
        {R"(C:\Site\docs\img\..\x\)", R"(C:\Site)", "/docs/"},
        {R"(\\srv\share\site\a\b)", R"(\\srv\share\site)", "/a/"},
#else
        {"/srv/site/docs/", "/srv/site", "/"},
        {"/srv/site/docs/img/", "/srv/site", "/docs/"},
        {"/srv/site/docs/img/../x/", "/srv/site", "/docs/"},
        {"/srv/site/a\\b/c", "/srv/site", "/a\\b/"},
#endif
        {"", "", "/"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parentSitePath(c.path, c.root), c.expected) << c.path << " below " << c.root;
    }
}

TEST(ListingResponse, PageMatchesTheTemplatesByteForByte) {
    TempFolder folder;
#ifdef _WIN32
    const std::string oddName = "a&b'c.txt";
    const std::string oddText = "a&amp;b&#39;c.txt";
    const std::string oddHref = "/sub/a%26b%27c.txt";
#else
    const std::string oddName = "a&b<c>\"d\".txt";
    const std::string oddText = "a&amp;b&lt;c&gt;&quot;d&quot;.txt";
    const std::string oddHref = "/sub/a%26b%3Cc%3E%22d%22.txt";
#endif
    folder.writeFile("sub/" + oddName, "odd");
    folder.writeFile("sub/plus+hash#100%.txt", "plus");
    folder.makeFolder("sub/inner dir");
    ServerSettings settings = settingsFor(folder.path());

    std::vector<std::string> entries = {
        item("folder", "/sub/inner%20dir/", "inner dir"),
        item("file", oddHref, oddText),
        item("file", "/sub/plus%2Bhash%23100%25.txt", "plus+hash#100%.txt"),
    };
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> pages;
    do {
        std::vector<std::string> items = {item("back", "/", "..")};
        items.insert(items.end(), entries.begin(), entries.end());
        pages.push_back(expectedPage("Index of /sub/", items));
    } while (std::next_permutation(entries.begin(), entries.end()));

    for (const std::string& dir : {folder.join("sub"), sep(folder.join("sub"))}) {
        StaticResponse response = listingResponse(settings, dir);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.headers->len(), 0u);
        EXPECT_NE(std::find(pages.begin(), pages.end(), response.body), pages.end())
            << "unexpected page for " << dir << ":\n"
            << response.body.substr(response.body.find("</style>"));
    }
}

TEST(ListingResponse, TopHasNoBackLinkAndEmptyFoldersKeepTheFrame) {
    TempFolder folder;
    folder.makeFolder("empty");
    ServerSettings settings = settingsFor(folder.path());
    std::string top = expectedPage("Index of /", {item("folder", "/empty/", "empty")});
    EXPECT_EQ(listingResponse(settings, folder.path()).body, top);
    EXPECT_EQ(listingResponse(settings, sep(folder.path())).body, top);
    EXPECT_EQ(listingResponse(settings, folder.join("empty")).body,
              expectedPage("Index of /empty/", {item("back", "/", "..")}));

    TempFolder bare;
    EXPECT_EQ(listingResponse(settingsFor(bare.path()), bare.path()).body,
              expectedPage("Index of /", {""}));
}

TEST(ListingResponse, FolderThatCannotBeEnumeratedIsListedEmpty) {
    TempFolder folder;
    ServerSettings settings = settingsFor(folder.path());
    StaticResponse response = listingResponse(settings, folder.join("gone"));
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, expectedPage("Index of /gone/", {item("back", "/", "..")}));
}

TEST(ListingResponse, IndexFileIsServedInsteadOfTheListing) {
    TempFolder folder;
    folder.writeFile("site/index.html", "<p>home</p>");
    folder.writeFile("site/other.txt", "other");
    folder.writeFile("both/index.htm", "htm");
    folder.writeFile("both/index.html", "html");
    folder.writeFile("upper/Index.html", "not an index");
    folder.makeFolder("trap/index.html");
    ServerSettings settings = settingsFor(folder.path());

    StaticResponse site = listingResponse(settings, folder.join("site"));
    EXPECT_EQ(site.status, 200);
    EXPECT_EQ(site.body, "<p>home</p>");
    EXPECT_EQ(site.headers->get("content-type"), HeaderValues{"text/html"});

    std::string both = listingResponse(settings, folder.join("both")).body;
    EXPECT_TRUE(both == "htm" || both == "html") << both;

    std::string upper = listingResponse(settings, folder.join("upper")).body;
    EXPECT_NE(upper.find(item("file", "/upper/Index.html", "Index.html")), std::string::npos);
}

// A folder that only bears an index file's name is listed like any folder, and so is its parent.
TEST(ListingResponse, OnlyARegularFileIsAnIndex) {
    TempFolder folder;
    folder.makeFolder("trap/index.html");
    folder.makeFolder("trap/index.htm/inner");
    folder.writeFile("trap/other.txt", "other");
    ServerSettings settings = settingsFor(folder.path());

    StaticResponse trap = listingResponse(settings, folder.join("trap"));
    EXPECT_EQ(trap.status, 200);
    for (const std::string& entry : {item("folder", "/trap/index.html/", "index.html"),
                                     item("folder", "/trap/index.htm/", "index.htm"),
                                     item("file", "/trap/other.txt", "other.txt")}) {
        EXPECT_NE(trap.body.find(entry), std::string::npos) << entry;
    }
    EXPECT_NE(listingResponse(settings, folder.join("trap/index.htm")).body.find("inner"),
              std::string::npos);
}

TEST(ListingBuilder, SlicesAndPiecesGiveTheSamePageAsOneGo) {
    TempFolder folder;
    folder.makeFolder("big");
    // Enough entries for several pieces; names long enough that pieces fill quickly.
    for (int i = 0; i < 1500; ++i) {
        folder.writeFile("big/entry-" + std::to_string(i) + "-with-a-rather-long-name.txt", "");
    }
    folder.makeFolder("big/sub folder");
    const ServerSettings settings = settingsFor(folder.path());
    const std::string dir = folder.join("big");

    ListingBuilder builder(settings, dir);
    int slices = 0;
    while (builder.addEntries(7)) {
        ++slices;
    }
    StaticResponse sliced = builder.finish();
    EXPECT_GT(slices, 200);
    EXPECT_TRUE(sliced.body.empty());
    ASSERT_GT(sliced.bodyPieces.size(), 1u);
    std::string joined;
    for (const std::string& piece : sliced.bodyPieces) {
        EXPECT_LE(piece.size(), listingPieceSize + 8 * 1024);
        joined += piece;
    }
    StaticResponse whole = listingResponse(settings, dir);
    EXPECT_TRUE(whole.bodyPieces.empty());
    EXPECT_EQ(joined, whole.body);
    EXPECT_NE(joined.find(item("folder", "/big/sub%20folder/", "sub folder")), std::string::npos);
    EXPECT_NE(joined.find(item("file", "/big/entry-7-with-a-rather-long-name.txt",
                               "entry-7-with-a-rather-long-name.txt")),
              std::string::npos);
}

TEST(ListingBuilder, IndexFileMetInALaterSliceWins) {
    TempFolder folder;
    for (int i = 0; i < 50; ++i) {
        folder.writeFile("site/page" + std::to_string(i) + ".txt", "x");
    }
    folder.writeFile("site/index.html", "<p>home</p>");
    const ServerSettings settings = settingsFor(folder.path());
    ListingBuilder builder(settings, folder.join("site"));
    while (builder.addEntries(3)) {
    }
    StaticResponse response = builder.finish();
    EXPECT_TRUE(response.bodyPieces.empty());
    EXPECT_EQ(response.body, "<p>home</p>");
}

TEST(DirectoryEnumeration, TellsFoldersFromFilesWhereTheSystemSaysSo) {
    TempFolder folder;
    folder.makeFolder("d/inner");
    folder.writeFile("d/plain.txt", "x");
    fs::DirectoryEnumeration entries(folder.join("d"));
    int seen = 0;
    while (std::optional<std::string> name = entries.next()) {
        std::optional<fs::PathKind> kind = entries.lastKind();
        if (*name == "inner" || *name == "plain.txt") {
            ++seen;
            // Where the system does not say, the listing looks the path up instead.
            if (kind) {
                EXPECT_EQ(*kind, *name == "inner" ? fs::PathKind::Directory : fs::PathKind::File);
            }
        }
    }
    EXPECT_EQ(seen, 2);
}
