// Socket operations over the epoll backend, and the plain socket functions on BSD sockets.
#include "async/iobackend_posix.h"
#include "async/socketcompletion.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvin {

#include "async/socketconstants.inc"
// Reuse on POSIX never lets a second socket bind a port that a listener holds.
const int osSoListenerReuseAddr = SO_REUSEADDR;
// accept4 is called with SOCK_NONBLOCK, and Linux copies TCP_NODELAY from the listener.
const bool osAcceptedSocketsAreNonBlocking = true;
const bool osAcceptedSocketsInheritNoDelay = true;

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

namespace {

using detail::CompletionRecord;
using detail::Direction;
using detail::RecordPtr;

bool wouldBlock(int code) {
    return code == EAGAIN || code == EWOULDBLOCK;
}

RecordPtr makeRecord(AsyncFD fd, CompletionCallback cb,
                     std::function<bool(CompletionRecord&)> attempt) {
    auto record = std::make_unique<CompletionRecord>();
    record->fd = fd;
    record->cb = std::move(cb);
    record->attempt = std::move(attempt);
    return record;
}

// Starts the operation; one that ended at once reports its outcome now. A success is still
// delivered by a later step as well, as the completion port does for its sockets, and finds the
// future finished there.
void start(RecordPtr record, Direction direction) {
    detail::IoBackend& backend = currentDispatcher().backend();
    RecordPtr ended = detail::startOperation(backend, std::move(record), direction);
    if (ended == nullptr) {
        return;
    }
    bool succeeded = ended->error == -1;
    ended->cb(ended->fd, ended->bytes, ended->error);
    if (succeeded) {
        detail::postCompletion(backend, std::move(ended));
    }
}

// The connection taken by accept() until the completion hands it over.
struct AcceptedSocket {
    int fd = -1;
    sockaddr_storage address{};
    ~AcceptedSocket() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

void acceptConnection(const Future<AcceptResult>& future, AcceptedSocket& accepted) {
    int client = std::exchange(accepted.fd, -1);
    detail::completeAccept(future, client, reinterpret_cast<const sockaddr*>(&accepted.address));
}

} // namespace

void startupSockets() {
    // Nothing to start: sends pass MSG_NOSIGNAL, so a closed peer cannot raise SIGPIPE.
}

bool isDisconnectError(SocketFlags flags, std::int32_t code) {
    if (!flags.contains(SocketFlag::IgnoreDisconnect)) {
        return false;
    }
    return code == ENETRESET || code == ECONNABORTED || code == ECONNRESET || code == ESHUTDOWN ||
           code == EPIPE;
}

Future<std::int32_t> recvInto(AsyncFD fd, void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(!flags.contains(SocketFlag::Peek), "SocketFlag.Peek notin flags",
                    "Peek not supported on Windows.");
    assertCondition(size >= 0, "size >= 0");
    Future<std::int32_t> future = makeFuture<std::int32_t>("recvInto");
    auto attempt = [buffer, size](CompletionRecord& record) {
        ssize_t count;
        do {
            count = ::recv(static_cast<int>(record.fd), buffer, static_cast<std::size_t>(size),
                           MSG_DONTWAIT);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            record.drained = wouldBlock(errno);
            if (record.drained) {
                return false;
            }
            record.error = errno;
            return true;
        }
        // The end of the stream stays readable: only a short read of data drains the socket.
        record.drained = count > 0 && count < size;
        record.bytes = static_cast<std::uint32_t>(count);
        return true;
    };
    auto finish = [future, flags](AsyncFD, std::uint32_t bytes, std::int32_t error) {
        detail::finishRecv(future, flags, bytes, error);
    };
    start(makeRecord(fd, detail::cachedCallable(finish), detail::cachedCallable(attempt)),
          Direction::Read);
    return future;
}

Future<void> send(AsyncFD fd, const void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(size >= 0, "size >= 0");
    Future<void> future = makeFuture<void>("send");
    // A partial write leaves the rest for the next readiness edge: the operation ends only when
    // the whole buffer has been handed to the system, or on an error.
    auto attempt = [next = static_cast<const char*>(buffer),
                    left = static_cast<std::size_t>(size)](CompletionRecord& record) mutable {
        while (left > 0) {
            ssize_t count =
                ::send(static_cast<int>(record.fd), next, left, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (wouldBlock(errno)) {
                    return false;
                }
                record.error = errno;
                return true;
            }
            next += count;
            left -= static_cast<std::size_t>(count);
            record.bytes += static_cast<std::uint32_t>(count);
        }
        return true;
    };
    auto finish = [future, flags](AsyncFD, std::uint32_t, std::int32_t error) {
        detail::finishSend(future, flags, error);
    };
    start(makeRecord(fd, detail::cachedCallable(finish), detail::cachedCallable(attempt)),
          Direction::Write);
    return future;
}

Future<AcceptResult> acceptAddr(AsyncFD listener, SocketFlags flags) {
    verifyPresence(listener);
    Future<AcceptResult> future = makeFuture<AcceptResult>("acceptAddr");
    auto accepted = std::make_shared<AcceptedSocket>();
    auto attempt = [accepted](CompletionRecord& record) {
        for (;;) {
            socklen_t length = sizeof accepted->address;
            int client = ::accept4(static_cast<int>(record.fd),
                                   reinterpret_cast<sockaddr*>(&accepted->address), &length,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0) {
                accepted->fd = client;
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (wouldBlock(errno)) {
                return false;
            }
            record.error = errno;
            return true;
        }
    };
    auto finish = [future, accepted, flags](AsyncFD fd, std::uint32_t, std::int32_t error) {
        if (future.finished()) {
            return;
        }
        if (error == -1) {
            acceptConnection(future, *accepted);
        } else {
            detail::failAccept(future, fd, flags, error);
        }
    };
    start(makeRecord(listener, finish, attempt), Direction::Read);
    return future;
}

void closeAsyncSocket(AsyncFD fd) {
    // Unregistered first, so that operations still waiting on the socket are ended (aborted)
    // before its descriptor number can be reused.
    unregisterHandle(fd);
    ::close(static_cast<int>(fd));
}

void shutdownSending(AsyncFD fd) {
    ::shutdown(static_cast<int>(fd), SHUT_WR);
}

void cancelPendingReceive(AsyncFD fd) {
    detail::cancelWaitingReaders(currentDispatcher().backend(), fd);
}

SocketHandle createOsSocket(int family, int type, int protocol) {
    int handle = ::socket(family, type | SOCK_CLOEXEC, protocol);
    return handle < 0 ? osInvalidSocket : handle;
}

void closeOsSocket(SocketHandle handle) {
    ::close(static_cast<int>(handle));
}

void setBlocking(SocketHandle handle, bool blocking) {
    int mode = blocking ? 0 : 1;
    if (::ioctl(static_cast<int>(handle), FIONBIO, &mode) == -1) {
        throw lastOsError();
    }
}

void setSockOptInt(SocketHandle handle, int level, int option, int value) {
    if (::setsockopt(static_cast<int>(handle), level, option, &value, sizeof value) < 0) {
        throw lastOsError();
    }
}

addrinfo* getAddrInfo(const std::string& address, std::uint16_t port, int family, int type,
                      int protocol) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = type;
    hints.ai_protocol = protocol;
    hints.ai_flags = family == AF_INET6 ? AI_V4MAPPED : 0;
    std::string service = std::to_string(port);
    addrinfo* result = nullptr;
    int status = ::getaddrinfo(address.c_str(), type == SOCK_RAW ? nullptr : service.c_str(),
                               &hints, &result);
    if (status != 0) {
        if (status == EAI_SYSTEM) {
            throw lastOsError();
        }
        throw OSError(status, gai_strerror(status));
    }
    return result;
}

void freeAddrInfo(addrinfo* list) {
    if (list != nullptr) {
        ::freeaddrinfo(list);
    }
}

const sockaddr* firstAddress(const addrinfo* list) {
    return list->ai_addr;
}

std::int32_t firstAddressLength(const addrinfo* list) {
    return static_cast<std::int32_t>(list->ai_addrlen);
}

int bindSocket(SocketHandle handle, const sockaddr* address, std::int32_t length) {
    return ::bind(static_cast<int>(handle), address, static_cast<socklen_t>(length));
}

int listenSocket(SocketHandle handle, int backlog) {
    return ::listen(static_cast<int>(handle), backlog);
}

int connectSocket(SocketHandle handle, const sockaddr* address, std::int32_t length) {
    return ::connect(static_cast<int>(handle), address, static_cast<socklen_t>(length));
}

std::uint16_t localPort(SocketHandle handle) {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), &length) !=
        0) {
        throw lastOsError();
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

namespace {

// Dotted decimal, written directly: inet_ntop formats it with sprintf, a cost every accepted
// connection would pay.
std::string dottedQuad(const in_addr& address) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&address.s_addr);
    std::string text;
    text.reserve(15);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            text += '.';
        }
        const unsigned value = bytes[i];
        if (value >= 100) {
            text += static_cast<char>('0' + value / 100);
        }
        if (value >= 10) {
            text += static_cast<char>('0' + value / 10 % 10);
        }
        text += static_cast<char>('0' + value % 10);
    }
    return text;
}

} // namespace

std::string getAddrString(const sockaddr* address) {
    char text[46] = {};
    if (address->sa_family == AF_INET) {
        return dottedQuad(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    }
    if (address->sa_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) == nullptr) {
            throw lastOsError();
        }
        return text;
    }
    throw IOError("Unknown socket family in getAddrString");
}

} // namespace quorvin
