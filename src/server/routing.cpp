// The choice of response for one request path.
#include "server/routing.h"

#include "http/uri.h"
#include "server/fileresponse.h"
#include "server/fs.h"
#include "server/listing.h"
#include "server/page.h"
#include "server/pathrules.h"

namespace quorvin {

std::string decodeRequestPath(std::string_view urlPath) {
    if (urlPath.find_first_of("%+") == std::string_view::npos) {
        return std::string(urlPath); // the common path: nothing to decode
    }
    std::string spaced;
    spaced.reserve(urlPath.size());
    for (std::size_t i = 0; i < urlPath.size(); ++i) {
        if (urlPath.compare(i, 3, "%20") == 0) {
            spaced += ' ';
            i += 2;
        } else {
            spaced += urlPath[i];
        }
    }
    return percentDecode(spaced, true);
}

Route routeRequest(const ServerSettings& settings, RequestMethod method, std::string_view urlPath) {
    Route route;
    if (method != HttpGet) {
        route.response = notImplementedResponse(settings);
        return route;
    }
    std::string decoded = decodeRequestPath(urlPath);
    if (!isServablePath(decoded)) {
        route.response = notFoundResponse(settings);
        return route;
    }
    std::string mapped = mapRequestPath(settings.rootDirectory, decoded);
    // A path whose real location lies outside the served folder (a link leading out) is missing.
    fs::OpenedWithin found = fs::openWithin(settings.rootDirectory, mapped);
    switch (found.kind) {
    case fs::PathKind::Directory:
        route.listingDirectory = std::move(mapped);
        break;
    case fs::PathKind::File:
        route.response = found.file ? fileResponse(settings, mapped, std::move(found.file))
                                    : fileResponse(settings, mapped);
        break;
    case fs::PathKind::Missing:
        route.response = notFoundResponse(settings);
        break;
    }
    return route;
}

StaticResponse chooseResponse(const ServerSettings& settings, RequestMethod method,
                              std::string_view urlPath) {
    Route route = routeRequest(settings, method, urlPath);
    if (route.listingDirectory) {
        return listingResponse(settings, *route.listingDirectory);
    }
    return std::move(route.response);
}

} // namespace quorvin
