// Feeds arbitrary bytes to the connection loop over a real socket pair, with a small handler,
// and checks that every connection ends, closes its socket and leaves nothing on the loop.
#include "http/asynchttpserver.h"

#include "async/asyncdispatch.h"
#include "async/asyncproc.h"
#include "async/asyncsockets.h"
#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "runtime/errors.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quorvin;

namespace {

// Answers with the body's length; a few paths fail, stay silent or answer twice.
Future<void> fuzzHandler(Request request) {
    co_await procedureName("fuzzHandler");
    if (request.url.path == "/fail") {
        throw IOError("handler failure");
    }
    if (request.url.path == "/silent") {
        co_return;
    }
    if (request.url.path == "/twice") {
        respond(request, 200, "first");
    }
    co_await respond(request, 200, std::to_string(request.body.size()),
                     makeHeaderTable({{"Content-Type", "text/plain"}}));
}

[[noreturn]] void fault(const char* what) {
    std::fprintf(stderr, "request fuzzer: %s\n", what);
    std::abort();
}

void setNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool started = (startupSockets(), true);
    (void)started;
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0) {
        fault("no socket pair");
    }
    // The peer end is registered too, so that the loop always has a socket to wait on.
    setNonBlocking(pair[1]);
    registerHandle(pair[0]);
    registerHandle(pair[1]);
    BufferedSocket connection =
        createBufferedSocket(pair[0], osAfInet, osSockStream, osIpprotoTcp, true);
    HttpServer server = createHttpServer(true, false, 4096);
    Future<void> serving = processClient(server, connection, "127.0.0.1", fuzzHandler);

    std::size_t written = 0;
    bool shut = false;
    char sink[8192];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!serving.finished()) {
        if (std::chrono::steady_clock::now() > deadline) {
            fault("the connection did not end after its input did");
        }
        if (written < size) {
            const ssize_t n = ::send(pair[1], data + written, size - written, MSG_NOSIGNAL);
            if (n > 0) {
                written += static_cast<std::size_t>(n);
            }
        } else if (!shut) {
            ::shutdown(pair[1], SHUT_WR);
            shut = true;
        }
        while (::recv(pair[1], sink, sizeof sink, MSG_DONTWAIT) > 0) {
        }
        runOnce(0);
    }
    // Only an upgraded connection is left open by the server, for its handler to use.
    close(connection);
    closeAsyncSocket(pair[1]);
    for (int i = 0; i < 4 && currentDispatcher().callbackCount() != 0; ++i) {
        runOnce(0);
    }
    if (currentDispatcher().handleCount() != 0) {
        fault("a socket was left registered");
    }
    return 0;
}
