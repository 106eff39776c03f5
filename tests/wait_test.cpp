#include "capture/frame_sink.h"
#include "harness/harness.h"

#include <gtest/gtest.h>

namespace {

// A fake clock: sleeping advances it, and frames may arrive after a given
// number of sleeps.
std::uint32_t g_now = 0;
std::uint32_t g_step = 100;
int g_sleeps = 0;
int g_framesArriveAfter = -1;

std::uint32_t fakeTick() {
    return g_now;
}

void fakeSleep(std::uint32_t ms) {
    EXPECT_EQ(ms, 100u);
    g_now += g_step;
    if (++g_sleeps == g_framesArriveAfter) {
        g_frames.store(12);
    }
}

struct WaitCase {
    const char* name;
    std::uint32_t start;
    std::uint32_t step; // how far each sleep moves the clock
    std::int32_t framesAtStart;
    int framesArriveAfter; // sleeps before the twelfth frame; -1 = never
    int expectedSleeps;
};

class WaitForFrames : public ::testing::TestWithParam<WaitCase> {};

TEST_P(WaitForFrames, EndsOnTheTwelfthFrameOrAfterTwelveSeconds) {
    const WaitCase& c = GetParam();
    g_now = c.start;
    g_step = c.step;
    g_sleeps = 0;
    g_framesArriveAfter = c.framesArriveAfter;
    g_frames.store(c.framesAtStart);

    waitForFrames(fakeTick, fakeSleep);

    EXPECT_EQ(g_sleeps, c.expectedSleeps);
    g_frames.store(0);
}

INSTANTIATE_TEST_SUITE_P(Cases, WaitForFrames,
                         ::testing::Values(
                             // Twelve already counted: no time at all.
                             WaitCase{"frames_first", 1000, 100, 12, -1, 0},
                             WaitCase{"more_than_twelve", 1000, 100, 40, -1, 0},
                             // Eleven are not enough; the limit ends it at exactly 12,000 ms.
                             WaitCase{"eleven_times_out", 1000, 100, 11, -1, 120},
                             WaitCase{"none_times_out", 0, 100, 0, -1, 120},
                             // The first time test after 12,000 ms have passed ends it.
                             WaitCase{"uneven_sleeps", 0, 101, 0, -1, 119},
                             WaitCase{"frames_after_five_polls", 0, 100, 0, 5, 5},
                             WaitCase{"frames_at_the_limit", 0, 100, 0, 120, 120},
                             // The tick wraps during the wait; the unsigned difference is right.
                             WaitCase{"tick_wraps", 0xFFFFFF00u, 100, 0, -1, 120},
                             WaitCase{"tick_wraps_frames_arrive", 0xFFFFFFF0u, 100, 3, 7, 7}),
                         [](const ::testing::TestParamInfo<WaitCase>& info) {
                             return info.param.name;
                         });

} // namespace
