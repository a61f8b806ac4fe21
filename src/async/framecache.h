// Memory for coroutine frames: a per-thread cache of freed blocks in a few size classes.
//
// A server allocates and frees several frames of the same few sizes for every request; taking
// them from a short per-thread list is much cheaper than the general allocator, whose slow path
// those sizes otherwise reach once a handful of each are in use.
//
// The cache belongs to the thread's event loop: the dispatcher opens it when it is made, empties
// it whenever a loop step finds nothing to do, and closes it when it goes. A thread without an
// open cache takes every block from the allocator. Blocks are plain allocator blocks, so that any
// thread may release any of them.
#pragma once

#include <cstddef>
#include <memory>
#include <utility>

namespace quorvin::detail {

// At most this many bytes of freed blocks are kept per thread: far more than a busy loop turns
// over between two steps, and little enough to keep for good.
inline constexpr std::size_t frameCacheByteLimit = 256 * 1024;

// A block of at least `size` bytes; frames above the largest class come from the allocator.
void* allocateFrame(std::size_t size);
// Gives back a block from allocateFrame with the same size, on any thread.
void releaseFrame(void* frame, std::size_t size) noexcept;

// Starts keeping freed blocks on this thread; nothing if it does already.
void openFrameCache();
// Gives every kept block back to the allocator and keeps no more.
void closeFrameCache() noexcept;
// Gives every kept block back to the allocator; the cache stays open.
void trimFrameCache() noexcept;
// The bytes of freed blocks this thread keeps.
std::size_t cachedFrameBytes() noexcept;

// An allocator over the frame cache, for the small shared objects (futures and suspended frames)
// that every step of a procedure makes and drops.
template <class T>
struct CachedAllocator {
    using value_type = T;
    CachedAllocator() = default;
    template <class U>
    CachedAllocator(const CachedAllocator<U>& /*other*/) noexcept {}
    T* allocate(std::size_t count) { return static_cast<T*>(allocateFrame(count * sizeof(T))); }
    void deallocate(T* block, std::size_t count) noexcept {
        releaseFrame(block, count * sizeof(T));
    }
    template <class U>
    bool operator==(const CachedAllocator<U>& /*other*/) const noexcept {
        return true;
    }
};

// A base for the small objects made for every operation: made with new, they come from the
// frame cache instead of the general allocator.
struct FromFrameCache {
    static void* operator new(std::size_t size) { return allocateFrame(size); }
    static void operator delete(void* block, std::size_t size) noexcept {
        releaseFrame(block, size);
    }
};

// A callable whose block, where std::function keeps it on the heap, comes from the frame cache.
template <class F>
struct CachedCallable : FromFrameCache {
    F call;
    template <class... Args>
    decltype(auto) operator()(Args&&... args) {
        return call(std::forward<Args>(args)...);
    }
};

template <class F>
CachedCallable<std::decay_t<F>> cachedCallable(F&& call) {
    return {{}, std::forward<F>(call)};
}

template <class T, class... Args>
std::shared_ptr<T> makeCached(Args&&... args) {
    return std::allocate_shared<T>(CachedAllocator<T>{}, std::forward<Args>(args)...);
}

} // namespace quorvin::detail
