// HTML text escaping and percent-encoding of URL paths.
#include "server/escape.h"

namespace quorvin {

namespace {

bool isUnreservedOrSlash(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~' || c == '/';
}

} // namespace

std::string escapeHtml(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&':
            result += "&amp;";
            break;
        case '<':
            result += "&lt;";
            break;
        case '>':
            result += "&gt;";
            break;
        case '"':
            result += "&quot;";
            break;
        case '\'':
            result += "&#39;";
            break;
        default:
            result += c;
            break;
        }
    }
    return result;
}

std::string encodeUrlPath(std::string_view path) {
    static constexpr char hexDigits[] = "0123456789ABCDEF";
    std::string result;
    result.reserve(path.size());
    for (char c : path) {
        auto byte = static_cast<unsigned char>(c);
        if (isUnreservedOrSlash(byte)) {
            result += c;
        } else {
            result += '%';
            result += hexDigits[byte >> 4];
            result += hexDigits[byte & 0x0F];
        }
    }
    return result;
}

} // namespace quorvin
