// Symbolic links for the tests of links in the served folder, made with the system's own call.
#pragma once

#include <string>

namespace quorvin::testing {

// A link at `at` to `target` (both UTF-8 paths); `directory` for a link to a folder. On failure
// false, with the system's reason in `problem`.
bool makeSymbolicLink(const std::string& target, const std::string& at, bool directory,
                      std::string& problem);

} // namespace quorvin::testing
