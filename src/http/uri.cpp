// Request target parsing and percent-decoding, as plain functions over the given text.
#include "http/uri.h"

#include "runtime/ascii.h"

#include <cstddef>

namespace quorvin {

namespace {

bool isAsciiAlnum(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isSchemeChar(char c) {
    return isAsciiAlnum(c) || c == '+' || c == '-' || c == '.';
}

// user:password@host:port, with brackets protecting the colons of an IPv6 address.
void parseAuthority(std::string_view authority, Uri& uri) {
    bool inPort = false;
    bool inBrackets = false;
    for (char c : authority) {
        switch (c) {
        case '@':
            uri.username = std::move(uri.hostname);
            uri.password = std::move(uri.port);
            uri.hostname.clear();
            uri.port.clear();
            inPort = false;
            break;
        case ':':
            if (inBrackets) {
                uri.hostname += c;
            } else {
                inPort = true;
            }
            break;
        case '[':
            inBrackets = true;
            break;
        case ']':
            inBrackets = false;
            break;
        default:
            (inPort ? uri.port : uri.hostname) += c;
            break;
        }
    }
}

// The path, then an optional "?query" and "#anchor", from `pos` to the end.
void parsePath(std::string_view text, std::size_t pos, Uri& uri) {
    std::size_t end = text.find_first_of("?#", pos);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    uri.path = std::string(text.substr(pos, end - pos));
    if (equalsIgnoringAsciiCase(uri.scheme, "mailto")) {
        parseAuthority(uri.path, uri);
        uri.path.clear();
    }
    pos = end;
    if (pos < text.size() && text[pos] == '?') {
        ++pos;
        end = text.find('#', pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        uri.query = std::string(text.substr(pos, end - pos));
        pos = end;
    }
    if (pos < text.size() && text[pos] == '#') {
        uri.anchor = std::string(text.substr(pos + 1));
    }
}

} // namespace

void parseRequestTarget(std::string_view text, Uri& uri) {
    uri = Uri{};
    bool doubleSlash = text.size() >= 2 && text[1] == '/';
    if (!text.empty() && text[0] == '/' && !doubleSlash) {
        parsePath(text, 0, uri);
        return;
    }
    std::size_t pos = 0;
    while (pos < text.size() && isSchemeChar(text[pos])) {
        ++pos;
    }
    uri.scheme = std::string(text.substr(0, pos));
    if (!doubleSlash) {
        if (pos >= text.size() || text[pos] != ':') {
            uri.scheme.clear();
            parsePath(text, 0, uri);
            return;
        }
        ++pos;
    }
    if (pos + 1 < text.size() && text[pos] == '/' && text[pos + 1] == '/') {
        pos += 2;
        std::size_t end = text.find_first_of("/?#", pos);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        if (end > pos) {
            parseAuthority(text.substr(pos, end - pos), uri);
        }
        pos = end;
    } else {
        uri.opaque = true;
    }
    parsePath(text, pos, uri);
}

std::string percentDecode(std::string_view text, bool plusAsSpace) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            int high = asciiHexValue(text[i + 1]);
            int low = asciiHexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                result += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
        }
        result += c == '+' && plusAsSpace ? ' ' : c;
    }
    return result;
}

} // namespace quorvin
