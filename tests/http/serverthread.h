// An HTTP server running on an event loop of its own thread, as the program runs it.
#pragma once

#include "async/sockethandle.h"
#include "http/httpserver.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace quorvin::testing {

struct ServerOptions {
    std::int32_t maxBodyLength = defaultMaxBodyLength;
    bool reuseAddress = true;
    std::string address = "127.0.0.1";
    ConnectionTimeouts timeouts;
};

class ServerThread {
public:
    // Starts serving on an ephemeral port and returns once the listener is open.
    explicit ServerThread(RequestHandler handler, ServerOptions options = {});
    // Closes the listener and every adopted socket, lets the loop wind down and joins the thread.
    // Fails the test if the loop raised or if any socket is still registered afterwards (a
    // connection the server forgot to close).
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    std::uint16_t port() const { return port_; }
    AsyncFD listenerHandle() const { return listener_; }
    // The sockets registered with the server's loop (the listener included), as of its last step.
    std::size_t openSockets() const { return openSockets_; }
    // Waits at most `timeoutMs` for the loop to hold `count` sockets; true once it does.
    bool waitForOpenSockets(std::size_t count, int timeoutMs) const;

    // For handlers, on the loop thread: keeps a socket that the server leaves open (an upgraded
    // connection) until shutdown, when it is closed.
    void adopt(const BufferedSocket& socket) { adopted_.push_back(socket); }

private:
    void run(RequestHandler handler, ServerOptions options);
    void windDown(const HttpServer& server);

    // Where the loop thread is, for the report should it ever hang.
    void enter(const char* phase) { phase_ = phase; }
    // Waits a bounded time for the thread to end; a thread that hangs is reported and left.
    void finish();

    std::promise<void> ready_;
    std::promise<void> ended_;
    std::atomic<const char*> phase_{"starting"};
    std::atomic<bool> stop_{false};
    std::atomic<std::size_t> openSockets_{0};
    std::uint16_t port_ = 0;
    AsyncFD listener_ = osInvalidSocket;
    std::vector<BufferedSocket> adopted_;
    std::string problem_;
    std::thread thread_;
};

} // namespace quorvin::testing
