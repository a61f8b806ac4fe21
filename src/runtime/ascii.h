// ASCII letter case: the one place where protocol words, header names and extensions are folded.
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

// A copy with every ASCII letter in lower (upper) case.
std::string toLowerAscii(std::string_view text);
std::string toUpperAscii(std::string_view text);

// Comparisons that fold ASCII letters only.
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept;
bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) noexcept;
bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) noexcept;

} // namespace quorvin
