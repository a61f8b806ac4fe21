// The build's pointer width matches the processor it was configured for, and its timed waits
// agree with the thread library about the width of time.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <thread>

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(void*) == 4, "a 32-bit Windows build has 4-byte pointers");
#endif

TEST(Target, PointerSizeMatchesTheConfiguredProcessor) {
#ifdef QUORVIN_EXPECT_POINTER_SIZE
    EXPECT_EQ(sizeof(void*), std::size_t{QUORVIN_EXPECT_POINTER_SIZE});
    EXPECT_EQ(sizeof(std::size_t), std::size_t{QUORVIN_EXPECT_POINTER_SIZE});
#else
    GTEST_SKIP() << "no expected pointer size for this processor";
#endif
}

// A timespec compiled in another width than the thread library's makes these return at once.
TEST(Target, TimedWaitsWaitTheirTime) {
    using namespace std::chrono;
    auto start = steady_clock::now();
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_GE(steady_clock::now() - start, milliseconds(90)) << "sleep_for";

    std::mutex mutex;
    std::condition_variable never;
    std::unique_lock<std::mutex> lock(mutex);
    start = steady_clock::now();
    EXPECT_FALSE(never.wait_for(lock, milliseconds(100), [] { return false; }));
    EXPECT_GE(steady_clock::now() - start, milliseconds(90)) << "condition wait_for";
}
