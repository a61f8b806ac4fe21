// The socket constants from the BSD socket headers.
#include "async/socketconstants.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace quorvin {

#include "async/socketconstants.inc"
// Reuse on POSIX never lets a second socket bind a port that a listener holds.
const int osSoListenerReuseAddr = SO_REUSEADDR;
// accept4 is called with SOCK_NONBLOCK, and Linux copies TCP_NODELAY from the listener.
const bool osAcceptedSocketsAreNonBlocking = true;
const bool osAcceptedSocketsInheritNoDelay = true;

} // namespace quorvin
