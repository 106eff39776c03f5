// The simulated camera's thermal scene: a warm body with a hotter spot, moving
// slowly over a cooler background. Everything here is integer arithmetic on
// the frame index, so the same settings give the same bytes everywhere.
#pragma once

#include <cstdint>

namespace irsim {

enum UnitMode : std::int32_t { kCelsius = 0, kFahrenheit = 1, kKelvin = 2 };

struct Scene {
    std::int32_t width;
    std::int32_t height;
    // Boundaries in hundredths of a degree Celsius.
    std::int32_t lowCentiC;
    std::int32_t highCentiC;
    std::int32_t alarmCentiC;
};

// A boundary given in the selected unit, in hundredths of a degree Celsius.
std::int32_t toCentiCelsius(double value, std::int32_t unitMode);

// Hundredths of a degree Celsius at (x, y) of the given frame; the point must
// lie inside the frame.
std::int32_t temperatureAt(const Scene& scene, std::uint32_t frame, std::int32_t x, std::int32_t y);

// Renders the frame as width * height pixels, row by row from the top left,
// each `channels` bytes: R, G, B (and 255 for a fourth channel).
void renderFrame(const Scene& scene, std::uint32_t frame, int channels, unsigned char* out);

// The temperature record written at the start of a ReadTemperatureAtPoint
// result area (all little-endian):
//   0  float32  temperature in the selected unit
//   4  int32    temperature in hundredths of the selected unit
//   8  int32    x        12  int32  y
//  16  uint32   index of the frame the reading comes from
//  20  uint8    unit mode (0 Celsius, 1 Fahrenheit, 2 Kelvin)
//  21  uint8    status (0 valid, 1 point outside the frame, 2 no frame yet,
//               3 replayed frame: no temperature)
//  22  uint8    1 when the temperature is at or above the alarm boundary
//  23  uint8    0
// With status 1 or 2 the temperature, frame and alarm fields are zero; with
// status 3 the temperature and alarm fields are.
constexpr int kRecordSize = 24;
enum RecordStatus : std::uint8_t {
    kValid = 0,
    kOutsideFrame = 1,
    kNoFrameYet = 2,
    kReplayed = 3,
};

// `replayed`: the frame came from a file, so the scene's temperatures do not
// describe it.
void writeRecord(const Scene& scene, std::int32_t unitMode, std::int64_t frame, std::int32_t x,
                 std::int32_t y, unsigned char* out, bool replayed = false);

} // namespace irsim
