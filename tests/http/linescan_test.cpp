// The line rules, fed whole and in small fills, as the buffered socket applies them.
#include "http/linescan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace quorvin;

namespace {

// Reads lines from `input` the way a buffered socket does, handing out at most `fillSize` bytes
// per fill, until a line comes back empty (the peer closed). The empty line is included.
std::vector<std::string> readLines(const std::string& input, std::size_t fillSize,
                                   std::size_t maxLength) {
    std::vector<std::string> lines;
    std::size_t offset = 0;
    std::vector<char> buffer(4001);
    std::int32_t position = 0;
    std::int32_t length = 0;
    auto fill = [&] {
        const std::size_t count = std::min(fillSize, input.size() - offset);
        std::copy_n(input.data() + offset, count, buffer.data());
        offset += count;
        position = 0;
        length = static_cast<std::int32_t>(count);
        return length;
    };
    for (;;) {
        std::string line;
        if (length == 0 && fill() == 0) {
            lines.push_back(line);
            return lines;
        }
        LineScanState state;
        while (scanLine(buffer.data(), position, length, line, state, maxLength) ==
               LineScan::NeedMore) {
            if (fill() == 0) {
                line.clear();
                break;
            }
        }
        lines.push_back(line);
        if (line.empty()) {
            return lines;
        }
    }
}

struct LineCase {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
};

const std::size_t testMax = 10;

const std::vector<LineCase> lineCases = {
    {"CR LF ends a line", "GET / HTTP\r\n", {"GET / HTTP", ""}},
    {"bare LF ends a line", "abc\ndef\n", {"abc", "def", ""}},
    {"blank CR LF is CR LF", "\r\n", {"\r\n", ""}},
    {"blank bare LF is CR LF", "\n", {"\r\n", ""}},
    {"CR then other byte ends the line and drops the byte", "ab\rXcd\n", {"ab", "cd", ""}},
    {"lone CR then byte is a blank line", "\rXa\n", {"\r\n", "a", ""}},
    {"CR CR LF ends once", "a\r\r\nb\n", {"a", "b", ""}},
    {"blank CR CR LF", "\r\r\nx\n", {"\r\n", "x", ""}},
    {"peer closes mid-line", "complete\nhalf", {"complete", ""}},
    {"peer closes after CR", "abc\r", {""}},
    {"exactly the maximum", "0123456789\r\n", {"0123456789", ""}},
    {"one over the maximum", "0123456789A\r\n", {"0123456789A", "\r\n", ""}},
    {"two over the maximum", "0123456789AB\r\n", {"0123456789A", "B", ""}},
    {"long line leaves the rest unread",
     "0123456789ABCDEFGHIJKLMNOPQ\n",
     {"0123456789A", "BCDEFGHIJKL", "MNOPQ", ""}},
    {"pipelined requests",
     "GET /a\r\n\r\nGET /b\r\n\r\n",
     {"GET /a", "\r\n", "GET /b", "\r\n", ""}},
    {"NUL and high bytes are kept", std::string("a\0b\xff\n", 5), {std::string("a\0b\xff", 4), ""}},
    {"nothing at all", "", {""}},
};

} // namespace

TEST(LineScan, TableFedWholeAndByteByByte) {
    for (const LineCase& c : lineCases) {
        for (std::size_t fillSize : {std::size_t{4000}, std::size_t{1}, std::size_t{3}}) {
            EXPECT_EQ(readLines(c.input, fillSize, testMax), c.lines)
                << c.name << " (fills of " << fillSize << ")";
        }
    }
}

TEST(LineScan, LongLinesAtTheServerLimit) {
    const std::string exact(8192, 'x');
    EXPECT_EQ(readLines(exact + "\r\n", 4000, 8192), (std::vector<std::string>{exact, ""}));
    const std::vector<std::string> over = readLines(exact + "yz\r\n", 4000, 8192);
    ASSERT_EQ(over.size(), 3u);
    EXPECT_EQ(over[0], exact + "y");
    EXPECT_EQ(over[1], "z");
}
