// The per-thread frame cache: free lists by size class, each kept short.
#include "async/framecache.h"

#include <array>
#include <new>

namespace quorvin::detail {

namespace {

// Steps of the allocator's own granularity, so that a cached frame wastes no more than it would.
constexpr std::size_t classStep = 16;
constexpr std::size_t classCount = 128; // frames up to 2 KiB
constexpr std::size_t blocksPerClass = 128;

struct FreeBlock {
    FreeBlock* next;
};

// Set once the thread's lists are gone: frames released later in the thread's teardown (by a
// dispatcher destroyed after the lists) go straight back to the allocator.
thread_local bool listsClosed = false;

struct FreeLists {
    std::array<FreeBlock*, classCount> heads{};
    std::array<std::size_t, classCount> counts{};

    ~FreeLists() {
        listsClosed = true;
        for (FreeBlock* head : heads) {
            while (head != nullptr) {
                FreeBlock* next = head->next;
                ::operator delete(head);
                head = next;
            }
        }
    }
};

thread_local FreeLists freeLists;

std::size_t classOf(std::size_t size) {
    return (size + classStep - 1) / classStep - 1;
}

} // namespace

void* allocateFrame(std::size_t size) {
    const std::size_t sizeClass = classOf(size);
    if (sizeClass >= classCount || listsClosed) {
        return ::operator new(sizeClass >= classCount ? size : (sizeClass + 1) * classStep);
    }
    FreeBlock*& head = freeLists.heads[sizeClass];
    if (head == nullptr) {
        return ::operator new((sizeClass + 1) * classStep);
    }
    FreeBlock* block = head;
    head = block->next;
    --freeLists.counts[sizeClass];
    return block;
}

void releaseFrame(void* frame, std::size_t size) noexcept {
    const std::size_t sizeClass = classOf(size);
    if (sizeClass >= classCount || listsClosed || freeLists.counts[sizeClass] >= blocksPerClass) {
        ::operator delete(frame);
        return;
    }
    auto* block = static_cast<FreeBlock*>(frame);
    block->next = freeLists.heads[sizeClass];
    freeLists.heads[sizeClass] = block;
    ++freeLists.counts[sizeClass];
}

} // namespace quorvin::detail
