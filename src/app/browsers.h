// The server's display address and the shell's "open" verb for URLs and file paths.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// "127.0.0.1:4321": the address and port every launch listens on, as one text.
std::string serverAddress();

// What openInBrowser hands to the shell: the URL unchanged when it has "://", else the path
// made absolute against the current directory with "file://" in front. An empty URL raises
// AssertionError "browsers(66, 12) `url.len > 0` URL must not be empty string".
std::string browserTarget(std::string_view url);

// Opens the URL (or file path) with the shell, shown normally; failures are silent.
void openInBrowser(std::string_view url);

// Opens "http://" followed by the server address.
void openServerPage();

} // namespace quorvin
