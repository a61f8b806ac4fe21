// The test client over Windows Sockets.
#include "testclient.h"

#include <gtest/gtest.h>

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

#include <psapi.h>

namespace quorvin::testing {

namespace {

constexpr std::intptr_t closedSocket = -1;

SOCKET native(std::intptr_t handle) {
    return static_cast<SOCKET>(handle);
}

} // namespace

TestClient::TestClient(std::uint16_t port)
    : socket_(static_cast<std::intptr_t>(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP))) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (native(socket_) == INVALID_SOCKET ||
        ::connect(native(socket_), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ADD_FAILURE() << "connect to port " << port << " failed: " << WSAGetLastError();
        close();
    }
}

TestClient::~TestClient() {
    close();
}

bool TestClient::connected() const {
    return socket_ != closedSocket;
}

void TestClient::sendAll(std::string_view data) {
    while (!data.empty() && connected()) {
        const int sent = ::send(native(socket_), data.data(), static_cast<int>(data.size()), 0);
        if (sent <= 0) {
            ADD_FAILURE() << "send failed: " << WSAGetLastError();
            return;
        }
        data.remove_prefix(static_cast<std::size_t>(sent));
    }
}

long TestClient::sendSome(const char* data, std::size_t size, int timeoutMs) {
    if (!connected()) {
        return -1;
    }
    WSAPOLLFD entry{native(socket_), POLLWRNORM, 0};
    if (::WSAPoll(&entry, 1, timeoutMs) <= 0) {
        return -1;
    }
    // Non-blocking for this one call: the poll says there is room, not how much.
    u_long nonBlocking = 1;
    ::ioctlsocket(native(socket_), FIONBIO, &nonBlocking);
    const int sent = ::send(native(socket_), data, static_cast<int>(size), 0);
    nonBlocking = 0;
    ::ioctlsocket(native(socket_), FIONBIO, &nonBlocking);
    return sent < 0 ? -1 : static_cast<long>(sent);
}

long TestClient::receiveSome(char* buffer, std::size_t size, int timeoutMs) {
    if (!connected()) {
        return -1;
    }
    WSAPOLLFD entry{native(socket_), POLLRDNORM, 0};
    if (::WSAPoll(&entry, 1, timeoutMs) <= 0) {
        return -1;
    }
    const int got = ::recv(native(socket_), buffer, static_cast<int>(size), 0);
    if (got < 0) {
        return WSAGetLastError() == WSAECONNRESET ? 0 : -1;
    }
    return got;
}

void TestClient::abortConnection() {
    if (connected()) {
        linger option{1, 0};
        ::setsockopt(native(socket_), SOL_SOCKET, SO_LINGER, reinterpret_cast<char*>(&option),
                     sizeof option);
    }
    close();
}

void TestClient::close() {
    if (connected()) {
        ::closesocket(native(socket_));
        socket_ = closedSocket;
    }
}

void TestClient::shutdownWrite() {
    if (connected()) {
        ::shutdown(native(socket_), SD_SEND);
    }
}

std::string localAddressOf(std::intptr_t handle) {
    sockaddr_in address{};
    int length = sizeof address;
    ::getsockname(native(handle), reinterpret_cast<sockaddr*>(&address), &length);
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return text;
}

int socketOptionValue(std::intptr_t handle, int level, int name) {
    int value = 0;
    int length = sizeof value;
    if (::getsockopt(native(handle), level, name, reinterpret_cast<char*>(&value), &length) != 0) {
        return -1;
    }
    // Some options (TCP_NODELAY) come back as one byte; the rest of the int is not written.
    return length == 1 ? (value & 0xFF) : value;
}

namespace {

PROCESS_MEMORY_COUNTERS memoryCounters() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!K32GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        counters.WorkingSetSize = 0;
        counters.PeakWorkingSetSize = 0;
    }
    return counters;
}

long long figureOrNone(SIZE_T bytes) {
    return bytes == 0 ? -1 : static_cast<long long>(bytes);
}

} // namespace

long long residentBytes() {
    return figureOrNone(memoryCounters().WorkingSetSize);
}

long long peakResidentBytes() {
    return figureOrNone(memoryCounters().PeakWorkingSetSize);
}

int openDescriptorCount() {
    return -1;
}

} // namespace quorvin::testing
