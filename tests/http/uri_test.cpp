// Request target parsing and percent-decoding, one named case per row.
#include "http/uri.h"

#include <gtest/gtest.h>

using namespace quorvin;

namespace {

Uri parsed(std::string_view text) {
    Uri uri;
    uri.path = "stale";
    uri.opaque = true;
    parseRequestTarget(text, uri);
    return uri;
}

Uri make(std::string scheme, std::string username, std::string password, std::string hostname,
         std::string port, std::string path, std::string query, std::string anchor, bool opaque) {
    return Uri{std::move(scheme),   std::move(username), std::move(password),
               std::move(hostname), std::move(port),     std::move(path),
               std::move(query),    std::move(anchor),   opaque};
}

} // namespace

TEST(ParseRequestTarget, Table) {
    struct Case {
        const char* name;
        const char* text;
        Uri expected;
    } cases[] = {
        {"origin form", "/index.html", make("", "", "", "", "", "/index.html", "", "", false)},
        {"path query anchor", "/a/b?x=1&y=2#top",
         make("", "", "", "", "", "/a/b", "x=1&y=2", "top", false)},
        {"anchor without query", "/a#q?r", make("", "", "", "", "", "/a", "", "q?r", false)},
        {"empty query", "/a?", make("", "", "", "", "", "/a", "", "", false)},
        {"empty", "", make("", "", "", "", "", "", "", "", false)},
        {"asterisk", "*", make("", "", "", "", "", "*", "", "", false)},
        {"words with space", "two words", make("", "", "", "", "", "two words", "", "", false)},
        {"network path", "//example.org:8080/x/y?q",
         make("", "", "", "example.org", "8080", "/x/y", "q", "", false)},
        {"absolute form", "http://example.org/p",
         make("http", "", "", "example.org", "", "/p", "", "", false)},
        {"authority only", "http://h", make("http", "", "", "h", "", "", "", "", false)},
        {"user info and bracketed host", "http://name:secret@[::1]:80/p",
         make("http", "name", "secret", "::1", "80", "/p", "", "", false)},
        {"empty authority", "file:///etc", make("file", "", "", "", "", "/etc", "", "", false)},
        {"mailto", "mailto:someone", make("mailto", "", "", "someone", "", "", "", "", true)},
        {"mailto any case", "MailTo:a@b", make("MailTo", "a", "", "b", "", "", "", "", true)},
        {"opaque urn", "urn:isbn:1", make("urn", "", "", "", "", "isbn:1", "", "", true)},
        {"scheme then slash", "a/b", make("a", "", "", "", "", "/b", "", "", true)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parsed(c.text), c.expected) << c.name;
    }
}

TEST(PercentDecode, Table) {
    struct Case {
        const char* name;
        std::string text;
        bool plusAsSpace;
        std::string expected;
    } cases[] = {
        {"escape", "a%20b", true, "a b"},
        {"plus as space", "a+b", true, "a b"},
        {"plus kept", "a+b", false, "a+b"},
        {"upper and lower hex", "%2f%2F%5c%5C", true, "//\\\\"},
        {"high byte", "%C3%A9", true, "\xC3\xA9"},
        {"nul byte", "a%00b", true, std::string("a\0b", 3)},
        {"encoded plus", "%2B", true, "+"},
        {"one char after percent", "a%2", true, "a%2"},
        {"final percent", "100%", true, "100%"},
        {"letters beyond f", "%gg%zz", true, "%gg%zz"},
        {"half valid", "%2g", true, "%2g"},
        {"bad then good", "%%41", true, "%A"},
        {"percent then plus", "%+", true, "% "},
        {"double escape decodes once", "%2541", true, "%41"},
        {"empty", "", true, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(percentDecode(c.text, c.plusAsSpace), c.expected) << c.name;
    }
    EXPECT_EQ(percentDecode("x+y"), "x y") << "plusAsSpace defaults to true";
}
