// Loopback sockets and loop drivers for the tests of the async runtime and the code built on it.
#pragma once

#include "async/asyncproc.h"
#include "async/sockethandle.h"

#include <cstdint>
#include <functional>
#include <string>

namespace quorvin::looptest {

// A listening socket on 127.0.0.1 with a port chosen by the system, registered with the current
// dispatcher; `port` receives the port.
AsyncFD listenLoopback(std::uint16_t& port);

// A blocking client socket connected to 127.0.0.1:port; the listener's backlog completes the
// connection before anything accepts it.
SocketHandle connectLoopback(std::uint16_t port);

// Makes a plain socket a non-blocking socket registered with the current dispatcher.
AsyncFD adopt(SocketHandle handle);

// Closes the socket so that the peer sees a connection reset.
void closeWithReset(SocketHandle handle);

// A connected loopback pair, both ends registered with the current dispatcher; closes what is
// still open when it goes.
struct LoopbackPair {
    AsyncFD listener = osInvalidSocket;
    AsyncFD server = osInvalidSocket;
    AsyncFD client = osInvalidSocket;
    std::string peer; // the client's address as the accept gave it

    LoopbackPair();
    ~LoopbackPair();
    LoopbackPair(const LoopbackPair&) = delete;
    LoopbackPair& operator=(const LoopbackPair&) = delete;
};

// The message of the exception that the action raises, or "<nothing raised>".
std::string messageOf(const std::function<void()>& action);

// Runs loop steps until `done` holds or `limitMs` have passed; returns `done()`.
bool runUntil(const std::function<bool()>& done, int limitMs = 10000);

template <class T>
bool runUntilFinished(const Future<T>& future, int limitMs = 10000) {
    return runUntil([&] { return future.finished(); }, limitMs);
}

// Runs `body` on a new thread, which starts without a dispatcher, and waits for it. An exception
// that leaves the body is reported as a test failure.
void onFreshThread(const std::function<void()>& body);

// Receives until `size` bytes have arrived or the stream ends.
Future<std::string> recvExactly(AsyncFD fd, std::size_t size);

// Milliseconds of monotonic time since `start` (a monotonicNow() reading).
std::int64_t millisSince(std::int64_t start);

} // namespace quorvin::looptest
