// Mapping of decoded URL paths below the served folder, and the file-system existence tests.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// Joins the served folder and a decoded URL path with this platform's separator. '/' splits
// segments, and on Windows '\' as well (elsewhere a backslash is a character of a name, which
// a listing can link to); empty and "." segments go, ".." never climbs above the served folder.
// A root on a network share (two leading separators) keeps its two leading separators.
std::string mapRequestPath(std::string_view root, std::string_view decodedPath);

// Whether a directory, or a file (anything that is not a directory), exists at the path;
// attributes that cannot be read answer false.
bool directoryExists(const std::string& path);
bool fileExists(const std::string& path);

// Whether a decoded URL path may be handed to the file API at all. A NUL byte is refused
// everywhere; on Windows also every segment that the system would rewrite or treat as a
// device or a stream (see isWindowsRewrittenSegment). A refused path is answered as missing.
bool isServablePath(std::string_view decodedPath);

namespace detail {

// mapRequestPath with an explicit separator ('/' splits always, `separator` too), so both
// platforms' rules can be tested anywhere.
std::string joinRequestPath(std::string_view root, std::string_view decodedPath, char separator);

// The normalised form of a path: its segments with ".." resolved, joined by `separator`, with
// the leading separator(s) kept as mapRequestPath keeps them and no trailing one.
std::string normalisePath(std::string_view path, char separator);

// Whether normalisePath would leave `path` as it is. The last answer is kept per thread, since
// every request asks it of the served folder again.
bool isNormalised(std::string_view path, char separator);

// A segment that Windows would not open as written: one ending in '.' or ' ' (other than "."
// and ".."), one holding ':' (a stream name), or a reserved device name such as CON, NUL,
// COM1 or LPT9 in any case, with or without an extension.
bool isWindowsRewrittenSegment(std::string_view segment);

// Whether `path` is `root` or lies below it, compared segment by segment ('/' and '\\' both
// separate; a trailing separator does not count), letter case ignored (ASCII) when asked.
bool pathLiesWithin(std::string_view root, std::string_view path, bool ignoreCase);

// isServablePath with the Windows segment rules switched on or off.
bool isServablePathFor(std::string_view decodedPath, bool windowsRules);

} // namespace detail

} // namespace quorvin
