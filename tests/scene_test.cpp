#include "sim/scene.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

using irsim::Scene;

const Scene kDefault{160, 120, 3000, 4400, 3700};

std::vector<unsigned char> render(const Scene& scene, std::uint32_t frame, int channels = 3) {
    std::vector<unsigned char> out(static_cast<std::size_t>(scene.width) * scene.height * channels);
    irsim::renderFrame(scene, frame, channels, out.data());
    return out;
}

std::uint64_t fnv1a(const std::vector<unsigned char>& bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char byte : bytes) {
        hash = (hash ^ byte) * 1099511628211ull;
    }
    return hash;
}

std::uint32_t le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

float leFloat(const unsigned char* p) {
    const std::uint32_t bits = le32(p);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// Recorded once; the same bytes must come out on every platform and build.
TEST(Scene, FramesAreTheSameBytesEverywhere) {
    EXPECT_EQ(fnv1a(render(kDefault, 0)), 16257888141374833340ull);
    EXPECT_EQ(fnv1a(render(kDefault, 11)), 16331051323510104930ull);
    EXPECT_EQ(fnv1a(render(Scene{64, 48, 2000, 4000, 3700}, 1234)), 12546444675711341326ull);
}

TEST(Scene, TheBodyMovesAndItsHotSpotIsMarked) {
    const auto first = render(kDefault, 0);
    EXPECT_NE(first, render(kDefault, 1));
    int marked = 0;
    for (std::size_t i = 0; i < first.size(); i += 3) {
        marked += first[i] == 0 && first[i + 1] == 255 && first[i + 2] == 0;
    }
    EXPECT_GT(marked, 50);
    EXPECT_LT(marked, 160 * 120 / 4);
}

TEST(Scene, AFourthChannelIsOpaqueAndTheRestMatches) {
    const auto rgb = render(kDefault, 5);
    const auto rgba = render(kDefault, 5, 4);
    for (std::size_t p = 0; p < rgb.size() / 3; ++p) {
        ASSERT_EQ(std::memcmp(&rgb[p * 3], &rgba[p * 4], 3), 0) << "pixel " << p;
        ASSERT_EQ(rgba[p * 4 + 3], 255);
    }
}

struct BoundaryCase {
    double value;
    std::int32_t unit;
    std::int32_t centiC;
};

TEST(Scene, BoundariesAreReadInTheSelectedUnit) {
    const BoundaryCase cases[] = {{30.0, irsim::kCelsius, 3000},    {37.0, irsim::kCelsius, 3700},
                                  {98.6, irsim::kFahrenheit, 3700}, {32.0, irsim::kFahrenheit, 0},
                                  {310.15, irsim::kKelvin, 3700},   {-5.5, irsim::kCelsius, -550}};
    for (const BoundaryCase& c : cases) {
        EXPECT_EQ(irsim::toCentiCelsius(c.value, c.unit), c.centiC) << c.value << " " << c.unit;
    }
}

TEST(Scene, RecordHoldsTheReadingInTheSelectedUnit) {
    const std::int32_t centiC = irsim::temperatureAt(kDefault, 11, 80, 60);
    const struct {
        std::int32_t unit;
        std::int32_t centi;
    } cases[] = {{irsim::kCelsius, centiC},
                 {irsim::kFahrenheit, centiC * 9 / 5 + 3200},
                 {irsim::kKelvin, centiC + 27315}};
    for (const auto& c : cases) {
        unsigned char area[64];
        std::memset(area, 0xAA, sizeof area);
        irsim::writeRecord(kDefault, c.unit, 11, 80, 60, area);
        EXPECT_FLOAT_EQ(leFloat(area), static_cast<float>(c.centi) / 100.0f);
        EXPECT_EQ(static_cast<std::int32_t>(le32(area + 4)), c.centi);
        EXPECT_EQ(le32(area + 8), 80u);
        EXPECT_EQ(le32(area + 12), 60u);
        EXPECT_EQ(le32(area + 16), 11u);
        EXPECT_EQ(area[20], c.unit);
        EXPECT_EQ(area[21], irsim::kValid);
        EXPECT_EQ(area[22], centiC >= 3700 ? 1 : 0);
        EXPECT_EQ(area[23], 0);
        EXPECT_EQ(area[irsim::kRecordSize], 0xAA) << "wrote past the record";
    }
}

TEST(Scene, TheHotSpotRaisesTheAlarmFlag) {
    // Search frame 0 for a marked pixel and read it.
    const auto frame = render(kDefault, 0);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 160; ++x) {
            const unsigned char* p = &frame[(static_cast<std::size_t>(y) * 160 + x) * 3];
            if (p[0] == 0 && p[1] == 255 && p[2] == 0) {
                unsigned char area[64] = {};
                irsim::writeRecord(kDefault, irsim::kCelsius, 0, x, y, area);
                EXPECT_EQ(area[22], 1);
                EXPECT_GE(static_cast<std::int32_t>(le32(area + 4)), 3700);
                return;
            }
        }
    }
    FAIL() << "no marked pixel";
}

TEST(Scene, PointsOutsideTheFrameAndReadingsBeforeAnyFrameAreFlagged) {
    const struct {
        std::int32_t x, y;
        std::int64_t frame;
        std::uint8_t status;
    } cases[] = {{160, 60, 3, irsim::kOutsideFrame},
                 {-1, 0, 3, irsim::kOutsideFrame},
                 {0, 120, 3, irsim::kOutsideFrame},
                 {80, 60, -1, irsim::kNoFrameYet}};
    for (const auto& c : cases) {
        unsigned char area[64];
        std::memset(area, 0xAA, sizeof area);
        irsim::writeRecord(kDefault, irsim::kKelvin, c.frame, c.x, c.y, area);
        EXPECT_EQ(area[21], c.status);
        EXPECT_EQ(static_cast<std::int32_t>(le32(area + 8)), c.x);
        EXPECT_EQ(static_cast<std::int32_t>(le32(area + 12)), c.y);
        EXPECT_EQ(area[20], irsim::kKelvin);
        EXPECT_EQ(le32(area), 0u);
        EXPECT_EQ(le32(area + 4), 0u);
        EXPECT_EQ(le32(area + 16), 0u);
        EXPECT_EQ(area[22], 0);
        EXPECT_EQ(area[irsim::kRecordSize], 0xAA);
    }
}

} // namespace
