// The HTTP server object, its listener (serve) and the per-connection loop (processClient).
#pragma once

#include "async/asyncfutures.h"
#include "http/asyncnet.h"
#include "http/request.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvin {

// A request handler takes its own copy of the request and answers through respond(); its future
// finishes when the answer is written. If it sends nothing, nothing is sent for the request.
using RequestHandler = std::function<Future<void>(Request)>;

// How long a connection may keep the server waiting, in milliseconds. A client that sends no
// request for `idleMs`, takes more than `headMs` from the first byte of a request to the end of
// its header lines, or sends no byte of a body for `bodyStallMs`, has its connection closed
// without an answer (after a lingering close); `lingerMs` bounds each lingering close. A client
// that takes no part of an answer for `sendStallMs` has its connection closed at once. Only tests
// change them, to shorten the waits.
struct ConnectionTimeouts {
    std::int32_t idleMs = 75000;
    std::int32_t headMs = 60000;
    std::int32_t lingerMs = lingerTimeMs;
    std::int32_t bodyStallMs = 60000;
    std::int32_t sendStallMs = 60000;
};

// The largest request body a server reads unless told otherwise: 8 MiB.
inline constexpr std::int32_t defaultMaxBodyLength = 8 * 1024 * 1024;

struct HttpServerObject {
    BufferedSocket socket; // the listening socket; null until serve runs
    bool reuseAddress = true;
    bool reusePort = false;
    std::int32_t maxBodyLength = defaultMaxBodyLength;
    ConnectionTimeouts timeouts;
};
using HttpServer = std::shared_ptr<HttpServerObject>;

// How long the listener rests after an accept failed for want of descriptors or memory.
inline constexpr std::int32_t acceptPauseMs = 100;

HttpServer createHttpServer(bool reuseAddress = true, bool reusePort = false,
                            std::int32_t maxBodyLength = defaultMaxBodyLength);

// Opens the listener on address:port (an empty address is every IPv4 interface) and serves each
// connection with processClient, for ever. The future, named "serve", finishes only by failing:
// when the listener cannot be set up (OSError, or ValueError from bindAddr), or with the accept
// error that says the listening socket itself is gone. An accept error of one connection, or a
// shortage, is retried; failures of single connections stay there.
Future<void> serve(HttpServer server, std::uint16_t port, RequestHandler handler,
                   std::string address = "");

// For a handler that answers an upgrade request and goes on using the connection itself: the
// server then leaves the socket open and reads nothing more from it. Without it, an upgrade
// request is answered and its connection closed like any other that asks to close.
void takeOverConnection(const Request& request);

// Serves one connection: requests one after another while the reader says to go on. A failure
// (of the handler, or of a send or receive) closes the connection and fails this future, named
// "processClient"; a failing handler that has sent nothing gets a 500 answer first.
Future<void> processClient(HttpServer server, BufferedSocket client, std::string address,
                           RequestHandler handler);

} // namespace quorvin
