// Number, header line, protocol and request line parsing.
#include "http/requestparse.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvin;

namespace {

struct NumberCase {
    const char* text;
    std::size_t start;
    std::size_t consumed;
    std::int32_t value; // -7 stands for "left unchanged"
};

const std::vector<NumberCase> numberCases = {
    {"0", 0, 1, 0},
    {"42", 0, 2, 42},
    {"+42", 0, 3, 42},
    {"+", 0, 0, -7},
    {"-5", 0, 0, -7},
    {"", 0, 0, -7},
    {"abc", 0, 0, -7},
    {"12abc", 0, 2, 12},
    {"12 ", 0, 2, 12},
    {"1_000", 0, 5, 1000},
    {"1__2_", 0, 5, 12},
    {"_1", 0, 0, -7},
    {"2147483647", 0, 10, 2147483647},
    {"2147483648", 0, 10, 2147483647},
    {"99999999999", 0, 11, 2147483647},
    {"214748364799", 0, 12, 2147483647},
    {"x=17", 2, 2, 17},
    {"17", 5, 0, -7},
};

struct HeaderCase {
    const char* line;
    std::string name;
    HeaderValues values;
};

const std::vector<HeaderCase> headerCases = {
    {"Host: example.org", "Host", {"example.org"}},
    {"Accept: a, b", "Accept", {"a", "b"}},
    {"Accept: a,,b", "Accept", {"a", "", "b"}},
    {"Accept: a ,b", "Accept", {"a ", "b"}},
    {"Accept: a,", "Accept", {"a"}},
    {"Accept:\tv", "Accept", {"v"}},
    {"Spaces:    ", "Spaces", {""}},
    {"Empty:", "Empty", {""}},
    {"NoColon", "NoColon", {""}},
    {":", "", {}},
    {": v", "", {"v"}},
    {"Content-Length : 5", "Content-Length ", {"5"}},
    {"Host: a:b", "Host", {"a:b"}},
    {"X: trailing  ", "X", {"trailing  "}},
};

struct ProtocolCase {
    const char* text;
    std::int32_t major;
    std::int32_t minor;
};

const std::vector<ProtocolCase> protocolCases = {
    {"HTTP/1.1", 1, 1},
    {"http/1.0", 1, 0},
    {"HtTp/1.1", 1, 1},
    {"HTTP/2", 2, 0},
    {"HTTP/", 0, 0},
    {"HTTP/1.1x", 1, 1},
    {"HTTP/1x5", 1, 5},
    {"HTTP/.3", 0, 3},
    {"HTTP/10.23", 10, 23},
    {"HTTP/+1.+1", 1, 1},
    {"HTTP/99999999999.1", 2147483647, 1},
};

} // namespace

TEST(RequestParse, SaturatedNaturalTable) {
    for (const NumberCase& c : numberCases) {
        std::int32_t target = -7;
        EXPECT_EQ(parseSaturatedNatural(c.text, c.start, target), c.consumed) << c.text;
        EXPECT_EQ(target, c.value) << c.text;
    }
}

TEST(RequestParse, SplitHeaderLineTable) {
    for (const HeaderCase& c : headerCases) {
        auto [name, values] = splitHeaderLine(c.line);
        EXPECT_EQ(name, c.name) << c.line;
        EXPECT_EQ(values, c.values) << c.line;
    }
}

TEST(RequestParse, ProtocolTable) {
    for (const ProtocolCase& c : protocolCases) {
        HttpProtocol protocol = parseProtocol(c.text);
        EXPECT_EQ(protocol.protocolText, c.text);
        EXPECT_EQ(protocol.major, c.major) << c.text;
        EXPECT_EQ(protocol.minor, c.minor) << c.text;
    }
}

TEST(RequestParse, ProtocolRefusals) {
    for (const char* text : {"", "HTTP", "HTP/1.1", "/1.1", "xHTTP/1.1", "/"}) {
        try {
            parseProtocol(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const ValueError& error) {
            EXPECT_EQ(error.message(), std::string("Invalid request protocol. Got: ") + text);
        }
    }
}

TEST(RequestParse, RequestLineParts) {
    using Parts = std::vector<std::string_view>;
    EXPECT_EQ(splitRequestLine("GET / HTTP/1.1"), (Parts{"GET", "/", "HTTP/1.1"}));
    EXPECT_EQ(splitRequestLine("GET  / HTTP/1.1"), (Parts{"GET", "", "/", "HTTP/1.1"}));
    EXPECT_EQ(splitRequestLine("GET / HTTP/1.1 "), (Parts{"GET", "/", "HTTP/1.1", ""}));
    EXPECT_EQ(splitRequestLine("GET /"), (Parts{"GET", "/"}));
    EXPECT_EQ(splitRequestLine("GET"), (Parts{"GET"}));
    EXPECT_EQ(splitRequestLine(" "), (Parts{"", ""}));
}
