// The records the static file service shares: launch settings, responses, and filled text
// templates.
#pragma once

#include "http/headers.h"
#include "http/httpcore.h"
#include "server/mimetable.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quorvin {

namespace fs {
class FileReader;
class ServedFolder;
} // namespace fs

// Built once per launch; copies share the MIME table.
struct ServerSettings {
    bool logRequests = false;
    std::string rootDirectory;
    // The folder as the launch found it; null in settings that no launch made.
    std::shared_ptr<const fs::ServedFolder> servedFolder;
    MimeTable mimeTable;
    std::uint16_t listenPort = 0;
    std::string listenAddress;
    std::string serverName;
    std::string serverVersion;
};

// What every response builder returns; `headers` is never null.
struct StaticResponse {
    StatusCode status = 200;
    std::string body;
    HeaderTable headers = makeHeaderTable();
    // A file too large to hold in memory: the open file whose first `bodyFileSize` bytes are the
    // body, sent from disk piece by piece after the head. `body` is then empty.
    std::shared_ptr<fs::FileReader> bodyFile;
    std::uint64_t bodyFileSize = 0;
    // A body built in pieces (a large listing): sent one after another, each released once sent.
    // `body` is then empty.
    std::vector<std::string> bodyPieces;
};

// Fills "$1", "$2", ... with the values (verbatim, never rescanned) and "$$" with one '$';
// every other character, a '$' before anything else included, is copied. An index of 0 or
// beyond the values raises ValueError "invalid format string".
std::string fillTemplate(std::string_view pattern, std::initializer_list<std::string_view> values);

} // namespace quorvin
