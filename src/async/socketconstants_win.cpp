// The socket constants from the Windows Sockets headers.
#include "async/socketconstants.h"

#include <winsock2.h>

namespace quorvin {

#include "async/socketconstants.inc"
// SO_REUSEADDR here would let another socket bind the same port and steal its traffic.
const int osSoListenerReuseAddr = SO_EXCLUSIVEADDRUSE;
// The socket that AcceptEx fills is created plain, and which options it takes over from the
// listener is not documented.
const bool osAcceptedSocketsAreNonBlocking = false;
const bool osAcceptedSocketsInheritNoDelay = false;

} // namespace quorvin
