// handleHttpRequest and the writing of whole and streamed responses.
#include "server/handler.h"

#include "async/asyncdispatch.h"
#include "async/asyncproc.h"
#include "async/socketflags.h"
#include "http/responders.h"
#include "http/responseformat.h"
#include "runtime/clock.h"
#include "runtime/errors.h"
#include "runtime/memory.h"
#include "runtime/output.h"
#include "server/fs.h"
#include "server/hostcheck.h"
#include "server/listing.h"
#include "server/routing.h"

#include <algorithm>
#include <cstdint>
#include <utility>

namespace quorvin {

namespace {

Future<void> sendFileBody(BufferedSocket client, std::shared_ptr<fs::FileReader> file,
                          std::uint64_t size) {
    co_await procedureName("sendFileBody");
    std::uint64_t left = size;
    while (left > 0) {
        std::string chunk(static_cast<std::size_t>(std::min<std::uint64_t>(left, fileChunkSize)),
                          '\0');
        // Fewer bytes than asked only at the end of the file.
        const std::size_t count = file->read(chunk.data(), chunk.size());
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

// A body of this many pieces or more is large enough that its memory is handed back to the
// system once it has been sent.
constexpr std::size_t largeBodyPieces = 16;

// Sends the pieces in order, each released as soon as the system has taken it.
Future<void> sendBodyPieces(BufferedSocket client, std::vector<std::string> pieces) {
    co_await procedureName("sendBodyPieces");
    const bool large = pieces.size() >= largeBodyPieces;
    for (std::string& piece : pieces) {
        co_await send(client, std::move(piece));
    }
    if (large) {
        releaseFreeMemory();
    }
}

// Builds the listing a slice at a time; between slices the event loop serves other connections.
Future<void> buildListing(std::shared_ptr<ListingBuilder> builder) {
    co_await procedureName("buildListing");
    while (builder->addEntries(listingSliceEntries)) {
        co_await sleepAsync(0);
    }
}

std::uint64_t bodyLength(const StaticResponse& response) {
    if (response.bodyFile) {
        return response.bodyFileSize;
    }
    std::uint64_t length = response.body.size();
    for (const std::string& piece : response.bodyPieces) {
        length += piece.size();
    }
    return length;
}

// A head followed by the file in pieces.
Future<void> sendHeadAndFile(BufferedSocket client, StaticResponse response) {
    co_await procedureName("sendStaticResponse");
    co_await send(client,
                  formatResponseHead(response.status, response.bodyFileSize, response.headers));
    co_await sendFileBody(client, response.bodyFile, response.bodyFileSize);
}

Future<void> startStaticResponse(const Request& request, StaticResponse& response) {
    if (request.method == HttpHead) {
        // The head that a GET would get, Content-Length included, and no body bytes: a client
        // reads no body after a HEAD answer, so any would be taken for the next answer.
        return send(request.client,
                    formatResponseHead(response.status, bodyLength(response), response.headers));
    }
    if (!response.bodyPieces.empty()) {
        // The head travels with the first piece.
        response.bodyPieces.front().insert(
            0, formatResponseHead(response.status, bodyLength(response), response.headers));
        return sendBodyPieces(request.client, std::move(response.bodyPieces));
    }
    if (!response.bodyFile) {
        return respond(request, response.status, response.body, response.headers);
    }
    return sendHeadAndFile(request.client, std::move(response));
}

// Built a slice at a time, with the request's own copy, since the handler's caller may go on
// meanwhile.
Future<void> sendListing(std::shared_ptr<const ServerSettings> settings, Request request,
                         std::string directory, std::unique_ptr<fs::DirectoryEnumeration> entries) {
    co_await procedureName("handleHttpRequest");
    auto builder =
        std::make_shared<ListingBuilder>(*settings, std::move(directory), std::move(entries));
    co_await buildListing(builder);
    co_await sendStaticResponse(request, builder->finish());
}

Future<void> startHandling(const std::shared_ptr<const ServerSettings>& settings,
                           const Request& request) {
    const ServerSettings& s = *settings;
    if (!isAddressedToThisComputer(request)) {
        return sendStaticResponse(request, forbiddenResponse(s));
    }
    if (s.logRequests) {
        logRequest(request);
    }
    Route route = routeRequest(s, request.method, request.url.path);
    if (route.listingDirectory) {
        return sendListing(settings, request, std::move(*route.listingDirectory),
                           std::move(route.listingEntries));
    }
    return sendStaticResponse(request, std::move(route.response));
}

} // namespace

// No procedure of its own for a response sent whole: its one send is the outcome, so the
// request's procedure resumes straight from it.
Future<void> sendStaticResponse(const Request& request, StaticResponse response) {
    return futureOrFailure<void>("sendStaticResponse",
                                 [&] { return startStaticResponse(request, response); });
}

Future<void> handleHttpRequest(const std::shared_ptr<const ServerSettings>& settings,
                               const Request& request) {
    return futureOrFailure<void>("handleHttpRequest",
                                 [&] { return startHandling(settings, request); });
}

RequestHandler staticRequestHandler(ServerSettings settings) {
    auto shared = std::make_shared<const ServerSettings>(std::move(settings));
    // The request arrives as the handler's own copy; taken by reference here, it is copied again
    // only for a listing, whose procedure outlives the call.
    return [shared](Request&& request) { return handleHttpRequest(shared, request); };
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

void logRequest(const Request& request) {
    writeLine(requestLogLine(currentDateTime(), request));
}

} // namespace quorvin
