// The simulated camera's settings, read once from IRSIM_* environment
// variables. A bad value is reported on standard error and replaced.
#pragma once

#include <cstdint>

namespace irsim {

enum class Fault : std::uint8_t {
    kNullData,
    kZeroFirst,
    kZeroSecond,
    kNegativeFirst,
    kNegativeSecond,
    kChannels,
};
constexpr int kFaultKinds = 6;

struct Settings {
    std::int32_t fps = 25;
    std::int32_t width = 160;
    std::int32_t height = 120;
    std::int64_t frames = -1; // deliveries before going quiet; -1 = until Stop
    std::int32_t threads = 1;
    std::int32_t startResult = 1;
    Fault faults[kFaultKinds] = {};
    std::int32_t faultCount = 0;
    std::int32_t faultEvery = 3;
    const char* trace = nullptr;  // file that records every entry-point call
    const char* replay = nullptr; // directory of reference frames to deliver
    bool sizeGiven = false;       // IRSIM_SIZE was set to a valid size
};

// Parses the environment; `report` receives one line per bad value.
Settings readSettings(void (*report)(const char* line));

} // namespace irsim
