// The errors of AcceptEx and of its completions, classified.
#include "async/acceptfailure.h"

#include <winsock2.h>

namespace quorvin {

AcceptFailure classifyAcceptError(int code) {
    switch (code) {
    // ERROR_OPERATION_ABORTED: the listener was closed while AcceptEx waited.
    case WSAENOTSOCK:
    case WSAEINVAL:
    case WSAEBADF:
    case WSAEFAULT:
    case WSAEOPNOTSUPP:
    case WSANOTINITIALISED:
    case ERROR_INVALID_HANDLE:
    case ERROR_OPERATION_ABORTED:
        return AcceptFailure::ListenerGone;
    // How AcceptEx completions report a connection that went wrong before it was handed over.
    case ERROR_CONNECTION_ABORTED:
    case ERROR_NETNAME_DELETED:
    case ERROR_UNEXP_NET_ERR:
    case ERROR_SEM_TIMEOUT:
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case ERROR_PORT_UNREACHABLE:
    case ERROR_CONNECTION_REFUSED:
    case WSAECONNABORTED:
    case WSAECONNRESET:
    case WSAENETRESET:
    case WSAETIMEDOUT:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
    case WSAEDISCON:
        return AcceptFailure::OneConnection;
    default:
        return AcceptFailure::Shortage;
    }
}

} // namespace quorvin
