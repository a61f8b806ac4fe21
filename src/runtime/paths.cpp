// The portable part of folder-path normalisation.
#include "runtime/paths.h"

namespace quorvin {

namespace {

// Length of the root that must keep its separator: "/", "C:\", "\\server\share\".
size_t rootLength(std::string_view path) {
    if (path.size() >= 3 && path[1] == ':' && isSeparator(path[2])) {
        return 3;
    }
    if (path.size() >= 2 && isSeparator(path[0]) && isSeparator(path[1])) {
        size_t separators = 0;
        for (size_t i = 2; i < path.size(); ++i) {
            if (isSeparator(path[i]) && ++separators == 2) {
                return i + 1;
            }
        }
        return path.size();
    }
    return !path.empty() && isSeparator(path[0]) ? 1 : 0;
}

} // namespace

std::string stripTrailingSeparators(std::string_view path) {
    size_t keep = rootLength(path);
    size_t end = path.size();
    while (end > keep && isSeparator(path[end - 1])) {
        --end;
    }
    return std::string(path.substr(0, end));
}

} // namespace quorvin
