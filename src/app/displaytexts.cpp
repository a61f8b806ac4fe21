// The window's texts and the RC4 decoding of the stored ones.
#include "app/displaytexts.h"

#include "runtime/ascii.h"
#include "runtime/errors.h"

#include <array>
#include <cstdint>
#include <utility>

namespace quorvin {

namespace {

#include "app/displaytexts_data.inc"

std::string hexToBytes(std::string_view hexText) {
    if (hexText.size() % 2 != 0) {
        throw ValueError("display text is not hex: odd number of digits (" +
                         std::to_string(hexText.size()) + ")");
    }
    std::string bytes;
    bytes.reserve(hexText.size() / 2);
    for (std::size_t i = 0; i < hexText.size(); i += 2) {
        int high = asciiHexValue(hexText[i]);
        int low = asciiHexValue(hexText[i + 1]);
        if (high < 0 || low < 0) {
            std::size_t bad = high < 0 ? i : i + 1;
            throw ValueError("display text is not hex: '" + std::string(1, hexText[bad]) +
                             "' at position " + std::to_string(bad));
        }
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

// The permutation that the key sets up before any output.
std::array<std::uint8_t, 256> keySchedule(std::string_view key) {
    if (key.empty()) {
        throw ValueError("RC4 key is empty");
    }
    std::array<std::uint8_t, 256> state;
    for (std::size_t i = 0; i < state.size(); ++i) {
        state[i] = static_cast<std::uint8_t>(i);
    }
    std::uint8_t j = 0;
    for (std::size_t i = 0; i < state.size(); ++i) {
        j = static_cast<std::uint8_t>(j + state[i] +
                                      static_cast<std::uint8_t>(key[i % key.size()]));
        std::swap(state[i], state[j]);
    }
    return state;
}

} // namespace

std::string rc4(std::string_view key, std::string_view data) {
    std::array<std::uint8_t, 256> state = keySchedule(key);
    std::string out(data);
    std::uint8_t i = 0, j = 0;
    for (char& c : out) {
        i = static_cast<std::uint8_t>(i + 1);
        j = static_cast<std::uint8_t>(j + state[i]);
        std::swap(state[i], state[j]);
        std::uint8_t stream = state[static_cast<std::uint8_t>(state[i] + state[j])];
        c = static_cast<char>(static_cast<std::uint8_t>(c) ^ stream);
    }
    return out;
}

std::string decodeDisplayText(std::string_view key, std::string_view hexText) {
    return rc4(key, hexToBytes(hexText));
}

DisplayTexts decodeDisplayTexts() {
    return DisplayTexts{
        decodeDisplayText(displayKey, titleHex),
        decodeDisplayText(displayKey, homeLabelHex),
        decodeDisplayText(displayKey, homeTargetHex),
        decodeDisplayText(displayKey, contactLabelHex),
        decodeDisplayText(displayKey, contactTargetHex),
        decodeDisplayText(displayKey, helpRtfHex),
    };
}

std::string_view plainHelpText() {
    // CR LF: a plain edit control shows a lone line feed as no break (before Windows 10 1809).
    return "  1. Drag and drop a folder here, or click the **Select Folder** button\r\n\r\n"
           "  2. The folder is served at http://127.0.0.1:4321 and opens in your browser\r\n\r\n"
           "  Quorvin - https://quorvin.example/\r\n";
}

std::string_view versionStatusText() {
    return "     Version 20.08.14";
}

} // namespace quorvin
