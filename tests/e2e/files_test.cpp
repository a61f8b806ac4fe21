// Files, listings and index files fetched from the launched server over real sockets.
#include "httpclient.h"
#include "servedsite.h"

#include <gtest/gtest.h>

namespace quorvin::testing {
namespace {

std::uint16_t sitePort() {
    return ServedSite::instance().port();
}

std::string expectedHead(std::string_view type, std::size_t length) {
    return "HTTP/1.1 200 OK\r\ncontent-type: " + std::string(type) +
           "\r\nContent-Length: " + std::to_string(length) + "\r\n\r\n";
}

TEST(EndToEndFiles, ContentTypeAndBytesByExtension) {
    struct Case {
        const char* target;
        const char* type;
        std::string body;
    };
    const Case cases[] = {
        {"/hello.html", "text/html", "<p>hello</p>"},
        {"/style.css", "text/css", "body { color: red; }"},
        {"/script.js", "application/javascript", "console.log(1);"},
        {"/data.json", "application/json", "{\"a\": 1}"},
        {"/photo.png", "image/png", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)},
        {"/pic.JPG", "image/jpeg", std::string("\xFF\xD8\xFF\xE0\0\x10JFIF", 10)},
        {"/page.HTM", "text/html", "<p>htm</p>"},
        {"/LICENSE", "text/plain", "license text"},
        {"/data.xyz123", "text/plain", "unknown kind"},
        {"/.gitignore", "text/plain", "build/"},
        {"/empty.txt", "text/plain", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        HttpResponse response = fetchGet(sitePort(), c.target);
        EXPECT_EQ(response.head, expectedHead(c.type, c.body.size()));
        EXPECT_EQ(response.body, c.body);
    }
}

TEST(EndToEndFiles, AroundTheWholeFileLimitTheWireIsTheSame) {
    // 1 MiB is read whole, one byte more is streamed from disk: the client cannot tell.
    struct Case {
        const char* target;
        std::size_t size;
        unsigned seed;
    };
    for (Case c :
         {Case{"/exact1m.dat", 1024u * 1024u, 1}, Case{"/over1m.dat", 1024u * 1024u + 1, 2}}) {
        SCOPED_TRACE(c.target);
        HttpClient client(sitePort());
        client.sendAll(getRequest(c.target));
        std::optional<HttpResponse> response = client.readResponse();
        ASSERT_TRUE(response);
        EXPECT_EQ(response->head, expectedHead("application/octet-stream", c.size));
        EXPECT_TRUE(response->body == ServedSite::patternBytes(c.size, c.seed));
        // Nothing follows the body: the next response on the connection starts cleanly.
        EXPECT_TRUE(client.pending().empty());
        client.sendAll(getRequest("/hello.html"));
        std::optional<HttpResponse> next = client.readResponse();
        ASSERT_TRUE(next);
        EXPECT_EQ(next->body, "<p>hello</p>");
    }
}

TEST(EndToEndFiles, FiftyMebibyteFileArrivesByteExact) {
    // The deadline only catches a lost response: under ThreadSanitizer on a busy machine the
    // transfer alone can take longer than the usual 20 s.
    HttpResponse response = fetch(sitePort(), getRequest("/big.bin"), 180000);
    EXPECT_EQ(response.head, expectedHead("application/octet-stream", ServedSite::bigSize));
    ASSERT_EQ(response.body.size(), ServedSite::bigSize);
    EXPECT_TRUE(response.body ==
                ServedSite::patternBytes(ServedSite::bigSize, ServedSite::bigSeed));
}

TEST(EndToEndListings, RootListingNamesEntriesWithoutBackLink) {
    HttpResponse response = fetchGet(sitePort(), "/");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.headerCount(), 1) << response.head; // Content-Length only
    EXPECT_NE(response.body.find("<title>Index of /</title>"), std::string::npos);
    EXPECT_NE(response.body.find("<h1>Index of /</h1>"), std::string::npos);
    EXPECT_EQ(response.body.find("i-back entypo"), std::string::npos);
    EXPECT_NE(response.body.find(">hello.html</a>"), std::string::npos);
    EXPECT_NE(response.body.find("i-folder entypo\"><a href=\"/docs/\">docs</a>"),
              std::string::npos);
    EXPECT_NE(response.body.find("<div id=\"footer\">Quorvin v20.08.14</div>"), std::string::npos);
    EXPECT_EQ(response.body.find("secret"), std::string::npos);
}

TEST(EndToEndListings, SubfolderListingWithAndWithoutSlashIsTheSame) {
    HttpResponse slash = fetchGet(sitePort(), "/docs/");
    HttpResponse bare = fetchGet(sitePort(), "/docs");
    EXPECT_EQ(slash.status, 200);
    EXPECT_EQ(slash.body, bare.body);
    EXPECT_NE(slash.body.find("<title>Index of /docs/</title>"), std::string::npos);
    EXPECT_NE(slash.body.find("i-back entypo\"><a href=\"/\">..</a>"), std::string::npos);
    EXPECT_NE(slash.body.find("href=\"/docs/guide.txt\">guide.txt</a>"), std::string::npos);
    EXPECT_NE(slash.body.find("href=\"/docs/sub/\">sub</a>"), std::string::npos);

    HttpResponse deep = fetchGet(sitePort(), "/docs/sub/");
    EXPECT_NE(deep.body.find("i-back entypo\"><a href=\"/docs/\">..</a>"), std::string::npos);
    EXPECT_EQ(fetchGet(sitePort(), "/docs/sub/deep.txt").body, "deep");
}

TEST(EndToEndListings, EmptyFolderHasOnlyTheBackLink) {
    HttpResponse response = fetchGet(sitePort(), "/emptydir/");
    EXPECT_EQ(response.status, 200);
    EXPECT_NE(
        response.body.find("<ul>\n  <li class=\"i-back entypo\"><a href=\"/\">..</a></li>\n</ul>"),
        std::string::npos);
}

TEST(EndToEndListings, FolderWithIndexServesTheIndexFile) {
    for (const char* target : {"/withindex/", "/withindex"}) {
        SCOPED_TRACE(target);
        HttpResponse response = fetchGet(sitePort(), target);
        EXPECT_EQ(response.head, expectedHead("text/html", 17));
        EXPECT_EQ(response.body, "<p>index page</p>");
    }
}

} // namespace
} // namespace quorvin::testing
