// The test client over POSIX sockets.
#include "testclient.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <string>

namespace quorvin::testing {

TestClient::TestClient(std::uint16_t port) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (socket_ < 0 || ::connect(static_cast<int>(socket_), reinterpret_cast<sockaddr*>(&address),
                                 sizeof address) != 0) {
        ADD_FAILURE() << "connect to port " << port << " failed: errno " << errno;
        close();
    }
}

TestClient::~TestClient() {
    close();
}

bool TestClient::connected() const {
    return socket_ >= 0;
}

void TestClient::sendAll(std::string_view data) {
    while (!data.empty() && socket_ >= 0) {
        const ssize_t sent =
            ::send(static_cast<int>(socket_), data.data(), data.size(), MSG_NOSIGNAL);
        if (sent <= 0) {
            ADD_FAILURE() << "send failed: errno " << errno;
            return;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

long TestClient::receiveSome(char* buffer, std::size_t size, int timeoutMs) {
    if (socket_ < 0) {
        return -1;
    }
    pollfd entry{static_cast<int>(socket_), POLLIN, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) {
        return -1;
    }
    const ssize_t got = ::recv(static_cast<int>(socket_), buffer, size, 0);
    return got < 0 ? (errno == ECONNRESET ? 0 : -1) : static_cast<long>(got);
}

long TestClient::sendSome(const char* data, std::size_t size, int timeoutMs) {
    if (socket_ < 0) {
        return -1;
    }
    pollfd entry{static_cast<int>(socket_), POLLOUT, 0};
    if (::poll(&entry, 1, timeoutMs) <= 0) {
        return -1;
    }
    const ssize_t sent = ::send(static_cast<int>(socket_), data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    return sent < 0 ? -1 : static_cast<long>(sent);
}

void TestClient::abortConnection() {
    if (socket_ >= 0) {
        linger option{1, 0};
        ::setsockopt(static_cast<int>(socket_), SOL_SOCKET, SO_LINGER, &option, sizeof option);
    }
    close();
}

void TestClient::close() {
    if (socket_ >= 0) {
        ::close(static_cast<int>(socket_));
        socket_ = -1;
    }
}

void TestClient::shutdownWrite() {
    if (socket_ >= 0) {
        ::shutdown(static_cast<int>(socket_), SHUT_WR);
    }
}

std::string localAddressOf(std::intptr_t handle) {
    sockaddr_in address{};
    socklen_t length = sizeof address;
    ::getsockname(static_cast<int>(handle), reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

int socketOptionValue(std::intptr_t handle, int level, int name) {
    int value = 0;
    socklen_t length = sizeof value;
    if (::getsockopt(static_cast<int>(handle), level, name, &value, &length) != 0) {
        return -1;
    }
    return value;
}

namespace {

// A "Name:   123 kB" figure of /proc/self/status, in bytes.
long long statusFigure(const std::string& name) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(name + ":", 0) == 0) {
            return std::stoll(line.substr(name.size() + 1)) * 1024;
        }
    }
    return -1;
}

} // namespace

long long residentBytes() {
    return statusFigure("VmRSS");
}

long long peakResidentBytes() {
    return statusFigure("VmHWM");
}

int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

} // namespace quorvin::testing
