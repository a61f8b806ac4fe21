// Windows: frames come straight from the allocator. The MinGW runtime keeps thread-local data
// with destructors in storage that it frees and hands out anew when the thread touches it again
// during its teardown, which a frame released that late would corrupt.
#include "async/framecache.h"

#include <new>

namespace quorvin::detail {

const bool framesAreCached = false;

// The 32-bit C runtime's malloc aligns to 8 bytes only, less than the compiler assumes of the
// blocks that operator new gives a frame; the aligned form keeps its promise on every target.
constexpr std::align_val_t frameAlignment{__STDCPP_DEFAULT_NEW_ALIGNMENT__};

void* allocateFrame(std::size_t size) {
    return ::operator new(size, frameAlignment);
}

void releaseFrame(void* frame, std::size_t /*size*/) noexcept {
    ::operator delete(frame, frameAlignment);
}

} // namespace quorvin::detail
