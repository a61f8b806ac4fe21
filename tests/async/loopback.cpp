// Loopback sockets and loop drivers shared by the tests.
#include "async/loopback.h"
#include "async/asyncdispatch.h"
#include "async/asyncsockets.h"
#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "runtime/clock.h"

#include <gtest/gtest.h>

#include <thread>
#include <tuple>

namespace quorvin::looptest {

AsyncFD listenLoopback(std::uint16_t& port) {
    AsyncFD listener = createAsyncSocketHandle(osAfInet, osSockStream, osIpprotoTcp);
    if (listener == osInvalidSocket) {
        throw lastOsError();
    }
    addrinfo* address = getAddrInfo("127.0.0.1", 0, osAfInet, osSockStream, osIpprotoTcp);
    int bound = bindSocket(listener, firstAddress(address), firstAddressLength(address));
    freeAddrInfo(address);
    if (bound != 0 || listenSocket(listener, osSomaxconn) != 0) {
        int code = lastOsErrorCode();
        closeAsyncSocket(listener);
        throw OSError(code);
    }
    port = localPort(listener);
    return listener;
}

SocketHandle connectLoopback(std::uint16_t port) {
    SocketHandle client = createOsSocket(osAfInet, osSockStream, osIpprotoTcp);
    if (client == osInvalidSocket) {
        throw lastOsError();
    }
    addrinfo* address = getAddrInfo("127.0.0.1", port, osAfInet, osSockStream, osIpprotoTcp);
    int connected = connectSocket(client, firstAddress(address), firstAddressLength(address));
    freeAddrInfo(address);
    if (connected != 0) {
        int code = lastOsErrorCode();
        closeOsSocket(client);
        throw OSError(code);
    }
    return client;
}

AsyncFD adopt(SocketHandle handle) {
    setBlocking(handle, false);
    registerHandle(handle);
    return handle;
}

LoopbackPair::LoopbackPair() {
    std::uint16_t port = 0;
    listener = listenLoopback(port);
    client = adopt(connectLoopback(port));
    Future<AcceptResult> accepted = acceptAddr(listener);
    runUntilFinished(accepted);
    std::tie(peer, server) = accepted.read();
}

LoopbackPair::~LoopbackPair() {
    for (AsyncFD fd : {client, server, listener}) {
        if (fd != osInvalidSocket) {
            closeAsyncSocket(fd);
        }
    }
}

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "<nothing raised>";
}

bool runUntil(const std::function<bool()>& done, int limitMs) {
    const std::int64_t start = monotonicNow();
    while (!done() && millisSince(start) < limitMs) {
        runOnce(50);
    }
    return done();
}

void onFreshThread(const std::function<void()>& body) {
    std::thread thread([&body] {
        try {
            body();
        } catch (const OSError& error) {
            ADD_FAILURE() << "OSError " << error.code() << " left the test body: " << error.what();
        } catch (const std::exception& error) {
            ADD_FAILURE() << "exception left the test body: " << error.what();
        }
    });
    thread.join();
}

Future<std::string> recvExactly(AsyncFD fd, std::size_t size) {
    co_await procedureName("recvExactly");
    std::string data(size, '\0');
    std::size_t filled = 0;
    while (filled < size) {
        std::int32_t chunk = static_cast<std::int32_t>(std::min<std::size_t>(size - filled, 65536));
        std::int32_t count = co_await recvInto(fd, data.data() + filled, chunk);
        if (count == 0) {
            break;
        }
        filled += static_cast<std::size_t>(count);
    }
    data.resize(filled);
    co_return data;
}

std::int64_t millisSince(std::int64_t start) {
    return (monotonicNow() - start) / 1'000'000;
}

} // namespace quorvin::looptest
