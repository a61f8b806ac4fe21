// Connection resets with Windows Sockets.
#include "async/loopback.h"

#include <winsock2.h>

namespace quorvin::looptest {

void closeWithReset(SocketHandle handle) {
    linger immediate{1, 0};
    SOCKET socket = static_cast<SOCKET>(handle);
    setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&immediate),
               sizeof immediate);
    closesocket(socket);
}

} // namespace quorvin::looptest
