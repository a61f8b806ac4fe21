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

fs::OpenedWithin openInServedFolder(const ServerSettings& settings, const std::string& path) {
    return settings.servedFolder ? fs::openWithin(*settings.servedFolder, path)
                                 : fs::openWithin(settings.rootDirectory, path);
}

// Each answer is built straight into its route: a route made empty first would make a header
// table only to drop it.
Route routeRequest(const ServerSettings& settings, RequestMethod method, std::string_view urlPath) {
    if (method != HttpGet) {
        return {std::nullopt, notImplementedResponse(settings), nullptr};
    }
    std::string decoded = decodeRequestPath(urlPath);
    if (!isServablePath(decoded)) {
        return {std::nullopt, notFoundResponse(settings), nullptr};
    }
    std::string mapped = mapRequestPath(settings.rootDirectory, decoded);
    // A path whose real location lies outside the served folder (a link leading out) is missing.
    fs::OpenedWithin found = openInServedFolder(settings, mapped);
    switch (found.kind) {
    case fs::PathKind::Directory:
        return {std::move(mapped), StaticResponse{}, std::move(found.entries)};
    case fs::PathKind::File:
        return {std::nullopt, fileResponse(settings, mapped, std::move(found.file)), nullptr};
    case fs::PathKind::Missing:
        break;
    }
    return {std::nullopt, notFoundResponse(settings), nullptr};
}

StaticResponse chooseResponse(const ServerSettings& settings, RequestMethod method,
                              std::string_view urlPath) {
    Route route = routeRequest(settings, method, urlPath);
    if (route.listingDirectory) {
        return listingResponse(settings, *route.listingDirectory, std::move(route.listingEntries));
    }
    return std::move(route.response);
}

} // namespace quorvin
