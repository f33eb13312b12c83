// The trace-pc coverage hook against a map of its own: what AFL++'s runtime
// would provide is defined here, so the hook's counting can be watched.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

extern "C" {
void __sanitizer_cov_trace_pc();
std::uint8_t* __afl_area_ptr;
__thread std::uint32_t __afl_prev_loc[8];
}

namespace {

std::array<std::uint8_t, 1 << 16> g_map;

// Two blocks at different addresses (kept apart: identical functions
// could be folded into one).
volatile int g_sink;
__attribute__((noipa)) void BlockA() {
    __sanitizer_cov_trace_pc();
    g_sink = 1;
}
__attribute__((noipa)) void BlockB() {
    __sanitizer_cov_trace_pc();
    g_sink = 2;
}

// The cells that changed since the map was cleared.
std::vector<std::size_t> Marked() {
    std::vector<std::size_t> cells;
    for (std::size_t i = 0; i < g_map.size(); ++i)
        if (g_map[i] != 0)
            cells.push_back(i);
    return cells;
}

class CTracePcTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_map.fill(0);
        __afl_area_ptr = g_map.data();
        __afl_prev_loc[0] = 0;
    }
};

TEST_F(CTracePcTest, EachBlockEntryCountsOneEdge) {
    BlockA();
    const std::vector<std::size_t> first = Marked();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(g_map[first[0]], 1);

    // The same edge again (same block, same block before it) counts up.
    __afl_prev_loc[0] = 0;
    BlockA();
    EXPECT_EQ(Marked(), first);
    EXPECT_EQ(g_map[first[0]], 2);

    // Another block is another edge.
    __afl_prev_loc[0] = 0;
    BlockB();
    EXPECT_EQ(Marked().size(), 2u);
}

TEST_F(CTracePcTest, TheEdgeDependsOnTheBlockBefore) {
    // A after B and A after A are different edges.
    BlockB();
    BlockA();
    const std::vector<std::size_t> afterB = Marked();
    g_map.fill(0);
    __afl_prev_loc[0] = 0;
    BlockA();
    const std::uint32_t prevA = __afl_prev_loc[0];
    g_map.fill(0);
    BlockA();
    const std::vector<std::size_t> afterA = Marked();
    ASSERT_EQ(afterA.size(), 1u);
    EXPECT_EQ(std::count(afterB.begin(), afterB.end(), afterA[0]), 0);
    // What is remembered is the block's id halved, so A then A is no zero edge.
    EXPECT_NE(prevA, 0u);
    EXPECT_NE(afterA[0], 0u);
}

TEST_F(CTracePcTest, ACountNeverWrapsToZero) {
    BlockA();
    const std::size_t cell = Marked().at(0);
    g_map[cell] = 255;
    __afl_prev_loc[0] = 0;
    BlockA();
    EXPECT_EQ(g_map[cell], 1);
}

}  // namespace
