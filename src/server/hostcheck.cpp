// Host header check: only names that always lead back to this computer are answered.
#include "server/hostcheck.h"

#include "server/page.h"

#include <array>
#include <cstddef>

namespace quorvin {

namespace {

char lowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsIgnoringCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lowerAscii(text[i]) != lower[i]) {
            return false;
        }
    }
    return true;
}

bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

// The host part without its port, or nothing usable when the port part is malformed.
bool splitHost(std::string_view value, std::string_view& host) {
    std::size_t colon;
    if (!value.empty() && value.front() == '[') {
        std::size_t close = value.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        colon = close + 1;
        if (colon < value.size() && value[colon] != ':') {
            return false;
        }
    } else {
        colon = value.find(':');
    }
    host = value.substr(0, colon);
    if (colon >= value.size()) {
        return true;
    }
    return isPort(value.substr(colon + 1));
}

} // namespace

bool isLocalHostValue(std::string_view value) {
    // The reader drops the white space before a value but keeps any after it.
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) {
        value.remove_suffix(1);
    }
    std::string_view host;
    if (!splitHost(value, host)) {
        return false;
    }
    static constexpr std::array<std::string_view, 3> names = {"127.0.0.1", "localhost", "[::1]"};
    for (std::string_view name : names) {
        if (equalsIgnoringCase(host, name)) {
            return true;
        }
    }
    // Browsers resolve every *.localhost name to the loopback address themselves; a bare
    // ".localhost" names nothing.
    constexpr std::string_view suffix = ".localhost";
    return host.size() > suffix.size() &&
           equalsIgnoringCase(host.substr(host.size() - suffix.size()), suffix);
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
