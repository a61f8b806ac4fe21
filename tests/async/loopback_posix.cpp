// Connection resets with BSD sockets.
#include "async/loopback.h"

#include <sys/socket.h>
#include <unistd.h>

namespace quorvin::looptest {

void closeWithReset(SocketHandle handle) {
    linger immediate{1, 0};
    setsockopt(static_cast<int>(handle), SOL_SOCKET, SO_LINGER, &immediate, sizeof immediate);
    ::close(static_cast<int>(handle));
}

} // namespace quorvin::looptest
