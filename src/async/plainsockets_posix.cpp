// The plain socket functions on BSD sockets.
#include "async/plainsockets.h"

#include "runtime/errors.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvin {

void startupSockets() {
    // Nothing to start: sends pass MSG_NOSIGNAL, so a closed peer cannot raise SIGPIPE.
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
