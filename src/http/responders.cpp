// Response writers over the buffered socket's send.
#include "http/responders.h"

#include "http/responseformat.h"

namespace quorvin {

Future<void> respond(const Request& request, StatusCode code, std::string_view content,
                     const HeaderTable& headers) {
    return send(request.client, formatResponse(code, content, headers));
}

Future<void> respondWithStatus(const Request& request, StatusCode code) {
    return send(request.client, formatStatusResponse(code));
}

Future<void> sendStatusLine(const BufferedSocket& client, std::string_view statusText) {
    return send(client, formatStatusLine(statusText));
}

} // namespace quorvin
