// The client's socket calls on Windows Sockets.
#include "httpclient.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace quorvin::testing::detail {

namespace {

SOCKET asSocket(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

bool socketsStarted() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

} // namespace

std::intptr_t connectLoopback(std::uint16_t port) {
    if (!socketsStarted()) {
        return -1;
    }
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return -1;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::closesocket(s);
        return -1;
    }
    return static_cast<std::intptr_t>(s);
}

bool sendBytes(std::intptr_t socket, const char* data, std::size_t size) {
    while (size > 0) {
        int piece = size > 65536 ? 65536 : static_cast<int>(size);
        int sent = ::send(asSocket(socket), data, piece, 0);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

long receiveSome(std::intptr_t socket, char* buffer, std::size_t size, int timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(asSocket(socket), &readable);
    timeval limit{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (::select(0, &readable, nullptr, nullptr, &limit) <= 0) {
        return -1;
    }
    int piece = size > 65536 ? 65536 : static_cast<int>(size);
    int count = ::recv(asSocket(socket), buffer, piece, 0);
    return count < 0 ? -1 : static_cast<long>(count);
}

void closeSocket(std::intptr_t socket) {
    ::closesocket(asSocket(socket));
}

std::uint16_t probeFreePort() {
    if (!socketsStarted()) {
        return 0;
    }
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    std::uint16_t port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
        port = ntohs(address.sin_port);
    }
    ::closesocket(s);
    return port;
}

} // namespace quorvin::testing::detail
