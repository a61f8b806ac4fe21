// Directory listing pages and the URL paths of served files and folders.
#pragma once

#include "server/settings.h"

#include <string>
#include <string_view>

namespace quorvin {

// The URL path of a file-system path below `root`: it begins with '/', and ends with '/'
// unless a file exists at the path. A root of exactly "/" gives the path unchanged.
std::string sitePath(std::string_view path, std::string_view root);

// The URL path of the path's parent directory ("/" at the top).
std::string parentSitePath(std::string_view path, std::string_view root);

// The listing of the directory `dir` (a mapped path), or the file response of its
// "index.html" / "index.htm", whichever the enumeration meets first. Entry names and the title
// are HTML-escaped and every href is percent-encoded. A directory that cannot be enumerated is
// listed empty; a failure part-way raises OSError.
StaticResponse listingResponse(const ServerSettings& settings, const std::string& dir);

} // namespace quorvin
