// The platform-neutral parts of the test client.
#include "testclient.h"

#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "async/sockethandle.h"

#include <chrono>

namespace quorvin::testing {

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

std::string TestClient::receive(std::size_t count, int timeoutMs) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    while (out.size() < count) {
        const long got = receiveSome(
            buffer, sizeof buffer < count - out.size() ? sizeof buffer : count - out.size(),
            remainingMs(deadline));
        if (got <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

std::size_t TestClient::sendFor(std::string_view data, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t sent = 0;
    while (sent < data.size()) {
        const long count = sendSome(data.data() + sent, data.size() - sent, remainingMs(deadline));
        if (count <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(count);
    }
    return sent;
}

bool TestClient::receiveUntilClosed(std::string& out, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        const long got = receiveSome(buffer, sizeof buffer, remainingMs(deadline));
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

namespace {

// A blocking IPv4 socket and the loopback address with `port`; calls `use` and closes the socket.
template <class Use>
auto withLoopbackSocket(std::uint16_t port, Use use) -> decltype(use(SocketHandle{}, nullptr)) {
    startupSockets();
    SocketHandle handle = createOsSocket(osAfInet, osSockStream, osIpprotoTcp);
    if (handle == osInvalidSocket) {
        return {};
    }
    addrinfo* address = getAddrInfo("127.0.0.1", port, osAfInet, osSockStream, osIpprotoTcp);
    auto result = use(handle, address);
    freeAddrInfo(address);
    closeOsSocket(handle);
    return result;
}

} // namespace

bool canConnect(std::uint16_t port) {
    return withLoopbackSocket(port, [](SocketHandle handle, addrinfo* address) {
        return connectSocket(handle, firstAddress(address), firstAddressLength(address)) == 0;
    });
}

std::uint16_t probeFreePort() {
    return withLoopbackSocket(0, [](SocketHandle handle, addrinfo* address) -> std::uint16_t {
        if (bindSocket(handle, firstAddress(address), firstAddressLength(address)) != 0) {
            return 0;
        }
        return localPort(handle);
    });
}

bool TestClient::staysOpenAndSilent(int waitMs) {
    char byte;
    return receiveSome(&byte, 1, waitMs) < 0;
}

} // namespace quorvin::testing
