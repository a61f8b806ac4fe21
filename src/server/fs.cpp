// The platform-independent part of the served-folder access: reading until the system reports
// the end, and look-ups below a folder found for one call.
#include "server/fs.h"

#include <algorithm>
#include <atomic>

namespace quorvin::fs {

namespace {

std::atomic<std::size_t> systemReadLimit{0};

} // namespace

OpenedWithin openWithin(const std::string& root, const std::string& path) {
    return openWithin(ServedFolder(root), path);
}

void detail::limitSystemReads(std::size_t bytes) {
    systemReadLimit.store(bytes, std::memory_order_relaxed);
}

std::size_t FileReader::read(char* buffer, std::size_t capacity) {
    const std::size_t limit = systemReadLimit.load(std::memory_order_relaxed);
    std::size_t filled = 0;
    while (filled < capacity) {
        const std::size_t asked =
            limit == 0 ? capacity - filled : std::min(capacity - filled, limit);
        const std::size_t count = readSome(buffer + filled, asked);
        if (count == 0) {
            break;
        }
        filled += count;
    }
    return filled;
}

} // namespace quorvin::fs
