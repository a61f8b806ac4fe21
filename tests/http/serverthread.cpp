// The server thread of the tests: serve, then a loop that runs until it is told to stop.
#include "serverthread.h"
#include "async/asyncdispatch.h"
#include "async/plainsockets.h"

#include <gtest/gtest.h>

#include <chrono>

namespace quorvin::testing {

namespace {

constexpr auto hangLimit = std::chrono::seconds(20);

} // namespace

bool ServerThread::waitForOpenSockets(std::size_t count, int timeoutMs) const {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (openSockets_ != count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return openSockets_ == count;
}

ServerThread::ServerThread(RequestHandler handler, ServerOptions options) {
    std::future<void> started = ready_.get_future();
    thread_ = std::thread([this, handler = std::move(handler), options = std::move(options)] {
        run(handler, options);
        enter("ended");
        ended_.set_value();
    });
    if (started.wait_for(hangLimit) != std::future_status::ready) {
        ADD_FAILURE() << "the server thread hung while " << phase_.load();
        stop_ = true;
        finish();
        return;
    }
    if (!problem_.empty()) {
        ADD_FAILURE() << problem_;
    }
}

ServerThread::~ServerThread() {
    stop_ = true;
    finish();
    if (!problem_.empty()) {
        ADD_FAILURE() << problem_;
    }
}

void ServerThread::finish() {
    if (!thread_.joinable()) {
        return;
    }
    if (ended_.get_future().wait_for(hangLimit) == std::future_status::ready) {
        thread_.join();
        return;
    }
    ADD_FAILURE() << "the server thread hung while " << phase_.load();
    thread_.detach();
}

void ServerThread::run(RequestHandler handler, ServerOptions options) {
    HttpServer server;
    Future<void> serving;
    try {
        enter("starting the socket library");
        startupSockets();
        enter("opening the listener");
        server = createHttpServer(options.reuseAddress, false, options.maxBodyLength);
        server->timeouts = options.timeouts;
        serving = serve(server, 0, handler, options.address);
        if (serving.failed()) {
            std::rethrow_exception(serving.readError());
        }
        listener_ = server->socket->fd;
        port_ = localPort(listener_);
    } catch (const std::exception& error) {
        problem_ = std::string("server did not start: ") + error.what();
        ready_.set_value();
        return;
    }
    ready_.set_value();
    try {
        while (!stop_) {
            enter("in a loop step");
            runOnce(20);
            openSockets_ = currentDispatcher().handleCount();
        }
        enter("winding down");
        windDown(server);
    } catch (const std::exception& error) {
        problem_ = std::string("the event loop raised: ") + error.what();
    }
}

void ServerThread::windDown(const HttpServer& server) {
    close(server->socket);
    for (const BufferedSocket& socket : adopted_) {
        close(socket);
    }
    adopted_.clear();
    // Connections whose clients have gone end within a few steps; the loop refuses to step once
    // nothing at all is left on it.
    PDispatcher& loop = currentDispatcher();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((loop.handleCount() != 0 || loop.callbackCount() != 0) &&
           std::chrono::steady_clock::now() < deadline) {
        runOnce(10);
    }
    if (loop.handleCount() != 0) {
        problem_ = std::to_string(loop.handleCount()) + " socket(s) still open after shutdown";
    }
}

} // namespace quorvin::testing
