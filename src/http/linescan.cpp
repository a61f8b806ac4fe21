// The byte-by-byte line rules shared by every line read of a buffered socket.
#include "http/linescan.h"

#include <algorithm>

namespace quorvin {

namespace {

constexpr char carriageReturn = '\r';
constexpr char lineFeed = '\n';

void markEmptyLine(std::string& line) {
    if (line.empty()) {
        line.append("\r\n");
    }
}

} // namespace

LineScan scanLine(const char* data, std::int32_t& position, std::int32_t length, std::string& line,
                  LineScanState& state, std::size_t maxLength) {
    while (position < length) {
        const char byte = data[position];
        if (byte == carriageReturn) {
            state.sawCarriageReturn = true;
            markEmptyLine(line);
        } else if (byte == lineFeed) {
            markEmptyLine(line);
            ++position;
            return LineScan::Complete;
        } else if (state.sawCarriageReturn) {
            // A CR not followed by LF ends the line; the byte after it is consumed with it.
            ++position;
            return LineScan::Complete;
        } else {
            // The run of plain bytes up to the next CR or LF goes in at once, cut where the
            // line passes its limit, as byte-by-byte appending would stop.
            std::int32_t end = position + 1;
            while (end < length && data[end] != carriageReturn && data[end] != lineFeed) {
                ++end;
            }
            const std::size_t room = line.size() <= maxLength ? maxLength + 1 - line.size() : 0;
            const std::size_t run = std::min(static_cast<std::size_t>(end - position), room);
            line.append(data + position, run);
            position += static_cast<std::int32_t>(run);
            if (line.size() > maxLength) {
                return LineScan::Complete;
            }
            continue;
        }
        ++position;
        if (line.size() > maxLength) {
            return LineScan::Complete;
        }
    }
    return LineScan::NeedMore;
}

} // namespace quorvin
