// Absolute folder paths for programs that take a folder on their command line.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// The path made absolute against the current directory (on Windows also with backslashes), with
// trailing separators removed unless the path is a root such as "/", "C:\" or "\\server\share\".
std::string absoluteFolderPath(std::string_view path);

// Removes trailing '/' and '\' while what remains is longer than its root.
std::string stripTrailingSeparators(std::string_view path);

} // namespace quorvin
