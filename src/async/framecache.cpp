// The per-thread frame cache: free lists by size class, bounded, owned by the thread's event loop.
#include "async/framecache.h"

#include <array>
#include <new>
#include <utility>

namespace quorvin::detail {

namespace {

// Steps of the allocator's own granularity, so that a cached frame wastes no more than it would.
constexpr std::size_t classStep = 16;
constexpr std::size_t classCount = 128; // frames up to 2 KiB

// The 32-bit Windows C runtime's malloc aligns to 8 bytes only, less than the compiler assumes of
// the blocks that operator new gives a frame; the aligned form keeps its promise on every target.
constexpr std::align_val_t frameAlignment{__STDCPP_DEFAULT_NEW_ALIGNMENT__};

struct FreeBlock {
    FreeBlock* next;
};

struct FreeLists {
    std::array<FreeBlock*, classCount> heads{};
    std::size_t bytes = 0;
};

// The lists of the thread's event loop, which opens them when it is made and closes them when it
// goes. A plain pointer rather than an object with a destructor: while a thread ends, its
// thread-local storage may be released and handed out anew (MinGW does so), and a frame released
// that late then finds no lists and goes straight back to the allocator.
thread_local FreeLists* threadLists = nullptr;

std::size_t classOf(std::size_t size) {
    return (size + classStep - 1) / classStep - 1;
}

void* allocateBlock(std::size_t size) {
    return ::operator new(size, frameAlignment);
}

void releaseBlock(void* block) noexcept {
    ::operator delete(block, frameAlignment);
}

void emptyLists(FreeLists& lists) noexcept {
    for (FreeBlock*& head : lists.heads) {
        while (head != nullptr) {
            releaseBlock(std::exchange(head, head->next));
        }
    }
    lists.bytes = 0;
}

} // namespace

void* allocateFrame(std::size_t size) {
    const std::size_t sizeClass = classOf(size);
    if (sizeClass >= classCount) {
        return allocateBlock(size);
    }
    FreeLists* lists = threadLists;
    if (lists == nullptr || lists->heads[sizeClass] == nullptr) {
        return allocateBlock((sizeClass + 1) * classStep);
    }
    FreeBlock* block = lists->heads[sizeClass];
    lists->heads[sizeClass] = block->next;
    lists->bytes -= (sizeClass + 1) * classStep;
    return block;
}

void releaseFrame(void* frame, std::size_t size) noexcept {
    const std::size_t sizeClass = classOf(size);
    FreeLists* lists = threadLists;
    const std::size_t blockSize = (sizeClass + 1) * classStep;
    if (sizeClass >= classCount || lists == nullptr ||
        lists->bytes + blockSize > frameCacheByteLimit) {
        releaseBlock(frame);
        return;
    }
    auto* block = static_cast<FreeBlock*>(frame);
    block->next = lists->heads[sizeClass];
    lists->heads[sizeClass] = block;
    lists->bytes += blockSize;
}

void openFrameCache() {
    if (threadLists == nullptr) {
        threadLists = new FreeLists;
    }
}

void closeFrameCache() noexcept {
    FreeLists* lists = std::exchange(threadLists, nullptr);
    if (lists != nullptr) {
        emptyLists(*lists);
        delete lists;
    }
}

void trimFrameCache() noexcept {
    if (threadLists != nullptr) {
        emptyLists(*threadLists);
    }
}

std::size_t cachedFrameBytes() noexcept {
    return threadLists == nullptr ? 0 : threadLists->bytes;
}

} // namespace quorvin::detail
