// The server's display address and the shell's "open" verb for URLs and file paths.
#pragma once

#include <string>

namespace quorvin {

// "127.0.0.1:4321".
std::string serverAddress();
// Opens "http://" followed by the server address.
void openServerPage();
// Opens a URL with the shell; a text without "://" is a file path, made absolute and opened as
// a file:// URL. An empty URL raises AssertionError.
void openInBrowser(const std::string& url);

} // namespace quorvin
