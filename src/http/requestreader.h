// The request reader: one request off a connection, its refusals, the handler call, persistence.
#pragma once

#include "async/asyncfutures.h"
#include "http/httpserver.h"
#include "http/request.h"

#include <string>

namespace quorvin {

// Longest request or header line, without its line end, and most distinct header names.
inline constexpr std::size_t maxRequestLineLength = 8192;
inline constexpr std::size_t maxHeaderNames = 10000;
// Bounds of one request head, far above any real client, so that one head costs bounded memory:
// the values stored from it, and its bytes.
inline constexpr std::size_t maxHeaderValues = 20000;
inline constexpr std::size_t maxHeadBytes = 1024 * 1024;
// How much of the answers to refused request lines may wait unsent before the reader waits for
// them instead of reading on.
inline constexpr std::size_t maxUnsentReplyBytes = 64 * 1024;

// Reads one request into `request` (reused for the whole connection) through the shared line
// buffer, answers malformed and refused requests itself, and calls the handler for good ones.
// True when the next request is to be read from this connection; false when the connection was
// closed, or was left open and unread after an upgrade request. Named "processRequest".
// Every argument is the connection's own and must outlive the returned future (processClient
// keeps them in its frame while it waits), so that none is copied for every request.
Future<bool> processRequest(const HttpServer& server, Request& request,
                            const BufferedSocket& client, const std::string& address,
                            std::string& line, const RequestHandler& handler);

} // namespace quorvin
