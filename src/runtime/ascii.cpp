// ASCII case folding and comparison.
#include "runtime/ascii.h"

namespace quorvin {

std::string toLowerAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = asciiLower(c);
    }
    return result;
}

std::string toUpperAscii(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        c = asciiUpper(c);
    }
    return result;
}

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) noexcept {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (asciiLower(text[i]) != asciiLower(prefix[i])) {
            return false;
        }
    }
    return true;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && startsWithIgnoringAsciiCase(a, b);
}

bool endsWithIgnoringAsciiCase(std::string_view text, std::string_view suffix) noexcept {
    return text.size() >= suffix.size() &&
           equalsIgnoringAsciiCase(text.substr(text.size() - suffix.size()), suffix);
}

} // namespace quorvin
