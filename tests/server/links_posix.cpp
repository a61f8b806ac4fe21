// Symbolic links through symlink(2).
#include "links.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quorvin::testing {

bool makeSymbolicLink(const std::string& target, const std::string& at, bool /*directory*/,
                      std::string& problem) {
    if (::symlink(target.c_str(), at.c_str()) != 0) {
        problem = std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace quorvin::testing
