// The one-pass template filler used by every page and message of the static file service.
#include "server/settings.h"

#include "runtime/ascii.h"
#include "runtime/errors.h"

#include <cstddef>

namespace quorvin {

std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values) {
    std::string result;
    result.reserve(pattern.size());
    std::size_t i = 0;
    while (i < pattern.size()) {
        char c = pattern[i];
        if (c != '$' || i + 1 >= pattern.size()) {
            result += c;
            ++i;
        } else if (pattern[i + 1] == '$') {
            result += '$';
            i += 2;
        } else if (isDigit(pattern[i + 1])) {
            std::size_t index = 0;
            ++i;
            while (i < pattern.size() && isDigit(pattern[i])) {
                // Saturate so that a long run of digits cannot wrap into a valid index.
                index = index > values.size() ? index : index * 10 + (pattern[i] - '0');
                ++i;
            }
            if (index == 0 || index > values.size()) {
                throw ValueError("invalid format string");
            }
            result += values.begin()[index - 1];
        } else {
            result += c;
            ++i;
        }
    }
    return result;
}

} // namespace quorvin
