// The errors of accept4, classified.
#include "async/acceptfailure.h"

#include <cerrno>

namespace quorvin {

AcceptFailure classifyAcceptError(int code) {
    switch (code) {
    // ECANCELED: the listener was closed while its accept waited.
    case EBADF:
    case ENOTSOCK:
    case EINVAL:
    case EFAULT:
    case ECANCELED:
        return AcceptFailure::ListenerGone;
    // Linux passes on the network errors already pending on the new connection; a firewall
    // refuses one with EPERM.
    case ECONNABORTED:
    case ECONNRESET:
    case EPROTO:
    case ENETDOWN:
    case ENOPROTOOPT:
    case EHOSTDOWN:
    case ENONET:
    case EHOSTUNREACH:
    case EOPNOTSUPP:
    case ENETUNREACH:
    case ETIMEDOUT:
    case EPERM:
        return AcceptFailure::OneConnection;
    default:
        return AcceptFailure::Shortage;
    }
}

} // namespace quorvin
