// Windows: frames come straight from the allocator. The MinGW runtime keeps thread-local data
// with destructors in storage that it frees and hands out anew when the thread touches it again
// during its teardown, which a frame released that late would corrupt.
#include "async/framecache.h"

#include <new>

namespace quorvin::detail {

const bool framesAreCached = false;

void* allocateFrame(std::size_t size) {
    return ::operator new(size);
}

void releaseFrame(void* frame, std::size_t /*size*/) noexcept {
    ::operator delete(frame);
}

} // namespace quorvin::detail
