// Request methods, status codes and protocol versions: the plain words of HTTP/1.1.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

// Request methods; the ordinals are fixed and the value fits in one byte.
enum RequestMethod : std::uint8_t {
    HttpHead = 0,
    HttpGet = 1,
    HttpPost = 2,
    HttpPut = 3,
    HttpDelete = 4,
    HttpTrace = 5,
    HttpOptions = 6,
    HttpConnect = 7,
    HttpPatch = 8,
};

// The wire word of a method: "HEAD", "GET", ... ("" for a value outside the enumeration).
std::string_view methodText(RequestMethod method);

// The method whose wire word is exactly `word` (case-sensitive), if any.
std::optional<RequestMethod> parseRequestMethod(std::string_view word);

// A status code; any 32-bit value is allowed, the known ones have a reason phrase.
using StatusCode = std::int32_t;

// "404 Not Found" for a known code, the decimal number alone for any other.
std::string statusText(StatusCode code);

// The two protocol versions a request's protocol record is compared with.
enum ProtocolVersion : std::uint8_t {
    Version11,
    Version10,
};

// The protocol word of a request line and the numbers read from it.
struct HttpProtocol {
    std::string protocolText;
    std::int32_t major = 0;
    std::int32_t minor = 0;
};

// Compares the numbers only; the text as received plays no part.
bool operator==(const HttpProtocol& protocol, ProtocolVersion version);

} // namespace quorvin
