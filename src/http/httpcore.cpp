// Text forms of request methods and status codes, and the protocol version test.
#include "http/httpcore.h"

#include <array>

namespace quorvin {

namespace {

// Indexed by the method's ordinal.
constexpr std::array<std::string_view, 9> methodWords = {
    "HEAD", "GET", "POST", "PUT", "DELETE", "TRACE", "OPTIONS", "CONNECT", "PATCH",
};

struct StatusRow {
    StatusCode code;
    std::string_view text;
};

constexpr StatusRow statusRows[] = {
    {100, "100 Continue"},
    {101, "101 Switching Protocols"},
    {200, "200 OK"},
    {201, "201 Created"},
    {202, "202 Accepted"},
    {203, "203 Non-Authoritative Information"},
    {204, "204 No Content"},
    {205, "205 Reset Content"},
    {206, "206 Partial Content"},
    {300, "300 Multiple Choices"},
    {301, "301 Moved Permanently"},
    {302, "302 Found"},
    {303, "303 See Other"},
    {304, "304 Not Modified"},
    {305, "305 Use Proxy"},
    {307, "307 Temporary Redirect"},
    {400, "400 Bad Request"},
    {401, "401 Unauthorized"},
    {403, "403 Forbidden"},
    {404, "404 Not Found"},
    {405, "405 Method Not Allowed"},
    {406, "406 Not Acceptable"},
    {407, "407 Proxy Authentication Required"},
    {408, "408 Request Timeout"},
    {409, "409 Conflict"},
    {410, "410 Gone"},
    {411, "411 Length Required"},
    {412, "412 Precondition Failed"},
    {413, "413 Request Entity Too Large"},
    {414, "414 Request-URI Too Long"},
    {415, "415 Unsupported Media Type"},
    {416, "416 Requested Range Not Satisfiable"},
    {417, "417 Expectation Failed"},
    {418, "418 I'm a teapot"},
    {421, "421 Misdirected Request"},
    {422, "422 Unprocessable Entity"},
    {426, "426 Upgrade Required"},
    {428, "428 Precondition Required"},
    {429, "429 Too Many Requests"},
    {431, "431 Request Header Fields Too Large"},
    {451, "451 Unavailable For Legal Reasons"},
    {500, "500 Internal Server Error"},
    {501, "501 Not Implemented"},
    {502, "502 Bad Gateway"},
    {503, "503 Service Unavailable"},
    {504, "504 Gateway Timeout"},
    {505, "505 HTTP Version Not Supported"},
};

} // namespace

std::string_view methodText(RequestMethod method) {
    return method < methodWords.size() ? methodWords[method] : std::string_view();
}

std::optional<RequestMethod> parseRequestMethod(std::string_view word) {
    for (std::size_t i = 0; i < methodWords.size(); ++i) {
        if (methodWords[i] == word) {
            return static_cast<RequestMethod>(i);
        }
    }
    return std::nullopt;
}

std::string statusText(StatusCode code) {
    for (const StatusRow& row : statusRows) {
        if (row.code == code) {
            return std::string(row.text);
        }
    }
    return std::to_string(code);
}

bool operator==(const HttpProtocol& protocol, ProtocolVersion version) {
    switch (version) {
    case Version11:
        return protocol.major == 1 && protocol.minor == 1;
    case Version10:
        return protocol.major == 1 && protocol.minor == 0;
    }
    return false;
}

} // namespace quorvin
