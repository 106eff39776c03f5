// The harness run and the steps that tests drive on their own.
#pragma once

#include "sdk/thermal_sdk.h"

#include <cstdint>

using TickFn = std::uint32_t (*)();
using SleepFn = void (*)(std::uint32_t milliseconds);

// Returns once g_frames exceeds 11 or more than 11,999 ms have passed on the
// given tick, polling every 100 ms.
void waitForFrames(TickFn tick, SleepFn sleep);

// Prints the first 32 bytes of the temperature result at six fixed points,
// one flushed line per point, pausing 100 ms after each.
void probePoints(ReadTemperatureAtPointFn readTemperatureAtPoint, SleepFn sleep);

// The whole run; returns the process exit status (0, 1 or 2).
int runHarness();
