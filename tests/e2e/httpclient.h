// A blocking HTTP/1.1 client over loopback for the end-to-end tests; every wait is bounded.
#pragma once

#include "testclient.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin::testing {

// One response as it came off the wire.
struct HttpResponse {
    std::string head; // status line and header lines, up to and including the empty line
    int status = 0;
    std::string body;

    // Every header line of the head whose name equals `name` (any case), values joined by ", ";
    // nothing when there is none.
    std::optional<std::string> header(std::string_view name) const;
    // The number of header lines (the status line not counted).
    int headerCount() const;
};

class HttpClient {
public:
    // Connects to 127.0.0.1:port; a failure fails the current test and leaves it unconnected.
    explicit HttpClient(std::uint16_t port);
    ~HttpClient();
    HttpClient(const HttpClient&) = delete;
    HttpClient& operator=(const HttpClient&) = delete;

    bool connected() const;
    void sendAll(std::string_view data);
    // Reads one response framed by its Content-Length; nothing when the connection closed or
    // the time ran out first (whatever arrived stays in `pending()`).
    std::optional<HttpResponse> readResponse(int timeoutMs = 20000);
    // Reads until the peer closes; false when it did not close in time.
    bool readUntilClosed(int timeoutMs = 5000);
    // Bytes received but not yet taken by readResponse.
    const std::string& pending() const { return buffer_; }

private:
    // Waits for more bytes and appends them; false on close, error or time-out.
    bool receiveMore(int timeoutMs);

    TestClient connection_;
    std::string buffer_;
};

// The request text of a GET with the given target and extra header lines (each ending in CR LF).
std::string getRequest(std::string_view target,
                       std::string_view extraHeaders = "Host: 127.0.0.1\r\n");

// One request on a fresh connection and its response (status 0 when none came in time).
HttpResponse fetch(std::uint16_t port, std::string_view rawRequest, int timeoutMs = 20000);
inline HttpResponse fetchGet(std::uint16_t port, std::string_view target) {
    return fetch(port, getRequest(target));
}

} // namespace quorvin::testing
