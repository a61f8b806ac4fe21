// The response writers: each builds its whole response and hands it to one send on the client.
#pragma once

#include "async/asyncfutures.h"
#include "http/asyncnet.h"
#include "http/headers.h"
#include "http/httpcore.h"
#include "http/request.h"

#include <string_view>

namespace quorvin {

// Status line, the table's headers (names in lower case), Content-Length unless the table has
// one, an empty line and the content. Only `request.client` is used. The future finishes when the
// last byte has been handed to the system.
Future<void> respond(const Request& request, StatusCode code, std::string_view content,
                     const HeaderTable& headers = nullptr);

// A response whose body is the status text, e.g. "400 Bad Request" with a length of 15.
Future<void> respondWithStatus(const Request& request, StatusCode code);

// "HTTP/1.1 ", the status text and an empty header block; no length and no body.
Future<void> sendStatusLine(const BufferedSocket& client, std::string_view statusText);

} // namespace quorvin
