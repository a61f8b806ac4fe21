// The line rules of the buffered socket, as a scanner over bytes already received.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvin {

// What one line read carries over from one buffer fill to the next.
struct LineScanState {
    bool sawCarriageReturn = false;
};

enum class LineScan {
    NeedMore, // every unread byte was used and the line is not done: fill and scan again
    Complete, // the line is done; unread bytes after it stay for the next read
};

// Scans the unread bytes data[position, length), appending to `line` and advancing `position`.
// A line ends at LF, at the byte after a CR (that byte is dropped), or as soon as it holds more
// than `maxLength` bytes. An empty line comes back as CR LF, so that an empty string can mean
// that the peer closed; CR and LF are never kept otherwise.
LineScan scanLine(const char* data, std::int32_t& position, std::int32_t length, std::string& line,
                  LineScanState& state, std::size_t maxLength);

} // namespace quorvin
