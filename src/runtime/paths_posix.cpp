// Absolute paths against the current directory on POSIX, normalised by name as Windows does.
#include "runtime/paths.h"

#include <climits>
#include <string>
#include <unistd.h>
#include <vector>

namespace quorvin {

const char pathSeparator = '/';

namespace {

// The segments of an absolute path with "." gone and ".." resolved by name; ".." at the top
// stays at the top. A backslash is part of a name here.
std::vector<std::string_view> normalSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i < path.size() && path[i] != '/') {
            continue;
        }
        const std::string_view segment = path.substr(start, i - start);
        start = i + 1;
        if (segment == "..") {
            if (!kept.empty()) {
                kept.pop_back();
            }
        } else if (!segment.empty() && segment != ".") {
            kept.push_back(segment);
        }
    }
    return kept;
}

std::string normalised(std::string_view absolute, bool keepTrailing) {
    std::string result;
    for (std::string_view segment : normalSegments(absolute)) {
        result += '/';
        result += segment;
    }
    const bool trailing = keepTrailing && !absolute.empty() && absolute.back() == '/';
    if (result.empty() || trailing) {
        result += '/';
    }
    return result;
}

std::string joinedToCurrentDirectory(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        char buffer[PATH_MAX];
        std::string current = getcwd(buffer, sizeof buffer) ? buffer : "";
        absolute = current + "/" + absolute;
    }
    return absolute;
}

} // namespace

std::string absolutePath(std::string_view path) {
    return normalised(joinedToCurrentDirectory(path), true);
}

std::string absoluteFolderPath(std::string_view path) {
    return normalised(joinedToCurrentDirectory(path), false);
}

} // namespace quorvin
