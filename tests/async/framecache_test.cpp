// The coroutine frame cache: blocks are large enough, reused within their class, released from
// another thread without harm, bounded, given back when the loop goes idle, and safe to release
// into while a thread ends.
#include "async/framecache.h"

#include "async/asyncdispatch.h"
#include "async/asyncproc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

using namespace quorvin;
using namespace quorvin::detail;

TEST(FrameCache, BlocksHoldTheirSizeAndAreReusedWithinTheirClass) {
    openFrameCache();
    for (std::size_t size : {1u, 15u, 16u, 17u, 200u, 2048u, 2049u, 70000u}) {
        void* block = allocateFrame(size);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % __STDCPP_DEFAULT_NEW_ALIGNMENT__, 0u);
        std::memset(block, 0xAB, size);
        releaseFrame(block, size);
    }
    // A freed block comes back for the next frame of the same class.
    void* first = allocateFrame(300);
    releaseFrame(first, 300);
    void* again = allocateFrame(290);
    EXPECT_EQ(again, first);
    releaseFrame(again, 290);
}

TEST(FrameCache, ManyLiveFramesAndAReleaseOnAnotherThread) {
    std::vector<void*> blocks;
    for (int i = 0; i < 1000; ++i) {
        blocks.push_back(allocateFrame(64 + i % 512));
        std::memset(blocks.back(), i & 0xFF, 64 + i % 512);
    }
    std::thread other([&blocks] {
        for (std::size_t i = 0; i < blocks.size(); i += 2) {
            releaseFrame(blocks[i], 64 + i % 512);
        }
    });
    other.join();
    for (std::size_t i = 1; i < blocks.size(); i += 2) {
        releaseFrame(blocks[i], 64 + i % 512);
    }
}

TEST(FrameCache, KeepsABoundedAmountAndGivesItBackWhenTheLoopIsIdle) {
    currentDispatcher(); // the loop opens the thread's cache
    // A burst: many frames of every size alive at once, then all released.
    std::vector<std::pair<void*, std::size_t>> blocks;
    for (std::size_t size = 16; size <= 2048; size += 16) {
        for (int i = 0; i < 200; ++i) {
            blocks.emplace_back(allocateFrame(size), size);
        }
    }
    for (auto [block, size] : blocks) {
        releaseFrame(block, size);
    }
    EXPECT_GT(cachedFrameBytes(), 0u);
    EXPECT_LE(cachedFrameBytes(), frameCacheByteLimit);

    Future<void> far = sleepAsync(60000); // something for the loop to wait on
    EXPECT_FALSE(runOnce(0)) << "nothing to do";
    EXPECT_EQ(cachedFrameBytes(), 0u) << "an idle step empties the cache";
    far.complete();
    runOnce(0);
}

namespace {

Future<void> waitFor(Future<void> event) {
    co_await procedureName("waitFor");
    co_await event;
}

// A procedure's pending future that the thread's end destroys, and with it the waiting frame.
struct PendingAtExit {
    Future<void> event = makeFuture<void>("event");
    ~PendingAtExit() { event.clearCallbacks(); }
};

} // namespace

TEST(FrameCache, FramesReleasedWhileAThreadEndsGoBackSafely) {
    for (int round = 0; round < 20; ++round) {
        std::thread([] {
            // One holder made before the loop (so destroyed after it, once its cache has gone)
            // and one after (destroyed while the cache is still open).
            thread_local PendingAtExit before;
            waitFor(before.event);
            currentDispatcher();
            thread_local PendingAtExit after;
            for (int i = 0; i < 50; ++i) {
                waitFor(after.event);
                waitFor(before.event);
            }
        }).join();
    }
}
