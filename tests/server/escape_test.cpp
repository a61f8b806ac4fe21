// Escaping of listing texts and links, and the round trip of every byte through the decoder.
#include "server/escape.h"

#include "server/routing.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(EscapeHtml, Table) {
    struct Case {
        const char* text;
        const char* expected;
    } cases[] = {
        {"a&b<c>.txt", "a&amp;b&lt;c&gt;.txt"},
        {"\"quoted\" 'single'", "&quot;quoted&quot; &#39;single&#39;"},
        {"&amp;", "&amp;amp;"},
        {"plain name.txt", "plain name.txt"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(escapeHtml(c.text), c.expected) << c.text;
    }
}

TEST(EncodeUrlPath, Table) {
    struct Case {
        const char* path;
        const char* expected;
    } cases[] = {
        {"/docs/a-b_c.d~e/", "/docs/a-b_c.d~e/"},
        {"/my file.txt", "/my%20file.txt"},
        {"/a+b#c?d%e.txt", "/a%2Bb%23c%3Fd%25e.txt"},
        {"/a&b<c>\"'.txt", "/a%26b%3Cc%3E%22%27.txt"},
        {"/caf\xC3\xA9", "/caf%C3%A9"},
        {"/back\\slash", "/back%5Cslash"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encodeUrlPath(c.path), c.expected) << c.path;
    }
}

TEST(EncodeUrlPath, EveryByteSurvivesTheRequestDecoder) {
    std::string all;
    for (int byte = 1; byte < 256; ++byte) {
        if (byte != '/' && byte != '\\') {
            all += static_cast<char>(byte);
        }
    }
    std::string path = "/" + all + "/%20+%2B%%41";
    EXPECT_EQ(decodeRequestPath(encodeUrlPath(path)), path);
}
