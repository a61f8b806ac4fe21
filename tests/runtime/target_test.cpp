// The build's pointer and time widths match the processor it was configured for.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <ctime>

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

TEST(Target, TimeIsWideEnoughForMomentsPast2038) {
    EXPECT_GE(sizeof(std::time_t), 8u);
}
