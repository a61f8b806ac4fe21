// ASCII letter case and hex digits: the one place where protocol words, header names and
// extensions are folded and where escapes and stored hex texts are read.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// The letter in lower (upper) case; every other byte, UTF-8 included, is kept.
constexpr char asciiLower(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char asciiUpper(char c) noexcept {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Whether the byte is a decimal digit, '0' to '9'.
constexpr bool isDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

// The value of a hex digit of either case, or -1 for any other byte.
constexpr int asciiHexValue(char c) noexcept {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A copy with every ASCII letter in lower (upper) case.
std::string toLowerAscii(std::string_view text);
std::string toUpperAscii(std::string_view text);

// Comparisons that fold ASCII letters only.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept;
bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) noexcept;
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) noexcept;

} // namespace quorvin
