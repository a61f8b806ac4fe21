// The parsed request target and the percent-decoder of URL text.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// A request target split into its parts; a fresh value has every string empty.
struct Uri {
    std::string scheme;
    std::string username;
    std::string password;
    std::string hostname;
    std::string port;
    std::string path;
    std::string query;
    std::string anchor;
    bool opaque = false;

    bool operator==(const Uri&) const = default;
};

inline Uri emptyUri() {
    return Uri{};
}

// Fills `uri` from the text of a request target; accepts every input.
void parseRequestTarget(std::string_view text, Uri& uri);

// "%XX" with two hex digits becomes that byte, '+' becomes a space when `plusAsSpace`;
// a '%' without two hex digits after it is kept as it stands.
std::string percentDecode(std::string_view text, bool plusAsSpace = true);

} // namespace quorvin
