// Percent-encodes arbitrary bytes as a listing's href does and checks that the request side
// decodes them back exactly; also decodes arbitrary text, which must never grow or crash.
#include "fuzzfault.h"

#include "http/uri.h"
#include "server/escape.h"
#include "server/routing.h"

#include <cstdint>
#include <string>
#include <string_view>

using namespace quorvin;

namespace {

constexpr fuzzing::Checker check("uri fuzzer");

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// What an href may hold after encoding: unreserved characters, '/', and %XX in upper case.
bool isCleanlyEncoded(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHexDigit(text[i + 1]) || !isHexDigit(text[i + 2])) {
                return false;
            }
            i += 2;
            continue;
        }
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '/';
        if (!plain) {
            return false;
        }
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    const std::string encoded = encodeUrlPath(text);
    check(isCleanlyEncoded(encoded), "the encoding holds a character an href may not");
    check(decodeRequestPath(encoded) == text, "the request decoder does not give the bytes back");
    check(percentDecode(encoded, true) == text, "percentDecode with '+' does not give them back");
    check(percentDecode(encoded, false) == text, "percentDecode does not give them back");

    // As a request target: the parser keeps the path, and its decoding is the name again.
    Uri uri;
    // ("/x/" in front: a target that begins with "//" names a host.)
    parseRequestTarget("/x/" + encoded + "?q=1#top", uri);
    check(uri.path == "/x/" + encoded, "the target parser changed an encoded path");
    check(decodeRequestPath(uri.path) == "/x/" + text, "a parsed target does not decode back");

    // Arbitrary text: decoding only ever shortens, and a text without '%' or '+' stays as it is.
    const std::string decoded = decodeRequestPath(text);
    check(decoded.size() <= text.size(), "decoding made a text longer");
    check(percentDecode(text, false).size() <= text.size(), "percentDecode made a text longer");
    if (text.find_first_of("%+") == std::string::npos) {
        check(decoded == text, "a text with nothing to decode changed");
    }
    Uri any;
    parseRequestTarget(text, any);
    return 0;
}
