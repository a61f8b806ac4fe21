// The coroutine frame cache: blocks are large enough, reused within their class, released from
// another thread without harm, bounded, given back when the loop goes idle, and safe to release
// into while a thread ends.
#include "async/framecache.h"

#include "async/asyncdispatch.h"
#include "async/asyncproc.h"

#include <gtest/gtest.h>

#include <atomic>
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

// Counts the frames of waitFor that have gone, whichever way they went.
std::atomic<int> framesGone{0};

struct CountedWhenGone {
    ~CountedWhenGone() { ++framesGone; }
};

Future<void> waitFor(Future<void> event) {
    co_await procedureName("waitFor");
    CountedWhenGone counted;
    co_await event;
}

// The pending futures that a thread's end destroys, and with them the frames waiting on them.
// They live outside thread-local storage: MinGW releases a thread's thread-local storage before
// the destructors of its thread-local objects run, so such a destructor must not read its own
// members. The test's threads run one at a time.
Future<void> eventBeforeLoop;
Future<void> eventAfterLoop;

template <Future<void>* event>
struct ClearedAtThreadEnd {
    ~ClearedAtThreadEnd() { std::exchange(*event, Future<void>()).clearCallbacks(); }
};

} // namespace

TEST(FrameCache, FramesReleasedWhileAThreadEndsGoBackSafely) {
    constexpr int rounds = 20;
    constexpr int waitsPerRound = 101;
    framesGone = 0;
    for (int round = 0; round < rounds; ++round) {
        std::thread([] {
            // One event cleared after the loop has gone (its holder was made before the loop)
            // and one cleared while the loop and its cache are still there.
            eventBeforeLoop = makeFuture<void>("before the loop");
            thread_local ClearedAtThreadEnd<&eventBeforeLoop> before;
            waitFor(eventBeforeLoop);
            currentDispatcher();
            eventAfterLoop = makeFuture<void>("after the loop");
            thread_local ClearedAtThreadEnd<&eventAfterLoop> after;
            for (int i = 0; i < 50; ++i) {
                waitFor(eventAfterLoop);
                waitFor(eventBeforeLoop);
            }
        }).join();
        EXPECT_TRUE(eventBeforeLoop.isNil() && eventAfterLoop.isNil());
    }
    EXPECT_EQ(framesGone, rounds * waitsPerRound) << "every waiting frame goes with its thread";
}
