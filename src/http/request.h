// The record of one request as the server hands it to the request handler.
#pragma once

#include "http/headers.h"
#include "http/httpcore.h"
#include "http/uri.h"

#include <memory>
#include <string>

namespace quorvin {

// The connection's buffered socket; defined with the socket code in http/asyncnet.h.
struct BufferedSocketObject;
using BufferedSocket = std::shared_ptr<BufferedSocketObject>;

// Copies share `client` and `headers`; strings and the Uri are copied.
struct Request {
    BufferedSocket client;
    RequestMethod method = HttpGet;
    HeaderTable headers = makeHeaderTable();
    HttpProtocol protocol;
    Uri url;
    std::string hostname;
    std::string body;
};

} // namespace quorvin
