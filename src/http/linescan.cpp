// The byte-by-byte line rules shared by every line read of a buffered socket.
#include "http/linescan.h"

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
            line.push_back(byte);
        }
        ++position;
        if (line.size() > maxLength) {
            return LineScan::Complete;
        }
    }
    return LineScan::NeedMore;
}

} // namespace quorvin
