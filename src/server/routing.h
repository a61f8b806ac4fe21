// Which response a request gets: the decision between listing, file and error pages.
#pragma once

#include "http/httpcore.h"
#include "server/fs.h"
#include "server/settings.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quorvin {

// The URL path as the file rules see it: "%20" becomes a space, then %XX escapes are decoded
// and '+' becomes a space.
std::string decodeRequestPath(std::string_view urlPath);

// Opens `path` (in the form mapRequestPath gives) below the served folder, from the folder as the
// launch found it where there is one.
fs::OpenedWithin openInServedFolder(const ServerSettings& settings, const std::string& path);

// What a request gets: a finished response, or the listing of a directory, which the caller
// builds (in slices on the event loop, or at once with listingResponse).
struct Route {
    std::optional<std::string> listingDirectory;
    StaticResponse response;
    // The names of the listed directory as the look-up opened it, where the system allows.
    std::unique_ptr<fs::DirectoryEnumeration> listingEntries;
};

// The decision of chooseResponse without building a listing.
Route routeRequest(const ServerSettings& settings, RequestMethod method, std::string_view urlPath);

// The response for a request with this method and URL path (as received). Anything but GET gets
// the 501 page without touching the file system; a path that names neither a directory nor a
// file, that may not be handed to the file API (isServablePath), or whose real location lies
// outside the served folder (a link leading out), gets the 404 page.
StaticResponse chooseResponse(const ServerSettings& settings, RequestMethod method,
                              std::string_view urlPath);

} // namespace quorvin
