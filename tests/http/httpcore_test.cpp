// Method words, status texts and the protocol version test.
#include "http/httpcore.h"

#include <gtest/gtest.h>

#include <set>

using namespace quorvin;

TEST(RequestMethod, OrdinalsAndWordsRoundTrip) {
    const char* words[] = {"HEAD",  "GET",     "POST",    "PUT",  "DELETE",
                           "TRACE", "OPTIONS", "CONNECT", "PATCH"};
    static_assert(sizeof(RequestMethod) == 1 && HttpOptions == 6 && HttpPatch == 8);
    for (int ordinal = 0; ordinal < 9; ++ordinal) {
        auto method = static_cast<RequestMethod>(ordinal);
        EXPECT_EQ(methodText(method), words[ordinal]);
        EXPECT_EQ(parseRequestMethod(words[ordinal]), method) << words[ordinal];
    }
    for (const char* word : {"get", "Get", "GET ", "", "HEADER", "GE"}) {
        EXPECT_FALSE(parseRequestMethod(word).has_value()) << '"' << word << '"';
    }
}

TEST(StatusCode, TextsOfKnownAndUnknownCodes) {
    struct Case {
        StatusCode code;
        const char* text;
    } cases[] = {
        {100, "100 Continue"},
        {203, "203 Non-Authoritative Information"},
        {404, "404 Not Found"},
        {414, "414 Request-URI Too Long"},
        {418, "418 I'm a teapot"},
        {505, "505 HTTP Version Not Supported"},
        {102, "102"},
        {299, "299"},
        {308, "308"},
        {402, "402"},
        {999, "999"},
        {-1, "-1"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusText(c.code), c.text) << c.code;
    }
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
        {{"garbage", 1, 1}, true, false},   {{"HTTP/1.1", 1, 0}, false, true},
        {{"HTTP/2.0", 2, 0}, false, false}, {{"", 0, 0}, false, false},
        {{"HTTP/1.2", 1, 2}, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.protocol == Version11, c.is11) << c.protocol.major << "." << c.protocol.minor;
        EXPECT_EQ(c.protocol == Version10, c.is10) << c.protocol.major << "." << c.protocol.minor;
    }
}
