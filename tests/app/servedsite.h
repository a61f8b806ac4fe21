// Requests to the window's server on 127.0.0.1:4321 over a real connection, and what they answer.
#pragma once

#include <string>

namespace quorvin::testing {

// The whole response to a GET of `target` ("/", "/a/b.txt"), which the server ends by closing
// the connection; what arrived within 5 s.
std::string fetchFromWindowServer(const std::string& target);

// The status line of a response, without its CR LF.
std::string statusLineOf(const std::string& response);
// What follows the blank line after the headers; empty when there is none.
std::string bodyOf(const std::string& response);

} // namespace quorvin::testing
