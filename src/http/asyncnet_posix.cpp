// Socket option names, transient accept errors and address access on POSIX.
#include "http/asyncnet.h"
#include "http/asyncnet_platform.h"

#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

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
    case OptReusePort:
        return {SOL_SOCKET, SO_REUSEADDR};
    case OptNoDelay:
        return {IPPROTO_TCP, TCP_NODELAY};
    }
    return {SOL_SOCKET, SO_REUSEADDR};
}

bool isTransientAcceptError(int code) {
    return code == EMFILE || code == ENFILE || code == ENOBUFS || code == ENOMEM;
}

namespace detail {

const sockaddr* firstAddress(const addrinfo* list, std::int32_t& length) {
    length = static_cast<std::int32_t>(list->ai_addrlen);
    return list->ai_addr;
}

} // namespace detail
} // namespace quorvin
