#include "harness/harness.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

namespace {

std::vector<std::pair<int, int>> g_points;
std::vector<std::uint32_t> g_pauses;
bool g_areaWasZero = true;
bool g_writeAll64 = true;

// Fills the whole 64-byte area with bytes that differ per call, after
// checking that the probe zeroed it.
void fakeRead(std::int32_t x, std::int32_t y, unsigned char* area) {
    for (int i = 0; i < kTemperatureResultSize; ++i) {
        g_areaWasZero = g_areaWasZero && area[i] == 0;
    }
    const int call = static_cast<int>(g_points.size());
    g_points.emplace_back(x, y);
    const int count = g_writeAll64 ? kTemperatureResultSize : 4 * call;
    for (int i = 0; i < count; ++i) {
        area[i] = static_cast<unsigned char>(call * 0x40 + i);
    }
}

void fakeSleep(std::uint32_t ms) {
    g_pauses.push_back(ms);
}

std::string runProbe(bool writeAll64) {
    g_points.clear();
    g_pauses.clear();
    g_areaWasZero = true;
    g_writeAll64 = writeAll64;
    ::testing::internal::CaptureStdout();
    probePoints(fakeRead, fakeSleep);
    return ::testing::internal::GetCapturedStdout();
}

std::string expectedLine(int x, int y, int call, int written) {
    std::string line = "temp(" + std::to_string(x) + "," + std::to_string(y) + "): ";
    for (int i = 0; i < 32; ++i) {
        char group[8];
        std::snprintf(group, sizeof group, "%02x ", i < written ? (call * 0x40 + i) & 0xff : 0);
        line += group;
    }
    return line + "\n";
}

const std::vector<std::pair<int, int>> kPoints = {{80, 60}, {40, 40}, {120, 80},
                                                  {80, 30}, {30, 90}, {130, 100}};

TEST(PointProbe, ShowsOnlyTheFirst32BytesOfEachResult) {
    const std::string out = runProbe(true);
    std::string expected;
    for (int call = 0; call < 6; ++call) {
        expected += expectedLine(kPoints[call].first, kPoints[call].second, call, 64);
    }
    EXPECT_EQ(out, expected);
    EXPECT_EQ(g_points, kPoints);
    EXPECT_EQ(g_pauses, std::vector<std::uint32_t>(6, 100));
}

TEST(PointProbe, ZeroesTheAreaBeforeEveryPoint) {
    // Each call writes fewer bytes than the one before would have left.
    const std::string out = runProbe(false);
    EXPECT_TRUE(g_areaWasZero);
    std::string expected;
    for (int call = 0; call < 6; ++call) {
        expected += expectedLine(kPoints[call].first, kPoints[call].second, call, 4 * call);
    }
    EXPECT_EQ(out, expected);
}

void readNothing(std::int32_t, std::int32_t, unsigned char*) {}

TEST(PointProbe, AnUntouchedAreaShowsAllZeroes) {
    ::testing::internal::CaptureStdout();
    probePoints(readNothing, fakeSleep);
    const std::string out = ::testing::internal::GetCapturedStdout();
    std::string zeros;
    for (int i = 0; i < 32; ++i) {
        zeros += "00 ";
    }
    EXPECT_EQ(out.substr(0, out.find('\n')), "temp(80,60): " + zeros);
    EXPECT_EQ(out.size(), 6 * (zeros.size() + 1) + std::string("temp(80,60): temp(40,40): "
                                                               "temp(120,80): temp(80,30): "
                                                               "temp(30,90): temp(130,100): ")
                                                       .size());
}

} // namespace
