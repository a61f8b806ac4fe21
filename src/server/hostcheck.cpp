// Host header check: only names that always lead back to this computer are answered.
#include "server/hostcheck.h"

#include "runtime/ascii.h"
#include "server/page.h"

#include <cstddef>
#include <optional>

namespace quorvin {

namespace {

// At most five digits, within 0-65535.
bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    unsigned value = 0;
    for (char c : text) {
        if (!isDigit(c)) {
            return false;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 65535;
}

// Letters, digits, hyphens and dots only: anything else (a '#', '/', '@' or a backslash) would let
// a browser or a proxy read the name differently than this check does.
bool isPlainHostName(std::string_view host) {
    if (host.empty()) {
        return false;
    }
    for (char c : host) {
        const char lower = asciiLower(c);
        if (!isDigit(c) && !(lower >= 'a' && lower <= 'z') && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// The host part of "host[:port]", with its port checked; nothing when the value is malformed.
std::optional<std::string_view> hostOf(std::string_view value) {
    const std::size_t colon = value.starts_with('[') ? value.find(']') + 1 : value.find(':');
    if (colon == 0) {
        return std::nullopt; // '[' without ']'
    }
    if (colon < value.size() && (value[colon] != ':' || !isPort(value.substr(colon + 1)))) {
        return std::nullopt;
    }
    return value.substr(0, colon);
}

} // namespace

bool isLocalHostValue(std::string_view value) {
    // The reader drops the white space before a value but keeps any after it.
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    const std::optional<std::string_view> host = hostOf(value);
    if (!host) {
        return false;
    }
    if (*host == "[::1]") {
        return true;
    }
    if (!isPlainHostName(*host)) {
        return false;
    }
    // Browsers resolve every *.localhost name to the loopback address themselves; a bare
    // ".localhost" names nothing.
    constexpr std::string_view suffix = ".localhost";
    return *host == "127.0.0.1" || equalsIgnoringAsciiCase(*host, "localhost") ||
           (host->size() > suffix.size() && endsWithIgnoringAsciiCase(*host, suffix));
}

bool isAddressedToThisComputer(const Request& request) {
    if (!request.headers || !request.headers->hasHeader("host")) {
        return true;
    }
    for (const std::string& value : request.headers->get("host")) {
        if (!isLocalHostValue(value)) {
            return false;
        }
    }
    return true;
}

StaticResponse forbiddenResponse(const ServerSettings& settings) {
    StaticResponse response;
    response.status = 403;
    response.body =
        renderPage(settings, "<p>This server answers only requests addressed to this computer.</p>",
                   statusText(403));
    return response;
}

} // namespace quorvin
