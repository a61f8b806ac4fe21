// Absolute paths against the current directory, for folders given on a command line and for
// file paths opened in a browser.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// The path joined to the current directory unless it is absolute already (on Windows also
// normalised, with backslashes); trailing separators stay.
std::string absolutePath(std::string_view path);

// The path made absolute against the current directory (on Windows also with backslashes), with
// trailing separators removed unless the path is a root such as "/", "C:\" or "\\server\share\".
std::string absoluteFolderPath(std::string_view path);

// Removes trailing '/' and '\' while what remains is longer than its root.
std::string stripTrailingSeparators(std::string_view path);

} // namespace quorvin
