// The request handler of the static file service: host check, response choice and sending.
#pragma once

#include "async/asyncfutures.h"
#include "http/httpserver.h"
#include "http/request.h"
#include "server/settings.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quorvin {

// Bytes read from disk and handed to one send while a large file is streamed.
inline constexpr std::size_t fileChunkSize = 256u * 1024u;

// Answers one request: a request addressed to another host gets the 403 page; otherwise the
// listing, file, 404 or 501 response of chooseResponse. Completes once the response has been
// handed to the connection; fails (with nothing or only part of a file sent) when the response
// cannot be built or sent. A response sent whole gives the future of its one send; a listing,
// which is built in slices, is the procedure "handleHttpRequest".
Future<void> handleHttpRequest(const std::shared_ptr<const ServerSettings>& settings,
                               const Request& request);

// The handler that serve() calls, holding one copy of the settings for all requests.
RequestHandler staticRequestHandler(ServerSettings settings);

// Writes the response: for a HEAD request only its head (with the body's Content-Length); else
// whole through respond(), or, when it carries an open file, the same head
// followed by the file in pieces of fileChunkSize. A file that ends before its announced size,
// a read error and a send error fail the future; the caller then closes the connection, since
// the client can no longer tell where this response ends. A response sent whole gives the future
// of its one send; the others are the procedure "sendStaticResponse".
Future<void> sendStaticResponse(const Request& request, StaticResponse response);

// "TIME - HOST METHOD PATH", the path as received.
std::string requestLogLine(std::string_view time, const Request& request);

// Writes requestLogLine with the current local time to standard output.
void logRequest(const Request& request);

} // namespace quorvin
