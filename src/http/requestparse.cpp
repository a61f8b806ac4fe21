// Header line, protocol and number parsing for the request reader.
#include "http/requestparse.h"

#include "runtime/ascii.h"
#include "runtime/errors.h"

namespace quorvin {

namespace {

constexpr std::int32_t saturatedMax = 2147483647;

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

bool isWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The comma-separated values after a header's colon.
HeaderValues splitHeaderValues(std::string_view rest) {
    HeaderValues values;
    std::size_t i = 0;
    while (i < rest.size() && !isLineEnd(rest[i])) {
        while (i < rest.size() && isWhiteSpace(rest[i])) {
            ++i;
        }
        const std::size_t begin = i;
        while (i < rest.size() && rest[i] != ',' && !isLineEnd(rest[i])) {
            ++i;
        }
        values.emplace_back(rest.substr(begin, i - begin));
        if (i < rest.size() && rest[i] == ',') {
            ++i;
        }
    }
    return values;
}

} // namespace

std::size_t parseSaturatedNatural(std::string_view text, std::size_t start, std::int32_t& target) {
    std::size_t i = start;
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    if (i >= text.size() || !isDigit(text[i])) {
        return 0;
    }
    std::int32_t value = 0;
    while (i < text.size() && isDigit(text[i])) {
        const std::int32_t digit = text[i] - '0';
        value = value > (saturatedMax - digit) / 10 ? saturatedMax : value * 10 + digit;
        ++i;
        while (i < text.size() && text[i] == '_') {
            ++i;
        }
    }
    target = value;
    return i - start;
}

std::pair<std::string, HeaderValues> splitHeaderLine(std::string_view line) {
    const std::size_t colon = line.find(':');
    std::string name(line.substr(0, colon));
    HeaderValues values;
    if (colon != std::string_view::npos && colon + 1 < line.size()) {
        values = splitHeaderValues(line.substr(colon + 1));
    } else if (!name.empty()) {
        values.emplace_back();
    }
    return {std::move(name), std::move(values)};
}

HttpProtocol parseProtocol(std::string_view text) {
    constexpr std::string_view prefix = "HTTP/";
    if (!startsWithIgnoringAsciiCase(text, prefix)) {
        throw ValueError("Invalid request protocol. Got: " + std::string(text));
    }
    HttpProtocol protocol;
    protocol.protocolText = std::string(text);
    const std::size_t majorLength = parseSaturatedNatural(text, prefix.size(), protocol.major);
    // The character after the major number is stepped over whatever it is.
    parseSaturatedNatural(text, prefix.size() + majorLength + 1, protocol.minor);
    return protocol;
}

std::vector<std::string_view> splitRequestLine(std::string_view line) {
    std::vector<std::string_view> parts;
    parts.reserve(4); // method, target, protocol and the rare extra part
    std::size_t begin = 0;
    for (std::size_t space = line.find(' '); space != std::string_view::npos;
         space = line.find(' ', begin)) {
        parts.push_back(line.substr(begin, space - begin));
        begin = space + 1;
    }
    parts.push_back(line.substr(begin));
    return parts;
}

} // namespace quorvin
