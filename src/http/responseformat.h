// The bytes of a response, built whole before the one send that writes them.
#pragma once

#include "http/headers.h"
#include "http/httpcore.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvin {

// Status line, the table's header lines, a Content-Length line unless the table has one,
// an empty line and the content. `headers` may be null.
std::string formatResponse(StatusCode code, std::string_view content, const HeaderTable& headers);

// The part of formatResponse before the content, for a content of `contentLength` bytes that the
// caller sends itself.
std::string formatResponseHead(StatusCode code, std::uint64_t contentLength,
                               const HeaderTable& headers);

// A response whose body is the status text itself, for example "400 Bad Request".
std::string formatStatusResponse(StatusCode code);

// A status line and an empty header block: no length and no body.
std::string formatStatusLine(std::string_view statusText);

} // namespace quorvin
