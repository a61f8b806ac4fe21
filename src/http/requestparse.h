// Plain parsers of the request reader: header lines, the protocol word, numbers, request lines.
#pragma once

#include "http/headers.h"
#include "http/httpcore.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvin {

// Reads an optional '+' and the decimal digits at `start` into `target`, saturating at
// 2147483647 and skipping '_' after each digit. Returns the number of characters consumed;
// with no digit it consumes nothing and leaves `target` unchanged.
std::size_t parseSaturatedNatural(std::string_view text, std::size_t start, std::int32_t& target);

// Splits "Name: a, b" into its name (not trimmed) and its comma-separated values.
std::pair<std::string, HeaderValues> splitHeaderLine(std::string_view line);

// "HTTP/1.1" (any case) into its text and numbers; anything else raises ValueError
// "Invalid request protocol. Got: " and the text.
HttpProtocol parseProtocol(std::string_view text);

// The parts of a request line: each space ends a part, so spaces in a row give empty parts.
std::vector<std::string_view> splitRequestLine(std::string_view line);

} // namespace quorvin
