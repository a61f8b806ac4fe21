// The coroutine frame cache: blocks are large enough, reused within their class, and released
// from another thread without harm.
#include "async/framecache.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

using namespace quorvin::detail;

TEST(FrameCache, BlocksHoldTheirSizeAndAreReusedWithinTheirClass) {
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
