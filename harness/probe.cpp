#include "harness/harness.h"

#include <cstdio>
#include <cstring>

namespace {

struct ProbePoint {
    std::int32_t x;
    std::int32_t y;
};

constexpr ProbePoint kProbePoints[] = {{80, 60}, {40, 40}, {120, 80},
                                       {80, 30}, {30, 90}, {130, 100}};
constexpr int kShownBytes = 32;
constexpr std::uint32_t kProbePauseMs = 100;

} // namespace

void probePoints(ReadTemperatureAtPointFn readTemperatureAtPoint, SleepFn sleep) {
    unsigned char result[kTemperatureResultSize];
    for (const ProbePoint& point : kProbePoints) {
        // Zeroed every time, so nothing of one result shows in the next line.
        std::memset(result, 0, sizeof result);
        readTemperatureAtPoint(point.x, point.y, result);
        std::printf("temp(%d,%d): ", static_cast<int>(point.x), static_cast<int>(point.y));
        for (int i = 0; i < kShownBytes; ++i) {
            std::printf("%02x ", static_cast<unsigned>(result[i]));
        }
        std::printf("\n");
        std::fflush(stdout);
        sleep(kProbePauseMs);
    }
}
