// The asynchronous socket operations as overlapped Windows Sockets calls.
#include "async/asyncsockets.h"

#include "async/completionrecord_win.h"
#include "async/plainsockets.h"
#include "async/socketcompletion.h"
#include "async/winsock_win.h"

#include <array>

namespace quorvin {

namespace {

using detail::acceptEx;
using detail::asSocket;
using detail::getAcceptExSockaddrs;
using detail::OperationRef;

// The address lengths AcceptEx needs: the largest socket address (IPv6, 28 bytes) plus 16.
constexpr DWORD acceptAddressLength = 44;
constexpr std::size_t acceptBufferSize = 1024;

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

bool hasUnreadBytes(AsyncFD fd) {
    u_long waiting = 0;
    return ioctlsocket(asSocket(fd), FIONREAD, &waiting) == 0 && waiting > 0;
}

void cancelPendingReceive(AsyncFD fd) {
    detail::cancelReceive(currentDispatcher().backend(), fd);
}

} // namespace quorvin
