// handleHttpRequest and the writing of whole and streamed responses.
#include "server/handler.h"

#include "async/asyncproc.h"
#include "http/responders.h"
#include "http/responseformat.h"
#include "runtime/clock.h"
#include "runtime/errors.h"
#include "runtime/output.h"
#include "server/fs.h"
#include "server/hostcheck.h"
#include "server/routing.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace quorvin {

namespace {

// Fills the chunk as far as the file allows; fewer bytes only at the end of the file.
std::size_t readChunk(fs::FileReader& file, std::string& chunk) {
    std::size_t filled = 0;
    while (filled < chunk.size()) {
        std::size_t count = file.read(chunk.data() + filled, chunk.size() - filled);
        if (count == 0) {
            break;
        }
        filled += count;
    }
    return filled;
}

Future<void> sendFileBody(BufferedSocket client, std::shared_ptr<fs::FileReader> file,
                          std::uint64_t size) {
    co_await procedureName("sendFileBody");
    std::uint64_t left = size;
    while (left > 0) {
        std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(left, fileChunkSize)),
                          '\0');
        std::size_t count = readChunk(*file, chunk);
        if (count == 0) {
            throw IOError("file ended " + std::to_string(left) + " bytes before its size");
        }
        chunk.resize(count);
        left -= count;
        // Without IgnoreDisconnect: a client that has gone away ends the transfer instead of
        // letting the rest of a large file be read for nobody.
        co_await send(client, std::move(chunk), SocketFlags{});
    }
}

} // namespace

Future<void> sendStaticResponse(Request request, StaticResponse response) {
    co_await procedureName("sendStaticResponse");
    if (request.method == HttpHead) {
        // The head that a GET would get, Content-Length included, and no body bytes: a client
        // reads no body after a HEAD answer, so any would be taken for the next answer.
        const std::uint64_t length =
            response.bodyFile ? response.bodyFileSize : response.body.size();
        co_await send(request.client,
                      formatResponseHead(response.status, length, response.headers));
        co_return;
    }
    if (!response.bodyFile) {
        co_await respond(request, response.status, response.body, response.headers);
        co_return;
    }
    co_await send(request.client,
                  formatResponseHead(response.status, response.bodyFileSize, response.headers));
    co_await sendFileBody(request.client, response.bodyFile, response.bodyFileSize);
}

Future<void> handleHttpRequest(std::shared_ptr<const ServerSettings> settings, Request request) {
    co_await procedureName("handleHttpRequest");
    const ServerSettings& s = *settings;
    if (!isAddressedToThisComputer(request)) {
        co_await sendStaticResponse(request, forbiddenResponse(s));
        co_return;
    }
    if (s.logRequests) {
        logRequest(s, request);
    }
    StaticResponse response = chooseResponse(s, request.method, request.url.path);
    co_await sendStaticResponse(request, std::move(response));
}

RequestHandler staticRequestHandler(ServerSettings settings) {
    auto shared = std::make_shared<const ServerSettings>(std::move(settings));
    return [shared](Request request) { return handleHttpRequest(shared, std::move(request)); };
}

std::string requestLogLine(std::string_view time, const Request& request) {
    std::string line(time);
    line += " - ";
    line += request.hostname;
    line += ' ';
    line += methodText(request.method);
    line += ' ';
    line += request.url.path;
    return line;
}

void logRequest(const ServerSettings& /*settings*/, const Request& request) {
    writeLine(requestLogLine(currentDateTime(), request));
}

} // namespace quorvin
