// The process-wide standard-output line writer.
#pragma once

#include <mutex>
#include <string_view>

namespace quorvin {

// The lock that serialises every line written to standard output.
std::mutex& outputLock();

// Writes the line, a line feed and a flush under the output lock; write errors are ignored.
void writeLine(std::string_view line);

namespace detail {
// Makes standard output write a line feed as a line feed (Windows translates it otherwise).
void writeLineFeedsAsTheyAre();
} // namespace detail

} // namespace quorvin
