// Absolute paths against the current directory on POSIX.
#include "runtime/paths.h"

#include <climits>
#include <string>
#include <unistd.h>

namespace quorvin {

std::string absolutePath(std::string_view path) {
    std::string absolute(path);
    if (absolute.empty() || absolute[0] != '/') {
        char buffer[PATH_MAX];
        std::string current = getcwd(buffer, sizeof buffer) ? buffer : "";
        absolute = current + "/" + absolute;
    }
    return absolute;
}

} // namespace quorvin
