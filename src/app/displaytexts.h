// The window's texts: the enciphered display strings and their decoding, the plain help text and
// the version line of the status bar.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// RC4 (standard key schedule and generator): `data` combined by exclusive or with the key stream.
// Throws ValueError for an empty key.
std::string rc4(std::string_view key, std::string_view data);

// Deciphers a stored text of hex digit pairs under `key`. Throws ValueError for an odd number of
// digits or a character that is not a hex digit.
std::string decodeDisplayText(std::string_view key, std::string_view hexText);

struct DisplayTexts {
    std::string title;
    std::string homeLabel;
    std::string homeTarget;
    std::string contactLabel;
    std::string contactTarget;
    std::string helpRtf;
};

// The stored display strings, deciphered with the program's key.
DisplayTexts decodeDisplayTexts();

// What the help text control shows when rich text cannot be loaded.
std::string_view plainHelpText();

// The status line before a folder has been chosen.
std::string_view versionStatusText();

} // namespace quorvin
