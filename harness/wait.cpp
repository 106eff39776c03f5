#include "capture/frame_sink.h"
#include "harness/harness.h"

namespace {
constexpr std::int32_t kFramesToWaitFor = 12;
constexpr std::uint32_t kWaitLimitMs = 12000;
constexpr std::uint32_t kPollIntervalMs = 100;
} // namespace

void waitForFrames(TickFn tick, SleepFn sleep) {
    const std::uint32_t start = tick();
    // Unsigned subtraction keeps the elapsed time right across a wrap.
    while (g_frames.load() < kFramesToWaitFor &&
           static_cast<std::uint32_t>(tick() - start) < kWaitLimitMs) {
        sleep(kPollIntervalMs);
    }
}
