// Responses that carry a whole file, typed by its extension.
#pragma once

#include "server/settings.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvin {

// A file read whole is refused once it passes this size, rather than risk exhausting a 32-bit
// address space. Only a file that grows while it is read reaches it: a larger one is streamed.
inline constexpr std::uint64_t maxFileResponseSize = 256u * 1024u * 1024u;

// Disk files up to this size are read whole into the body; larger ones are left open in
// `bodyFile` and sent from disk in pieces, so that memory per request stays small.
inline constexpr std::uint64_t wholeFileLimit = 1024u * 1024u;

// The extension of the last path segment with its dot (".gz" for "a.tar.gz"), or "" when the
// segment has none: a leading dot, a final dot and a dot followed by a dot do not count.
std::string fileExtension(std::string_view path);

// Status 200, every byte of the file, and one content-type header from the MIME table
// ("text/plain" when the extension is missing or unknown). Raises IOError "cannot open: <path>"
// when the file cannot be opened and IOError for a read error or a file too large to hold.
// A disk file above wholeFileLimit comes back open in `bodyFile`, with its size, instead.
// Something that opens but is no disk file (a device, a pipe) is answered with the 404 page.
StaticResponse fileResponse(const ServerSettings& settings, const std::string& path);
// The same for the file as the caller opened it (`reader` null: it could not be opened).
StaticResponse fileResponse(const ServerSettings& settings, const std::string& path,
                            std::unique_ptr<fs::FileReader> reader);

// The media type for a path, as fileResponse chooses it.
std::string mediaTypeOf(const ServerSettings& settings, std::string_view path);

} // namespace quorvin
