// The listener and the connection loop.
#include "http/httpserver.h"

#include "async/acceptfailure.h"
#include "async/asyncdispatch.h"
#include "async/asyncproc.h"
#include "async/socketconstants.h"
#include "http/requestreader.h"
#include "http/uri.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace quorvin {

namespace {

// Responses leave as soon as they are written. Under Nagle's rule a response that follows another
// before the client has acknowledged it waits for the client's delayed acknowledgement (tens of
// milliseconds), which stalls every pipelined request after the first. Set on the listener, the
// option reaches every accepted socket where the system copies it.
void sendWithoutDelay(const BufferedSocket& socket) {
    try {
        setSocketOption(socket, OptNoDelay, true);
    } catch (const OSError&) {
        // Only slower: the connection is served all the same.
    }
}

// Creates, configures, binds and listens; the socket is closed again if any step fails.
void openListener(const HttpServerObject& server, std::uint16_t port, const std::string& address) {
    const BufferedSocket& socket = server.socket;
    try {
        if (server.reuseAddress) {
            setSocketOption(socket, OptReuseAddr, true);
        }
        if (server.reusePort) {
            setSocketOption(socket, OptReusePort, true);
        }
        if (osAcceptedSocketsInheritNoDelay) {
            sendWithoutDelay(socket);
        }
        bindAddr(socket, port, address);
        listen(socket);
    } catch (...) {
        close(socket);
        throw;
    }
}

} // namespace

HttpServer createHttpServer(bool reuseAddress, bool reusePort, std::int32_t maxBodyLength) {
    auto server = std::make_shared<HttpServerObject>();
    server->reuseAddress = reuseAddress;
    server->reusePort = reusePort;
    server->maxBodyLength = maxBodyLength;
    return server;
}

Future<void> serve(HttpServer server, std::uint16_t port, RequestHandler handler,
                   std::string address) {
    co_await procedureName("serve");
    server->socket = createBufferedSocket(osAfInet, osSockStream, osIpprotoTcp, true);
    openListener(*server, port, address);
    for (;;) {
        std::pair<std::string, BufferedSocket> accepted;
        std::optional<AcceptFailure> failure;
        try {
            accepted = co_await acceptAddr(server->socket);
        } catch (const OSError& error) {
            failure = classifyAcceptError(error.code());
            if (*failure == AcceptFailure::ListenerGone) {
                throw;
            }
        }
        if (failure == AcceptFailure::Shortage) {
            // Out of descriptors or buffers: the waiting connection stays queued while the
            // connections being served finish and free some. Retrying at once would only spin.
            co_await sleepAsync(acceptPauseMs);
        }
        if (failure) {
            continue; // a failure of one connection: the next is accepted at once
        }
        if (!osAcceptedSocketsInheritNoDelay) {
            sendWithoutDelay(accepted.second);
        }
        // Not awaited: each connection runs on its own, and its failures end only itself.
        processClient(server, std::move(accepted.second), std::move(accepted.first), handler);
    }
}

void takeOverConnection(const Request& request) {
    request.client->takenOver = true;
}

Future<void> processClient(HttpServer server, BufferedSocket client, std::string address,
                           RequestHandler handler) {
    co_await procedureName("processClient");
    // Every read deadline of the connection lies at least this far ahead, so its timer wakes
    // once per interval at most, however many requests pass meanwhile.
    client->deadlineCheckInterval =
        std::int64_t{std::min(server->timeouts.idleMs, server->timeouts.headMs)} * 1'000'000;
    client->readStallLimit = std::int64_t{server->timeouts.bodyStallMs} * 1'000'000;
    client->sendStallLimit = std::int64_t{server->timeouts.sendStallMs} * 1'000'000;
    Request request; // with an empty URL and a header table of its own
    std::string line;
    line.reserve(80);
    std::exception_ptr failure;
    while (!isClosed(client)) {
        bool goOn = false;
        try {
            goOn = co_await processRequest(server, request, client, address, line, handler);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) {
            close(client);
            std::rethrow_exception(failure);
        }
        if (!goOn) {
            break;
        }
    }
}

} // namespace quorvin
