// UTF-8 <-> UTF-16 conversion with U+FFFD for malformed input.
#include "runtime/utf.h"

#include <cstdint>

namespace quorvin {

namespace {

constexpr char32_t replacementCharacter = 0xFFFD;

bool isSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDFFF;
}

bool isHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// Decodes one code point at `i`, advancing `i`; malformed input yields U+FFFD and skips one byte.
// The three-byte forms of surrogates count as malformed unless `surrogates` is set.
char32_t decodeUtf8(std::string_view text, size_t& i, bool surrogates = false) {
    auto byte = [&](size_t k) { return static_cast<std::uint8_t>(text[k]); };
    std::uint8_t lead = byte(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    size_t length;
    char32_t codePoint;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, codePoint = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, codePoint = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, codePoint = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return replacementCharacter;
    }
    if (i + length > text.size()) {
        ++i;
        return replacementCharacter;
    }
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            ++i;
            return replacementCharacter;
        }
        codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not characters.
    if (codePoint < minimum || codePoint > 0x10FFFF || (isSurrogate(codePoint) && !surrogates)) {
        ++i;
        return replacementCharacter;
    }
    i += length;
    return codePoint;
}

void encodeUtf8(char32_t codePoint, std::string& out) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

void encodeUtf16(char32_t codePoint, std::u16string& out) {
    if (codePoint >= 0x10000) {
        codePoint -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
        out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
    } else {
        out += static_cast<char16_t>(codePoint);
    }
}

// Whether the bytes at `i` are the three-byte form of a low surrogate.
bool lowSurrogateAt(std::string_view text, size_t i) {
    if (i >= text.size()) {
        return false;
    }
    const char32_t next = decodeUtf8(text, i, true);
    return isSurrogate(next) && !isHighSurrogate(next);
}

std::u16string toUtf16(std::string_view text, bool surrogates) {
    std::u16string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const char32_t codePoint = decodeUtf8(text, i, surrogates);
        if (isHighSurrogate(codePoint) && lowSurrogateAt(text, i)) {
            // A pair spelt as two three-byte forms would be a second name for one character.
            out.append(6, static_cast<char16_t>(replacementCharacter));
            i += 3;
            continue;
        }
        encodeUtf16(codePoint, out);
    }
    return out;
}

// Surrogate pairs become their code point; an unpaired surrogate becomes U+FFFD, or its own
// three-byte form when `surrogates` is set.
std::string toUtf8(std::u16string_view text, bool surrogates) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t unit = text[i];
        if (isHighSurrogate(unit) && i + 1 < text.size() && isSurrogate(text[i + 1]) &&
            !isHighSurrogate(text[i + 1])) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isSurrogate(unit) && !surrogates) {
            unit = replacementCharacter;
        }
        encodeUtf8(unit, out);
    }
    return out;
}

} // namespace

std::u16string utf8ToUtf16(std::string_view text) {
    return toUtf16(text, false);
}

std::string utf16ToUtf8(std::u16string_view text) {
    return toUtf8(text, false);
}

std::u16string wtf8ToUtf16(std::string_view text) {
    return toUtf16(text, true);
}

std::string utf16ToWtf8(std::u16string_view text) {
    return toUtf8(text, true);
}

} // namespace quorvin
