// Error pages, methods, percent-decoding, traversal and the Host check against the launched
// server.
#include "httpclient.h"
#include "servedsite.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace quorvin::testing {
namespace {

std::uint16_t sitePort() {
    return ServedSite::instance().port();
}

bool hasTitle(const HttpResponse& response, std::string_view title) {
    std::string tag = "<title>" + std::string(title) + "</title>";
    std::string heading = "<h1>" + std::string(title) + "</h1>";
    return response.body.find(tag) != std::string::npos &&
           response.body.find(heading) != std::string::npos;
}

TEST(EndToEndRequests, MissingPathGets404PageWithoutContentType) {
    for (const char* target : {"/nothing.txt", "/docs/nothing/", "/hello.html/x"}) {
        SCOPED_TRACE(target);
        HttpResponse response = fetchGet(sitePort(), target);
        EXPECT_EQ(response.status, 404);
        EXPECT_TRUE(hasTitle(response, "404 Not Found"));
        EXPECT_FALSE(response.header("content-type"));
        EXPECT_EQ(response.header("Content-Length"), std::to_string(response.body.size()));
    }
}

TEST(EndToEndRequests, EveryMethodButGetGets501WithFullPage) {
    const char* requests[] = {
        "PUT /hello.html HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 3\r\n\r\nabc",
        "DELETE /hello.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
        "POST /nothing/at/all HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 2\r\n\r\nhi",
        "OPTIONS / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
    };
    for (const char* request : requests) {
        SCOPED_TRACE(request);
        HttpResponse response = fetch(sitePort(), request);
        EXPECT_EQ(response.status, 501);
        EXPECT_TRUE(hasTitle(response, "501 Not Implemented"));
        EXPECT_NE(response.body.find("does not support the functionality"), std::string::npos);
    }
}

TEST(EndToEndRequests, HeadGetsTheHeadOnlyAndTheNextRequestItsOwnAnswer) {
    const HttpResponse full = fetch(sitePort(), "PUT /hello.html HTTP/1.1\r\n\r\n");
    ASSERT_EQ(full.status, 501);
    HttpClient client(sitePort());
    client.sendAll("HEAD /hello.html HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"
                   "GET /hello.html HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    ASSERT_TRUE(client.readUntilClosed());
    const std::string& wire = client.pending();
    EXPECT_EQ(wire.substr(0, full.head.size()), full.head)
        << "the 501 head, with the length of the page it does not carry";
    EXPECT_EQ(full.header("Content-Length"), std::to_string(full.body.size()));
    const std::string rest = wire.substr(std::min(wire.size(), full.head.size()));
    EXPECT_TRUE(rest.starts_with("HTTP/1.1 200 OK\r\n")) << rest.substr(0, 80);
    EXPECT_TRUE(rest.ends_with("\r\n\r\n<p>hello</p>"));
}

TEST(EndToEndRequests, PercentDecodingOfPaths) {
    struct Case {
        const char* target;
        int status;
        const char* body; // checked when the status is 200
    };
    const Case cases[] = {
        {"/my%20file.txt", 200, "spaced"},
        {"/my+file.txt", 200, "spaced"},
        {"/a%2Bb.txt", 200, "plus"},
        {"/a+b.txt", 404, ""},
        {"/100%.txt", 200, "percent"},
        {"/100%25.txt", 200, "percent"},
        {"/%C3%A9t%C3%A9.txt", 200, "summer"},
        {"/%68ello.html", 200, "<p>hello</p>"},
        {"/docs%2Fguide.txt", 200, "guide"},
#ifdef _WIN32
        {"/docs%5Cguide.txt", 200, "guide"},
#else
        // A backslash is a character of a name here, not a separator.
        {"/docs%5Cguide.txt", 404, ""},
#endif
        {"/hello.html?x=1&y=%2F", 200, "<p>hello</p>"},
        {"/hello.html#part", 200, "<p>hello</p>"},
        {"/docs/./sub//deep.txt", 200, "deep"},
        {"/docs/sub/../guide.txt", 200, "guide"},
        {"/hello.html%00.txt", 404, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        HttpResponse response = fetchGet(sitePort(), c.target);
        EXPECT_EQ(response.status, c.status);
        if (c.status == 200) {
            EXPECT_EQ(response.body, c.body);
        }
    }
}

TEST(EndToEndRequests, TraversalNeverReachesFilesBesideTheSite) {
    const char* targets[] = {
        "/../secret.txt",
        "/../../secret.txt",
        "/docs/../../secret.txt",
        "/%2e%2e/secret.txt",
        "/%2E%2E/%2E%2E/secret.txt",
        "/..%2fsecret.txt",
        "/..%2Fsecret.txt",
        "/..%5csecret.txt",
        "/..%5Csecret.txt",
        "/..\\secret.txt",
        "\\..\\secret.txt",
        "/docs\\..\\..\\secret.txt",
        "/%2e%2e%2f%2e%2e%2fsecret.txt",
        "/..%252fsecret.txt",
        "/.%2e/secret.txt",
        "/../site-other/secret.txt",
        "/%2e%2e/site-other/secret.txt",
        "/..",
        "/../",
        "/%2e%2e",
        "/..%2f..%2f",
    };
    for (const char* target : targets) {
        SCOPED_TRACE(target);
        HttpResponse response = fetchGet(sitePort(), target);
        EXPECT_NE(response.status, 0);
        EXPECT_EQ(response.body.find(ServedSite::secret), std::string::npos);
        EXPECT_EQ(response.body.find("site-other"), std::string::npos);
        if (response.status == 200) {
            // Climbing stops at the top: at most the site's own listing.
            EXPECT_TRUE(hasTitle(response, "Index of /"));
        }
    }
}

TEST(EndToEndRequests, RequestsForOtherHostsAreRefusedBeforeAnythingElse) {
    struct Case {
        std::string request;
        int status;
    };
    const Case cases[] = {
        {getRequest("/hello.html", "Host: localhost:4321\r\n"), 200},
        {"GET /hello.html HTTP/1.0\r\n\r\n", 200}, // no Host at all
        {getRequest("/hello.html", "Host: evil.example:4321\r\n"), 403},
        // A missing file and a method other than GET are refused alike: nothing is looked up.
        {getRequest("/nothing.txt", "Host: evil.example\r\n"), 403},
        {"PUT / HTTP/1.1\r\nHost: evil.example\r\n\r\n", 403},
        // Names that a browser would send elsewhere, dressed up to end in ".localhost".
        {getRequest("/hello.html", "Host: evil.example#.localhost\r\n"), 403},
        {getRequest("/hello.html", "Host: evil.example/.localhost:4321\r\n"), 403},
        {getRequest("/hello.html", "Host: app.localhost:4321\r\n"), 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.request);
        HttpResponse response = fetch(sitePort(), c.request);
        EXPECT_EQ(response.status, c.status);
        if (c.status == 403) {
            EXPECT_TRUE(hasTitle(response, "403 Forbidden"));
            EXPECT_NE(response.body.find("only requests addressed to this computer"),
                      std::string::npos);
            EXPECT_FALSE(response.header("content-type"));
        } else {
            EXPECT_EQ(response.body, "<p>hello</p>");
        }
    }
}

} // namespace
} // namespace quorvin::testing
