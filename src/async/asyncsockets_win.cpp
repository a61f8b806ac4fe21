// Socket operations as overlapped Windows Sockets calls, and the plain socket functions.
#include "async/completionrecord_win.h"
#include "async/socketcompletion.h"

#include <array>
#include <mswsock.h>
#include <mutex>
#include <ws2tcpip.h>

namespace quorvin {

#include "async/socketconstants.inc"
// SO_REUSEADDR here would let another socket bind the same port and steal its traffic.
const int osSoListenerReuseAddr = SO_EXCLUSIVEADDRUSE;
// The socket that AcceptEx fills is created plain, and which options it takes over from the
// listener is not documented.
const bool osAcceptedSocketsAreNonBlocking = false;
const bool osAcceptedSocketsInheritNoDelay = false;

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

namespace {

using detail::OperationRef;

// Fetched once at start-up, read-only afterwards.
LPFN_CONNECTEX connectEx = nullptr;
LPFN_ACCEPTEX acceptEx = nullptr;
LPFN_GETACCEPTEXSOCKADDRS getAcceptExSockaddrs = nullptr;

// The address lengths AcceptEx needs: the largest socket address (IPv6, 28 bytes) plus 16.
constexpr DWORD acceptAddressLength = 44;
constexpr std::size_t acceptBufferSize = 1024;

SOCKET asSocket(SocketHandle handle) {
    return static_cast<SOCKET>(handle);
}

template <class Function>
void fetchExtension(SOCKET socket, GUID id, Function& function) {
    DWORD bytes = 0;
    if (WSAIoctl(socket, SIO_GET_EXTENSION_FUNCTION_POINTER, &id, sizeof id, &function,
                 sizeof function, &bytes, nullptr, nullptr) != 0) {
        int code = WSAGetLastError();
        closesocket(socket);
        throw OSError(code);
    }
}

void startSocketLibrary() {
    WSADATA data;
    int status = WSAStartup(0x0101, &data);
    if (status != 0) {
        throw OSError(status);
    }
    SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (probe == INVALID_SOCKET) {
        throw OSError(WSAGetLastError());
    }
    fetchExtension(probe, GUID(WSAID_CONNECTEX), connectEx);
    fetchExtension(probe, GUID(WSAID_ACCEPTEX), acceptEx);
    fetchExtension(probe, GUID(WSAID_GETACCEPTEXSOCKADDRS), getAcceptExSockaddrs);
    closesocket(probe);
}

void failAcceptAttempt(const Future<AcceptResult>& future, AsyncFD listener, SocketHandle client,
                       SocketFlags flags, std::int32_t code) {
    closeOsSocket(client);
    // Some socket providers report a connection that was reset before it was accepted as
    // ERROR_UNEXP_NET_ERR rather than ERROR_NETNAME_DELETED. It concerns only that connection:
    // the listener must go on accepting.
    if (code == ERROR_UNEXP_NET_ERR) {
        code = ERROR_NETNAME_DELETED;
    }
    detail::failAccept(future, listener, flags, code);
}

void acceptConnection(const Future<AcceptResult>& future, AsyncFD listener, SocketHandle client,
                      char* buffer, SocketFlags flags) {
    SOCKET listening = asSocket(listener);
    if (setsockopt(asSocket(client), SOL_SOCKET, SO_UPDATE_ACCEPT_CONTEXT,
                   reinterpret_cast<const char*>(&listening), sizeof listening) != 0) {
        failAcceptAttempt(future, listener, client, flags, WSAGetLastError());
        return;
    }
    sockaddr* local = nullptr;
    sockaddr* remote = nullptr;
    int localLength = 0;
    int remoteLength = 0;
    getAcceptExSockaddrs(buffer, 0, acceptAddressLength, acceptAddressLength, &local, &localLength,
                         &remote, &remoteLength);
    detail::completeAccept(future, client, remote);
}

} // namespace

void startupSockets() {
    static std::once_flag started;
    std::call_once(started, startSocketLibrary);
}

bool isDisconnectError(SocketFlags flags, std::int32_t code) {
    if (!flags.contains(SocketFlag::IgnoreDisconnect)) {
        return false;
    }
    return code == WSAENETRESET || code == WSAECONNABORTED || code == WSAECONNRESET ||
           code == WSAEDISCON || code == ERROR_NETNAME_DELETED;
}

Future<std::int32_t> recvInto(AsyncFD fd, void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(!flags.contains(SocketFlag::Peek), "SocketFlag.Peek notin flags",
                    "Peek not supported on Windows.");
    assertCondition(size >= 0, "size >= 0");
    Future<std::int32_t> future = makeFuture<std::int32_t>("recvInto");
    OperationRef operation(fd, [future, flags](AsyncFD, std::uint32_t bytes, std::int32_t error) {
        detail::finishRecv(future, flags, bytes, error);
    });
    WSABUF descriptor{static_cast<ULONG>(size), static_cast<CHAR*>(buffer)};
    DWORD received = 0;
    DWORD recvFlags = 0;
    int result = WSARecv(asSocket(fd), &descriptor, 1, &received, &recvFlags,
                         operation.overlapped(), nullptr);
    if (result == SOCKET_ERROR) {
        int code = WSAGetLastError();
        if (code != WSA_IO_PENDING) {
            operation.dropPending();
            if (isDisconnectError(flags, code)) {
                future.complete(0);
            } else {
                future.fail(OSError(code));
            }
        }
    } else if (result == 0 && received != 0) {
        assertCondition(received <= static_cast<DWORD>(size), "bytesReceived <= size");
        future.complete(static_cast<std::int32_t>(received));
    } else if (result == 0 && operation.record().overlapped.Internal != STATUS_PENDING) {
        future.complete(0);
    }
    if (!future.finished()) {
        // Under way: its completion arrives through the port.
        detail::trackReceive(currentDispatcher().backend(), operation.record());
    }
    return future;
}

Future<void> send(AsyncFD fd, const void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(size >= 0, "size >= 0");
    Future<void> future = makeFuture<void>("send");
    OperationRef operation(fd, [future, flags](AsyncFD, std::uint32_t, std::int32_t error) {
        detail::finishSend(future, flags, error);
    });
    WSABUF descriptor{static_cast<ULONG>(size), static_cast<CHAR*>(const_cast<void*>(buffer))};
    DWORD sent = 0;
    int result = WSASend(asSocket(fd), &descriptor, 1, &sent, 0, operation.overlapped(), nullptr);
    if (result == SOCKET_ERROR) {
        int code = WSAGetLastError();
        if (code == WSA_IO_PENDING) {
            return future;
        }
        operation.dropPending();
        if (isDisconnectError(flags, code)) {
            future.complete();
        } else {
            future.fail(OSError(code));
        }
        return future;
    }
    future.complete();
    return future;
}

Future<AcceptResult> acceptAddr(AsyncFD listener, SocketFlags flags) {
    verifyPresence(listener);
    Future<AcceptResult> future = makeFuture<AcceptResult>("acceptAddr");
    SocketHandle client = createOsSocket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (client == osInvalidSocket) {
        throw lastOsError();
    }
    auto buffer = std::make_shared<std::array<char, acceptBufferSize>>();
    OperationRef operation(
        listener, [future, client, buffer, flags](AsyncFD fd, std::uint32_t, std::int32_t error) {
            if (future.finished()) {
                return;
            }
            if (error == -1) {
                acceptConnection(future, fd, client, buffer->data(), flags);
            } else {
                failAcceptAttempt(future, fd, client, flags, error);
            }
        });
    DWORD received = 0;
    if (acceptEx(asSocket(listener), asSocket(client), buffer->data(), 0, acceptAddressLength,
                 acceptAddressLength, &received, operation.overlapped())) {
        acceptConnection(future, listener, client, buffer->data(), flags);
        return future;
    }
    int code = WSAGetLastError();
    if (code == ERROR_IO_PENDING) {
        return future;
    }
    operation.dropPending();
    failAcceptAttempt(future, listener, client, flags, code);
    return future;
}

void closeAsyncSocket(AsyncFD fd) {
    closesocket(asSocket(fd));
    unregisterHandle(fd);
}

void shutdownSending(AsyncFD fd) {
    shutdown(asSocket(fd), SD_SEND);
}

void cancelPendingReceive(AsyncFD fd) {
    detail::cancelReceive(currentDispatcher().backend(), fd);
}

SocketHandle createOsSocket(int family, int type, int protocol) {
    // Sockets need the library started; a program that has not done so yet gets it here.
    startupSockets();
    SOCKET handle = socket(family, type, protocol);
    return handle == INVALID_SOCKET ? osInvalidSocket : static_cast<SocketHandle>(handle);
}

void closeOsSocket(SocketHandle handle) {
    closesocket(asSocket(handle));
}

void setBlocking(SocketHandle handle, bool blocking) {
    u_long mode = blocking ? 0 : 1;
    if (ioctlsocket(asSocket(handle), FIONBIO, &mode) == -1) {
        throw lastOsError();
    }
}

void setSockOptInt(SocketHandle handle, int level, int option, int value) {
    if (setsockopt(asSocket(handle), level, option, reinterpret_cast<const char*>(&value),
                   sizeof value) < 0) {
        throw lastOsError();
    }
}

addrinfo* getAddrInfo(const std::string& address, std::uint16_t port, int family, int type,
                      int protocol) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = type;
    hints.ai_protocol = protocol;
    // The service is always a decimal port.
    hints.ai_flags = family == AF_INET6 ? AI_NUMERICSERV : 0;
    std::string service = type == SOCK_RAW ? std::string() : std::to_string(port);
    startupSockets();
    addrinfo* result = nullptr;
    int status = getaddrinfo(address.c_str(), service.c_str(), &hints, &result);
    if (status != 0) {
        throw OSError(status);
    }
    return result;
}

void freeAddrInfo(addrinfo* list) {
    if (list != nullptr) {
        freeaddrinfo(list);
    }
}

const sockaddr* firstAddress(const addrinfo* list) {
    return list->ai_addr;
}

std::int32_t firstAddressLength(const addrinfo* list) {
    return static_cast<std::int32_t>(list->ai_addrlen);
}

int bindSocket(SocketHandle handle, const sockaddr* address, std::int32_t length) {
    return bind(asSocket(handle), address, length);
}

int listenSocket(SocketHandle handle, int backlog) {
    return listen(asSocket(handle), backlog);
}

int connectSocket(SocketHandle handle, const sockaddr* address, std::int32_t length) {
    return connect(asSocket(handle), address, length);
}

std::uint16_t localPort(SocketHandle handle) {
    sockaddr_storage address{};
    int length = sizeof address;
    if (getsockname(asSocket(handle), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw lastOsError();
    }
    if (address.ss_family == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port);
}

std::string getAddrString(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        return inet_ntoa(reinterpret_cast<const sockaddr_in*>(address)->sin_addr);
    }
    if (address->sa_family == AF_INET6) {
        char text[46] = {};
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(address);
        if (inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text) == nullptr) {
            throw lastOsError();
        }
        return text;
    }
    throw IOError("Unknown socket family in getAddrString");
}

} // namespace quorvin
