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

StaticResponse chooseResponse(const ServerSettings& settings, RequestMethod method,
                              std::string_view urlPath) {
    if (method != HttpGet) {
        return notImplementedResponse(settings);
    }
    std::string decoded = decodeRequestPath(urlPath);
    if (!isServablePath(decoded)) {
        return notFoundResponse(settings);
    }
    std::string mapped = mapRequestPath(settings.rootDirectory, decoded);
    if (!fs::liesWithin(settings.rootDirectory, mapped)) {
        return notFoundResponse(settings);
    }
    if (directoryExists(mapped)) {
        return listingResponse(settings, mapped);
    }
    if (fileExists(mapped)) {
        return fileResponse(settings, mapped);
    }
    return notFoundResponse(settings);
}

} // namespace quorvin
