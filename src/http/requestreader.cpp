// processRequest: reads, checks and dispatches one request, then decides about the connection.
#include "http/requestreader.h"

#include "async/asyncproc.h"
#include "http/requestparse.h"
#include "http/responders.h"
#include "http/uri.h"

#include <exception>

namespace quorvin {

namespace {

// The form in which the line reader returns an empty line.
constexpr std::string_view emptyLine = "\r\n";

// Starts a response and goes on without waiting for it. Should it fail, the connection is
// closed, which also ends whatever read is waiting on it.
void sendWithoutWaiting(const BufferedSocket& client, const Future<void>& sending) {
    sending.addCallback([client](const Future<void>& sent) {
        if (sent.failed()) {
            close(client);
        }
    });
}

// The first value of a list that the reader itself stored or made.
std::string firstValue(const HeaderValues& values) {
    return values.empty() ? std::string() : values.front();
}

// Whether the connection stays open after a served request.
bool keepsAlive(const Request& request) {
    const std::string word = firstValue(request.headers->valuesOrEmpty("connection"));
    if (request.protocol == Version11) {
        return !equalsIgnoringAsciiCase(word, "close");
    }
    return request.protocol == Version10 && equalsIgnoringAsciiCase(word, "keep-alive");
}

// The answer to a handler that failed before it sent anything; the connection closes after it.
Future<void> respondServerError(const Request& request) {
    return respond(request, 500, statusText(500), makeHeaderTable({{"Connection", "close"}}));
}

} // namespace

Future<bool> processRequest(HttpServer server, Request& request, BufferedSocket client,
                            std::string address, std::string& line, RequestHandler handler) {
    co_await procedureName("processRequest");
    request.headers->clear();
    request.body.clear();
    request.hostname = address;
    request.client = client;

    // The request line, after at most one empty line.
    for (int attempt = 0; attempt < 2; ++attempt) {
        line.clear();
        co_await recvLineInto(client, line, defaultSocketFlags, maxRequestLineLength);
        if (line.empty()) {
            close(client);
            co_return false;
        }
        if (line.size() > maxRequestLineLength) {
            co_await respondWithStatus(request, 413);
            close(client);
            co_return false;
        }
        if (line != emptyLine) {
            break;
        }
    }

    {
        const std::vector<std::string_view> parts = splitRequestLine(line);
        const std::optional<RequestMethod> method = parseRequestMethod(parts[0]);
        if (!method) {
            sendWithoutWaiting(client, respondWithStatus(request, 400));
            co_return true;
        }
        request.method = *method;
        if (parts.size() > 1) {
            parseRequestTarget(parts[1], request.url);
        }
        if (parts.size() > 2) {
            bool badProtocol = false;
            try {
                request.protocol = parseProtocol(parts[2]);
            } catch (const ValueError&) {
                badProtocol = true;
            }
            if (badProtocol) {
                sendWithoutWaiting(client, respondWithStatus(request, 400));
                co_return true;
            }
        }
        if (parts.size() > 3) {
            co_await respondWithStatus(request, 400);
            co_return true;
        }
    }

    // Header lines, up to the empty line. A repeated name keeps only its last line.
    for (;;) {
        line.clear();
        co_await recvLineInto(client, line, defaultSocketFlags, maxRequestLineLength);
        if (line.empty()) {
            close(client);
            co_return false;
        }
        if (line.size() > maxRequestLineLength) {
            co_await respondWithStatus(request, 413);
            close(client);
            co_return false;
        }
        if (line == emptyLine) {
            break;
        }
        auto [name, values] = splitHeaderLine(line);
        request.headers->set(name, std::move(values));
        if (request.headers->len() > maxHeaderNames) {
            co_await sendStatusLine(client, "400 Bad Request");
            close(client);
            co_return false;
        }
    }

    // A 417 does not end the request: the handler still answers it.
    if (request.method == HttpPost && request.headers->hasHeader("Expect")) {
        if (contains(request.headers->get("Expect"), "100-continue")) {
            co_await sendStatusLine(client, "100 Continue");
        } else {
            co_await sendStatusLine(client, "417 Expectation Failed");
        }
    }

    if (request.headers->hasHeader("Content-Length")) {
        std::int32_t length = 0;
        if (parseSaturatedNatural(firstValue(request.headers->get("Content-Length")), 0, length) ==
            0) {
            co_await respond(request, 400, "Bad Request. Invalid Content-Length.");
            co_return true;
        }
        if (length > server->maxBodyLength) {
            co_await respondWithStatus(request, 413);
            close(client);
            co_return false;
        }
        request.body = co_await recv(client, length);
        if (static_cast<std::int32_t>(request.body.size()) < length) {
            co_await respond(request, 400, "Bad Request. Content-Length does not match actual.");
            co_return true;
        }
    } else if (request.method == HttpPost) {
        co_await respond(request, 411, "Content-Length required.");
        co_return true;
    }

    // A failing handler closes the connection; if it had sent nothing, the client gets a 500.
    const std::uint64_t sendsBefore = client->sendCount;
    std::exception_ptr handlerFailure;
    try {
        co_await handler(request);
    } catch (...) {
        handlerFailure = std::current_exception();
    }
    if (handlerFailure) {
        if (!client->closed && client->sendCount == sendsBefore) {
            try {
                co_await respondServerError(request);
            } catch (...) {
                // The connection is closed below either way; the handler's failure is the one
                // that matters.
            }
        }
        close(client);
        std::rethrow_exception(handlerFailure);
    }

    if (contains(request.headers->valuesOrEmpty("connection"), "upgrade")) {
        co_return false;
    }
    if (keepsAlive(request)) {
        co_return true;
    }
    close(client);
    co_return false;
}

} // namespace quorvin
