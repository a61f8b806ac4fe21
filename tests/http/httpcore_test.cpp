// Method words, status texts and the protocol version test.
#include "http/httpcore.h"
#include "http/request.h"

#include <gtest/gtest.h>

#include <set>

using namespace quorvin;

TEST(RequestMethod, OrdinalsAndWordsRoundTrip) {
    struct Case {
        RequestMethod method;
        int ordinal;
        const char* word;
    } cases[] = {
        {HttpHead, 0, "HEAD"},       {HttpGet, 1, "GET"},         {HttpPost, 2, "POST"},
        {HttpPut, 3, "PUT"},         {HttpDelete, 4, "DELETE"},   {HttpTrace, 5, "TRACE"},
        {HttpOptions, 6, "OPTIONS"}, {HttpConnect, 7, "CONNECT"}, {HttpPatch, 8, "PATCH"},
    };
    static_assert(sizeof(RequestMethod) == 1);
    for (const Case& c : cases) {
        EXPECT_EQ(static_cast<int>(c.method), c.ordinal) << c.word;
        EXPECT_EQ(methodText(c.method), c.word);
        EXPECT_EQ(parseRequestMethod(c.word), c.method) << c.word;
    }
}

TEST(RequestMethod, ParsingIsExactAndCaseSensitive) {
    for (const char* word : {"get", "Get", "GET ", " GET", "", "HEADER", "GE", "PATCHY"}) {
        EXPECT_FALSE(parseRequestMethod(word).has_value()) << '"' << word << '"';
    }
}

TEST(StatusCode, KnownAndUnknownTexts) {
    struct Case {
        StatusCode code;
        const char* text;
    } cases[] = {
        {100, "100 Continue"},
        {200, "200 OK"},
        {203, "203 Non-Authoritative Information"},
        {404, "404 Not Found"},
        {413, "413 Request Entity Too Large"},
        {414, "414 Request-URI Too Long"},
        {418, "418 I'm a teapot"},
        {501, "501 Not Implemented"},
        {505, "505 HTTP Version Not Supported"},
        // Codes without a row give only their number.
        {102, "102"},
        {299, "299"},
        {308, "308"},
        {402, "402"},
        {999, "999"},
        {0, "0"},
        {-1, "-1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusText(c.code), c.text) << c.code;
    }
}

TEST(StatusCode, ExactlyFortySevenCodesHaveAReason) {
    std::set<StatusCode> named;
    for (StatusCode code = 0; code < 1000; ++code) {
        std::string text = statusText(code);
        if (text != std::to_string(code)) {
            EXPECT_EQ(text.rfind(std::to_string(code) + " ", 0), 0u) << text;
            named.insert(code);
        }
    }
    EXPECT_EQ(named.size(), 47u);
}

TEST(ProtocolVersion, ComparesNumbersNotText) {
    struct Case {
        HttpProtocol protocol;
        bool is11;
        bool is10;
    } cases[] = {
        {{"HTTP/1.1", 1, 1}, true, false}, {{"garbage", 1, 1}, true, false},
        {{"HTTP/1.1", 1, 0}, false, true}, {{"HTTP/2.0", 2, 0}, false, false},
        {{"", 0, 0}, false, false},        {{"HTTP/1.2", 1, 2}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.protocol == Version11, c.is11) << c.protocol.major << "." << c.protocol.minor;
        EXPECT_EQ(c.protocol == Version10, c.is10) << c.protocol.major << "." << c.protocol.minor;
    }
}

TEST(Request, CopiesShareHeadersButNotStrings) {
    Request original;
    original.url.path = "/a";
    original.headers->add("Host", "x");
    Request copy = original;
    copy.url.path = "/b";
    copy.headers->add("Accept", "*/*");
    EXPECT_EQ(original.url.path, "/a");
    EXPECT_EQ(original.headers->len(), 2u);
    EXPECT_EQ(original.protocol.major, 0);
}
