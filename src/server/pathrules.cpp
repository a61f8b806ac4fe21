// Segment-wise joining of request paths, the existence tests and the refusal of unsafe names.
#include "server/pathrules.h"

#include "runtime/ascii.h"
#include "runtime/paths.h"
#include "server/fs.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <vector>

namespace quorvin {

namespace {

std::vector<std::string_view> splitSegments(std::string_view path) {
    std::vector<std::string_view> segments;
    // One allocation for the usual depth rather than one per doubling.
    segments.reserve(16);
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || isSeparator(path[i])) {
            if (i > start) {
                segments.push_back(path.substr(start, i - start));
            }
            start = i + 1;
        }
    }
    return segments;
}

// Adds the segments of `path` to `kept`; ".." never removes an entry below `floor`.
void appendSegments(std::vector<std::string_view>& kept, std::string_view path, std::size_t floor,
                    char separator) {
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && !isSeparator(path[i], separator)) {
            continue;
        }
        const std::string_view segment = path.substr(start, i - start);
        start = i + 1;
        if (segment.empty() || segment == ".") {
            continue;
        }
        if (segment == "..") {
            if (kept.size() > floor) {
                kept.pop_back();
            }
            continue;
        }
        kept.push_back(segment);
    }
}

// Two leading separators name a network share (\\server\share); keep both. Any other number
// of leading separators gives one.
std::string leadingSeparators(std::string_view root, char separator) {
    if (root.empty() || !isSeparator(root[0], separator)) {
        return {};
    }
    bool share =
        root.size() > 2 && isSeparator(root[1], separator) && !isSeparator(root[2], separator);
    return std::string(share ? 2 : 1, separator);
}

std::string joinSegments(std::string prefix, const std::vector<std::string_view>& segments,
                         char separator) {
    std::string result = std::move(prefix);
    std::size_t length = result.size() + segments.size() + 1; // the separators and a trailing one
    for (std::string_view segment : segments) {
        length += segment.size();
    }
    result.reserve(length);
    for (std::size_t i = 0; i < segments.size(); ++i) {
        if (i > 0) {
            result += separator;
        }
        result += segments[i];
    }
    return result;
}

bool isReservedDeviceName(std::string_view segment) {
    // The device is opened whatever follows the first dot, and spaces before it are ignored.
    std::string_view base = segment.substr(0, segment.find('.'));
    while (!base.empty() && base.back() == ' ') {
        base.remove_suffix(1);
    }
    const std::string upper = toUpperAscii(base);
    static constexpr std::array<std::string_view, 6> plain = {"CON", "PRN",    "AUX",
                                                              "NUL", "CONIN$", "CONOUT$"};
    for (std::string_view name : plain) {
        if (upper == name) {
            return true;
        }
    }
    if (upper.size() < 4 || (upper.compare(0, 3, "COM") != 0 && upper.compare(0, 3, "LPT") != 0)) {
        return false;
    }
    std::string_view number = std::string_view(upper).substr(3);
    // COM1-COM9 and LPT1-LPT9, and the superscript digits 1-3 that Windows also maps to ports.
    return (number.size() == 1 && number[0] >= '1' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

} // namespace

namespace detail {

namespace {

// A path that names something below the root with nothing to resolve: it starts with '/', holds
// no other separator, and no segment is ".", ".." or empty (but a final one).
bool isPlainRequestPath(std::string_view path, char separator) {
    if (path.empty() || path[0] != '/') {
        return false;
    }
    std::size_t start = 1;
    for (std::size_t i = 1; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') {
            if (path[i] == separator) {
                return false;
            }
            continue;
        }
        const std::string_view segment = path.substr(start, i - start);
        if ((segment.empty() && i < path.size()) || segment == "." || segment == "..") {
            return false;
        }
        start = i + 1;
    }
    return true;
}

} // namespace

// A plain path below a normalised root joins as it stands, which is what the general rule gives
// for it without splitting both into segments.
std::string joinRequestPath(std::string_view root, std::string_view decodedPath, char separator) {
    if (isPlainRequestPath(decodedPath, separator) && !root.empty() &&
        !isSeparator(root.back(), separator) && isNormalised(root, separator)) {
        std::string result;
        result.reserve(root.size() + decodedPath.size());
        result.append(root).append(decodedPath);
        if (separator != '/') {
            std::replace(result.begin() + static_cast<std::ptrdiff_t>(root.size()), result.end(),
                         '/', separator);
        }
        return result;
    }
    std::vector<std::string_view> kept;
    kept.reserve(16); // one allocation for the usual depth
    appendSegments(kept, root, 0, separator);
    appendSegments(kept, decodedPath, kept.size(), separator);
    std::string result = joinSegments(leadingSeparators(root, separator), kept, separator);

    bool trailing = decodedPath.empty() ? !root.empty() && isSeparator(root.back(), separator)
                                        : isSeparator(decodedPath.back(), separator);
    if (trailing && (result.empty() || result.back() != separator)) {
        result += separator;
    }
    return result;
}

std::string normalisePath(std::string_view path, char separator) {
    std::vector<std::string_view> kept;
    appendSegments(kept, path, 0, separator);
    return joinSegments(leadingSeparators(path, separator), kept, separator);
}

bool isNormalised(std::string_view path, char separator) {
    thread_local std::string lastPath;
    thread_local char lastSeparator = 0;
    thread_local bool lastAnswer = false;
    if (path != lastPath || separator != lastSeparator) {
        lastPath = path;
        lastSeparator = separator;
        lastAnswer = normalisePath(path, separator) == path;
    }
    return lastAnswer;
}

bool isWindowsRewrittenSegment(std::string_view segment) {
    if (segment == "." || segment == "..") {
        return false;
    }
    if (!segment.empty() && (segment.back() == '.' || segment.back() == ' ')) {
        return true;
    }
    return segment.find(':') != std::string_view::npos || isReservedDeviceName(segment);
}

bool pathLiesWithin(std::string_view root, std::string_view path, bool ignoreCase) {
    const std::vector<std::string_view> rootSegments = splitSegments(root);
    const std::vector<std::string_view> pathSegments = splitSegments(path);
    if (pathSegments.size() < rootSegments.size() ||
        (!root.empty() && isSeparator(root[0])) != (!path.empty() && isSeparator(path[0]))) {
        return false;
    }
    for (std::size_t i = 0; i < rootSegments.size(); ++i) {
        const bool same = ignoreCase ? equalsIgnoringAsciiCase(rootSegments[i], pathSegments[i])
                                     : rootSegments[i] == pathSegments[i];
        if (!same) {
            return false;
        }
    }
    return true;
}

bool isServablePathFor(std::string_view decodedPath, bool windowsRules) {
    if (decodedPath.find('\0') != std::string_view::npos) {
        return false;
    }
    if (windowsRules) {
        for (std::string_view segment : splitSegments(decodedPath)) {
            if (isWindowsRewrittenSegment(segment)) {
                return false;
            }
        }
    }
    return true;
}

} // namespace detail

std::string mapRequestPath(std::string_view root, std::string_view decodedPath) {
    return detail::joinRequestPath(root, decodedPath, pathSeparator);
}

bool directoryExists(const std::string& path) {
    return fs::pathKind(path) == fs::PathKind::Directory;
}

bool fileExists(const std::string& path) {
    return fs::pathKind(path) == fs::PathKind::File;
}

} // namespace quorvin
