// Converts arbitrary bytes as UTF-8 and, two bytes to a unit, as UTF-16. Valid text must come
// back unchanged from a round trip; anything else must come out as valid text of the other form
// with U+FFFD where the input was broken.
#include "fuzzfault.h"

#include "runtime/utf.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace quorvin;

namespace {

constexpr fuzzing::Checker check("utf fuzzer");

// Well-formed UTF-8 as the standard defines it: shortest forms, no surrogates, at most U+10FFFF.
bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<std::uint8_t>(text[i]);
        std::size_t length = lead < 0x80   ? 1
                             : lead < 0xC2 ? 0
                             : lead < 0xE0 ? 2
                             : lead < 0xF0 ? 3
                             : lead < 0xF5 ? 4
                                           : 0;
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        char32_t codePoint = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<std::uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80) {
                return false;
            }
            codePoint = (codePoint << 6) | (next & 0x3F);
        }
        const char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
        if (codePoint < minimum[length] || codePoint > 0x10FFFF ||
            (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return false;
        }
        i += length;
    }
    return true;
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// Every surrogate paired, high before low.
bool isValidUtf16(std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (isHighSurrogate(text[i])) {
            if (i + 1 >= text.size() || !isLowSurrogate(text[i + 1])) {
                return false;
            }
            ++i;
        } else if (isLowSurrogate(text[i])) {
            return false;
        }
    }
    return true;
}

void checkUtf8(std::string_view bytes) {
    const std::u16string wide = utf8ToUtf16(bytes);
    check(isValidUtf16(wide), "UTF-8 became UTF-16 with an unpaired surrogate");
    check(wide.size() <= bytes.size(), "UTF-8 became more UTF-16 units than it had bytes");
    const std::string back = utf16ToUtf8(wide);
    check(isValidUtf8(back), "the UTF-16 of any bytes did not give valid UTF-8");
    if (isValidUtf8(bytes)) {
        check(back == bytes, "valid UTF-8 did not survive the round trip");
        check(wide.find(u'\uFFFD') == std::u16string::npos ||
                  bytes.find("\xEF\xBF\xBD") != std::string_view::npos,
              "valid UTF-8 gained a replacement character");
    }
}

void checkUtf16(std::u16string_view units) {
    const std::string narrow = utf16ToUtf8(units);
    check(isValidUtf8(narrow), "UTF-16 became invalid UTF-8");
    const std::u16string back = utf8ToUtf16(narrow);
    check(isValidUtf16(back), "the round trip gave an unpaired surrogate");
    // Each unit comes back as it was, but a lone surrogate as exactly one U+FFFD.
    check(back.size() == units.size(), "the round trip changed the number of UTF-16 units");
    for (std::size_t i = 0; i < units.size(); ++i) {
        if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
            check(back[i] == units[i] && back[i + 1] == units[i + 1], "a pair was changed");
            ++i;
        } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
            check(back[i] == u'\uFFFD', "a lone surrogate did not become U+FFFD");
        } else {
            check(back[i] == units[i], "a character was changed");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    checkUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
    std::u16string units(size / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        units[i] = static_cast<char16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    checkUtf16(units);
    return 0;
}
