// The Windows rule for which request paths may reach the file API.
#include "server/pathrules.h"

namespace quorvin {

bool isServablePath(std::string_view decodedPath) {
    return detail::isServablePathFor(decodedPath, true);
}

} // namespace quorvin
