// Socket option names, transient accept errors and address access on Windows Sockets.
#include "http/asyncnet.h"
#include "http/asyncnet_platform.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace quorvin {

NativeSocketOption nativeSocketOption(SocketOption option) {
    switch (option) {
    case OptAcceptConn:
        return {SOL_SOCKET, SO_ACCEPTCONN};
    case OptBroadcast:
        return {SOL_SOCKET, SO_BROADCAST};
    case OptDebug:
        return {SOL_SOCKET, SO_DEBUG};
    case OptDontRoute:
        return {SOL_SOCKET, SO_DONTROUTE};
    case OptKeepAlive:
        return {SOL_SOCKET, SO_KEEPALIVE};
    case OptOOBInline:
        return {SOL_SOCKET, SO_OOBINLINE};
    case OptReuseAddr:
        // SO_REUSEADDR here would let another socket bind the same port and steal its traffic.
        return {SOL_SOCKET, SO_EXCLUSIVEADDRUSE};
    case OptReusePort:
        return {SOL_SOCKET, SO_REUSEADDR};
    case OptNoDelay:
        return {IPPROTO_TCP, TCP_NODELAY};
    }
    return {SOL_SOCKET, SO_EXCLUSIVEADDRUSE};
}

bool isTransientAcceptError(int code) {
    return code == WSAEMFILE || code == WSAENOBUFS || code == ERROR_NOT_ENOUGH_MEMORY ||
           code == ERROR_OUTOFMEMORY || code == ERROR_NO_SYSTEM_RESOURCES;
}

namespace detail {

const sockaddr* firstAddress(const addrinfo* list, std::int32_t& length) {
    length = static_cast<std::int32_t>(list->ai_addrlen);
    return list->ai_addr;
}

} // namespace detail
} // namespace quorvin
