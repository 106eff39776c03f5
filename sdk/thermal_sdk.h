// The boundary with the camera library: the entry points it exports by name
// and the frame callback it calls. Everything crossing it is opaque data.
#pragma once

#include <cstdint>

// Called by the library on its own delivery thread, once per frame, from Start
// until Stop returns. With channels == 3, data holds first * second * 3 bytes
// that stay readable until the callback returns.
using IRFrameDelegate = void (*)(const unsigned char* data, std::int32_t first, std::int32_t second,
                                 std::int32_t channels);

// Size of the area that ReadTemperatureAtPoint may write its result into.
constexpr int kTemperatureResultSize = 64;

using SetUnitModeFn = void (*)(std::int32_t mode);
using SetTempBoundaryFn = void (*)(double first, double second, double third);
using SetNewIRFrameDelegateFn = void (*)(IRFrameDelegate delegate);
using StartFn = unsigned char (*)();
using ReadTemperatureAtPointFn = void (*)(std::int32_t x, std::int32_t y, unsigned char* result);
using StopFn = void (*)();
