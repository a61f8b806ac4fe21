// processRequest: reads, checks and dispatches one request, then decides about the connection.
#include "http/requestreader.h"

#include "async/asyncproc.h"
#include "http/requestparse.h"
#include "http/responders.h"
#include "http/uri.h"
#include "runtime/ascii.h"

#include <exception>

namespace quorvin {

namespace {

// The form in which the line reader returns an empty line.
constexpr std::string_view emptyLine = "\r\n";

// How a step ends: the request goes on to the next step, or processRequest returns (true: read
// the next request from this connection; false: the connection is done).
enum class Step : std::uint8_t { Proceed, NextRequest, Done };

// What every step works on; it lives in processRequest's frame, which awaits each step.
struct Reading {
    const HttpServer& server;
    Request& request;
    const BufferedSocket& client;
    std::string& line;
};

// What a step gives: its outcome at once, or a future of it when it has to wait. Most steps of
// most requests wait for nothing, and then cost no future.
struct StepOutcome {
    StepOutcome(Step step) : now(step) {}
    StepOutcome(Future<Step> future) : later(std::move(future)) {}
    Step now = Step::Proceed;
    Future<Step> later;
};

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

// The Connection header's values, or none.
const HeaderValues& connectionValues(const Request& request) {
    static const HeaderValues none;
    const HeaderValues* values = request.headers->find("connection");
    return values == nullptr ? none : *values;
}

// Whether the connection stays open after a served request.
bool keepsAlive(const Request& request) {
    const std::string word = firstValue(connectionValues(request));
    if (request.protocol == Version11) {
        return !equalsIgnoringAsciiCase(word, "close");
    }
    return request.protocol == Version10 && equalsIgnoringAsciiCase(word, "keep-alive");
}

// The answer to a handler that failed before it sent anything; the connection closes after it.
Future<void> respondServerError(const Request& request) {
    return respond(request, 500, statusText(500), makeHeaderTable({{"Connection", "close"}}));
}

Future<Step> closeAfter(const Reading& r, Future<void> answer) {
    co_await procedureName("closeAfter");
    co_await answer;
    co_await lingeringClose(r.client, r.server->timeouts.lingerMs);
    co_return Step::Done;
}

// The peer has closed (nothing to keep for it), or kept the server waiting too long (what it
// may still send is read and dropped first, as after any answer).
Future<Step> endOfStream(const Reading& r) {
    co_await procedureName("endOfStream");
    if (isReadTimedOut(r.client)) {
        co_await lingeringClose(r.client, r.server->timeouts.lingerMs);
    } else {
        close(r.client);
    }
    co_return Step::Done;
}

// A line over the limit is refused and ends the connection.
StepOutcome checkLineLength(const Reading& r) {
    if (r.line.size() > maxRequestLineLength) {
        return closeAfter(r, respondWithStatus(r.request, 413));
    }
    return Step::Proceed;
}

Future<Step> receiveLine(const Reading& r) {
    co_await procedureName("readLine");
    co_await recvLineInto(r.client, r.line, defaultSocketFlags, maxRequestLineLength);
    if (r.line.empty()) {
        co_return co_await endOfStream(r);
    }
    const StepOutcome checked = checkLineLength(r);
    if (checked.later) {
        co_return co_await checked.later;
    }
    co_return checked.now;
}

// One request or header line into r.line; ends the connection at the end of the stream and
// after a line over the limit. A line already in the buffer is taken without a procedure.
StepOutcome readLine(const Reading& r) {
    r.line.clear();
    if (takeBufferedLine(r.client, r.line, maxRequestLineLength)) {
        return checkLineLength(r);
    }
    return receiveLine(r);
}

// The request line, after at most one empty line, with the head's time limit running from its
// first byte (which the caller has seen arrive).
Future<Step> receiveRequestLine(const Reading& r) {
    co_await procedureName("readRequestLine");
    for (int attempt = 0; attempt < 2; ++attempt) {
        const StepOutcome line = readLine(r);
        Step step = line.now;
        if (line.later) {
            step = co_await line.later;
        }
        if (step != Step::Proceed) {
            co_return step;
        }
        if (r.line != emptyLine) {
            break;
        }
    }
    co_return Step::Proceed;
}

// A request line that starts the buffer whole is taken at once.
StepOutcome readRequestLine(const Reading& r) {
    setReadDeadlineAfterMs(r.client, r.server->timeouts.headMs);
    const char first = r.client->buffer[static_cast<std::size_t>(r.client->readPosition)];
    r.line.clear();
    if (first != '\r' && first != '\n' &&
        takeBufferedLine(r.client, r.line, maxRequestLineLength)) {
        return checkLineLength(r);
    }
    return receiveRequestLine(r);
}

Future<Step> refuseExtraParts(const Reading& r) {
    co_await procedureName("parseRequestLine");
    co_await respondWithStatus(r.request, 400);
    co_return Step::NextRequest;
}

// Method, target and protocol from the request line; the refusals of a malformed one.
StepOutcome parseRequestLineInto(const Reading& r) {
    const std::vector<std::string_view> parts = splitRequestLine(r.line);
    const std::optional<RequestMethod> method = parseRequestMethod(parts[0]);
    if (!method) {
        sendWithoutWaiting(r.client, respondWithStatus(r.request, 400));
        return Step::NextRequest;
    }
    r.request.method = *method;
    if (parts.size() > 1) {
        parseRequestTarget(parts[1], r.request.url);
    }
    if (parts.size() > 2) {
        try {
            r.request.protocol = parseProtocol(parts[2]);
        } catch (const ValueError&) {
            sendWithoutWaiting(r.client, respondWithStatus(r.request, 400));
            return Step::NextRequest;
        }
    }
    if (parts.size() > 3) {
        return refuseExtraParts(r);
    }
    return Step::Proceed;
}

// Header lines up to the empty line, with the one in r.line first when `haveLine`. A repeated
// name keeps only its last line. A future comes back while a line is awaited (its Proceed means
// that r.line holds it) or a refusal is under way (never Proceed).
StepOutcome takeHeaderLines(const Reading& r, bool haveLine) {
    for (;; haveLine = false) {
        if (!haveLine) {
            StepOutcome line = readLine(r);
            if (line.later || line.now != Step::Proceed) {
                return line;
            }
        }
        if (r.line == emptyLine) {
            break;
        }
        auto [name, values] = splitHeaderLine(r.line);
        r.request.headers->set(name, std::move(values));
        if (r.request.headers->len() > maxHeaderNames) {
            return closeAfter(r, sendStatusLine(r.client, "400 Bad Request"));
        }
    }
    // The head is complete: the body and the handler have no time limit.
    setReadDeadline(r.client, 0);
    return Step::Proceed;
}

Future<Step> receiveHeaderLines(const Reading& r, Future<Step> pending) {
    co_await procedureName("readHeaderLines");
    for (;;) {
        if (const Step step = co_await pending; step != Step::Proceed) {
            co_return step;
        }
        StepOutcome next = takeHeaderLines(r, true);
        if (!next.later) {
            co_return next.now;
        }
        pending = std::move(next.later);
    }
}

// The lines already in the buffer are taken at once; a procedure waits only for the others.
StepOutcome readHeaderLines(const Reading& r) {
    StepOutcome outcome = takeHeaderLines(r, false);
    if (outcome.later) {
        return receiveHeaderLines(r, std::move(outcome.later));
    }
    return outcome;
}

// A POST that expects anything but "100-continue" is refused with 417 and not handled. The 417
// carries no length, so only the end of the stream can tell the client where it ends.
Future<Step> answerExpectation(const Reading& r) {
    co_await procedureName("meetExpectation");
    if (!contains(r.request.headers->get("Expect"), "100-continue")) {
        co_return co_await closeAfter(r, sendStatusLine(r.client, "417 Expectation Failed"));
    }
    co_await sendStatusLine(r.client, "100 Continue");
    co_return Step::Proceed;
}

StepOutcome meetExpectation(const Reading& r) {
    if (r.request.method != HttpPost || !r.request.headers->hasHeader("Expect")) {
        return Step::Proceed;
    }
    return answerExpectation(r);
}

Future<Step> receiveBody(const Reading& r) {
    co_await procedureName("readBody");
    Request& request = r.request;
    if (!request.headers->hasHeader("Content-Length")) {
        co_await respond(request, 411, "Content-Length required.");
        co_return Step::NextRequest;
    }
    std::int32_t length = 0;
    if (parseSaturatedNatural(firstValue(request.headers->get("Content-Length")), 0, length) == 0) {
        co_await respond(request, 400, "Bad Request. Invalid Content-Length.");
        co_return Step::NextRequest;
    }
    if (length > r.server->maxBodyLength) {
        co_return co_await closeAfter(r, respondWithStatus(request, 413));
    }
    request.body = co_await recv(r.client, length);
    if (isReadTimedOut(r.client)) {
        co_return co_await endOfStream(r);
    }
    if (static_cast<std::int32_t>(request.body.size()) < length) {
        co_await respond(request, 400, "Bad Request. Content-Length does not match actual.");
        co_return Step::NextRequest;
    }
    co_return Step::Proceed;
}

// The body that Content-Length announces; a POST must announce one.
StepOutcome readBody(const Reading& r) {
    if (r.request.method != HttpPost && !r.request.headers->hasHeader("Content-Length")) {
        return Step::Proceed;
    }
    return receiveBody(r);
}

// After a handler failed: a 500 if it had sent nothing, then the connection closes.
Future<void> answerFailure(const Reading& r, std::uint64_t sendsBefore) {
    co_await procedureName("runHandler");
    if (!r.client->closed && r.client->sendCount == sendsBefore) {
        try {
            co_await respondServerError(r.request);
        } catch (...) {
            // The connection is closed below either way; the handler's failure is the one
            // that matters.
        }
    }
    co_await lingeringClose(r.client, r.server->timeouts.lingerMs);
}

// Whether the connection serves the next request: not when the handler took it over, nor after
// an upgrade request (that nobody took over) or a request that does not keep it alive.
bool staysOpen(const Reading& r) {
    if (r.client->takenOver) {
        return false;
    }
    const bool upgrade = contains(connectionValues(r.request), "upgrade");
    return !upgrade && keepsAlive(r.request);
}

void resetRecord(Request& request, const BufferedSocket& client, const std::string& address) {
    request.headers->clear();
    request.body.clear();
    request.hostname = address;
    request.client = client;
}

} // namespace

Future<bool> processRequest(const HttpServer& server, Request& request,
                            const BufferedSocket& client, const std::string& address,
                            std::string& line, const RequestHandler& handler) {
    co_await procedureName("processRequest");
    resetRecord(request, client, address);
    const Reading r{server, request, client, line};
    // The idle time limit runs until the request's first byte.
    setReadDeadlineAfterMs(client, server->timeouts.idleMs);
    if (!hasBufferedBytes(client) && co_await fillBuffer(client) == 0) {
        co_await endOfStream(r);
        co_return false;
    }
    for (auto step :
         {readRequestLine, parseRequestLineInto, readHeaderLines, meetExpectation, readBody}) {
        const StepOutcome next = step(r);
        Step outcome = next.now;
        if (next.later) {
            outcome = co_await next.later;
        }
        if (outcome != Step::Proceed) {
            co_return outcome == Step::NextRequest;
        }
    }
    // A failing handler closes the connection and ends the connection's procedure.
    const std::uint64_t sendsBefore = client->sendCount;
    std::exception_ptr failure;
    try {
        co_await handler(request);
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure) {
        co_await answerFailure(r, sendsBefore);
        std::rethrow_exception(failure);
    }
    if (staysOpen(r)) {
        co_return true;
    }
    if (!client->takenOver) {
        co_await lingeringClose(client, server->timeouts.lingerMs);
    }
    co_return false;
}

} // namespace quorvin
