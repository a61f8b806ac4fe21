// Response framing for the end-to-end client: head up to the empty line, then Content-Length.
#include "httpclient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

namespace quorvin::testing {

namespace {

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Calls `each(name, value)` for every header line of a head.
template <class F>
void forEachHeader(std::string_view head, F each) {
    std::size_t start = head.find("\r\n");
    while (start != std::string_view::npos) {
        start += 2;
        std::size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos || end == start) {
            return;
        }
        std::string_view line = head.substr(start, end - start);
        std::size_t colon = line.find(':');
        std::string_view value = colon == std::string_view::npos ? "" : line.substr(colon + 1);
        while (!value.empty() && value.front() == ' ') {
            value.remove_prefix(1);
        }
        each(line.substr(0, colon), value);
        start = end;
    }
}

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

} // namespace

std::optional<std::string> HttpResponse::header(std::string_view name) const {
    std::optional<std::string> found;
    forEachHeader(head, [&](std::string_view n, std::string_view value) {
        if (sameName(n, name)) {
            found = found ? *found + ", " + std::string(value) : std::string(value);
        }
    });
    return found;
}

int HttpResponse::headerCount() const {
    int count = 0;
    forEachHeader(head, [&](std::string_view, std::string_view) { ++count; });
    return count;
}

HttpClient::HttpClient(std::uint16_t port) : connection_(port) {}

HttpClient::~HttpClient() = default;

bool HttpClient::connected() const {
    return connection_.connected();
}

void HttpClient::sendAll(std::string_view data) {
    connection_.sendAll(data);
}

bool HttpClient::receiveMore(int timeoutMs) {
    char piece[65536];
    long count = connection_.receiveSome(piece, sizeof piece, timeoutMs);
    if (count <= 0) {
        return false;
    }
    buffer_.append(piece, static_cast<std::size_t>(count));
    return true;
}

std::optional<HttpResponse> HttpClient::readResponse(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::size_t headEnd;
    while ((headEnd = buffer_.find("\r\n\r\n")) == std::string::npos) {
        if (!receiveMore(remainingMs(deadline))) {
            return std::nullopt;
        }
    }
    HttpResponse response;
    response.head = buffer_.substr(0, headEnd + 4);
    if (response.head.size() > 12) {
        response.status = std::atoi(response.head.substr(9, 3).c_str());
    }
    std::optional<std::string> length = response.header("Content-Length");
    const std::size_t bodySize = length ? std::strtoull(length->c_str(), nullptr, 10) : 0;
    buffer_.reserve(response.head.size() + bodySize);
    while (buffer_.size() < response.head.size() + bodySize) {
        if (!receiveMore(remainingMs(deadline))) {
            return std::nullopt;
        }
    }
    response.body = buffer_.substr(response.head.size(), bodySize);
    buffer_.erase(0, response.head.size() + bodySize);
    return response;
}

bool HttpClient::readUntilClosed(int timeoutMs) {
    return connection_.connected() && connection_.receiveUntilClosed(buffer_, timeoutMs);
}

std::string getRequest(std::string_view target, std::string_view extraHeaders) {
    std::string request = "GET ";
    request += target;
    request += " HTTP/1.1\r\n";
    request += extraHeaders;
    request += "\r\n";
    return request;
}

HttpResponse fetch(std::uint16_t port, std::string_view rawRequest, int timeoutMs) {
    HttpClient client(port);
    client.sendAll(rawRequest);
    std::optional<HttpResponse> response = client.readResponse(timeoutMs);
    if (!response) {
        ADD_FAILURE() << "no response to " << rawRequest.substr(0, rawRequest.find('\r'));
        return {};
    }
    return *response;
}

} // namespace quorvin::testing
