// The POSIX rule for which request paths may reach the file API: only a NUL is refused.
#include "server/pathrules.h"

namespace quorvin {

bool isServablePath(std::string_view decodedPath) {
    return detail::isServablePathFor(decodedPath, false);
}

} // namespace quorvin
