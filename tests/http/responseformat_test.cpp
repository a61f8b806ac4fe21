// The exact bytes of responses, status responses and bare status lines.
#include "http/responseformat.h"

#include <gtest/gtest.h>

using namespace quorvin;

TEST(ResponseFormat, ResponseBytes) {
    EXPECT_EQ(formatResponse(200, "abc", nullptr),
              "HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nabc");
    EXPECT_EQ(formatResponse(299, "", nullptr), "HTTP/1.1 299\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(formatResponse(404, "", makeHeaderTable()),
              "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(formatResponse(200, "<p>", makeHeaderTable({{"Content-Type", "text/html"}})),
              "HTTP/1.1 200 OK\r\ncontent-type: text/html\r\nContent-Length: 3\r\n\r\n<p>");
}

TEST(ResponseFormat, GivenLengthIsWrittenUnchangedAndOnlyOnce) {
    EXPECT_EQ(formatResponse(200, "abc", makeHeaderTable({{"CONTENT-LENGTH", "99"}})),
              "HTTP/1.1 200 OK\r\ncontent-length: 99\r\n\r\nabc");
}

TEST(ResponseFormat, SeveralValuesGiveSeveralLines) {
    EXPECT_EQ(
        formatResponse(200, "", makeHeaderTable({{"Set-Cookie", "a=1"}, {"set-cookie", "b=2"}})),
        "HTTP/1.1 200 OK\r\nset-cookie: a=1\r\nset-cookie: b=2\r\nContent-Length: 0\r\n\r\n");
}

TEST(ResponseFormat, StatusResponsesAndLines) {
    EXPECT_EQ(formatStatusResponse(400),
              "HTTP/1.1 400 Bad Request\r\nContent-Length: 15\r\n\r\n400 Bad Request");
    EXPECT_EQ(formatStatusResponse(413), "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: "
                                         "28\r\n\r\n413 Request Entity Too Large");
    EXPECT_EQ(formatStatusLine("100 Continue"), "HTTP/1.1 100 Continue\r\n\r\n");
    EXPECT_EQ(formatStatusLine("400 Bad Request"), "HTTP/1.1 400 Bad Request\r\n\r\n");
}
