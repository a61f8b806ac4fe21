// Whole lines on standard output under one lock, so threads never interleave.
#include "runtime/output.h"

#include <cstdio>

namespace quorvin {

std::mutex& outputLock() {
    static std::mutex lock;
    return lock;
}

void writeLine(std::string_view line) {
    std::lock_guard<std::mutex> guard(outputLock());
    detail::writeLineFeedsAsTheyAre();
    // A process without a console loses the line silently.
    if (!line.empty()) {
        (void)std::fwrite(line.data(), 1, line.size(), stdout);
    }
    (void)std::fputc('\n', stdout);
    (void)std::fflush(stdout);
}

} // namespace quorvin
