// Absolute paths against the current directory, for folders given on a command line and for
// file paths opened in a browser, and the separators that split paths.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// The separator that joins path segments on this platform: '\\' on Windows, '/' elsewhere.
extern const char pathSeparator;

// Whether `c` is '/' or '\\', which Windows takes alike.
constexpr bool isSeparator(char c) noexcept {
    return c == '/' || c == '\\';
}

// Whether `c` splits segments where `separator` joins them: '/' always, '\\' only where it is the
// separator. Elsewhere a backslash is a character of a name like any other.
constexpr bool isSeparator(char c, char separator) noexcept {
    return c == '/' || c == separator;
}

// The path joined to the current directory unless it is absolute already, and normalised: no "."
// segments, ".." resolved by name, repeated separators as one (on Windows also with
// backslashes). A trailing separator stays.
std::string absolutePath(std::string_view path);

// absolutePath with trailing separators removed unless the path is a root such as "/", "C:\" or
// "\\server\share\".
std::string absoluteFolderPath(std::string_view path);

// Removes trailing '/' and '\' while what remains is longer than its root.
std::string stripTrailingSeparators(std::string_view path);

} // namespace quorvin
