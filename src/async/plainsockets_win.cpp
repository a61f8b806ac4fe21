// The plain socket functions on Windows Sockets, and the start of the socket library.
#include "async/plainsockets.h"

#include "async/winsock_win.h"
#include "runtime/errors.h"

#include <mutex>
#include <ws2tcpip.h>

namespace quorvin {

namespace detail {

LPFN_ACCEPTEX acceptEx = nullptr;
LPFN_GETACCEPTEXSOCKADDRS getAcceptExSockaddrs = nullptr;

} // namespace detail

namespace {

using detail::asSocket;

LPFN_CONNECTEX connectEx = nullptr;

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
    fetchExtension(probe, GUID(WSAID_ACCEPTEX), detail::acceptEx);
    fetchExtension(probe, GUID(WSAID_GETACCEPTEXSOCKADDRS), detail::getAcceptExSockaddrs);
    closesocket(probe);
}

} // namespace

void startupSockets() {
    static std::once_flag started;
    std::call_once(started, startSocketLibrary);
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
