#include "scene.h"

#include <cmath>
#include <cstring>

namespace irsim {
namespace {

constexpr std::int32_t kBackgroundCentiC = 2200;
constexpr std::int32_t kBodyCoreCentiC = 3650;
constexpr std::int32_t kBodyEdgeDropCentiC = 350;
constexpr std::int32_t kHotSpotCentiC = 3820;
constexpr std::int32_t kHotSpotDropCentiC = 150;
constexpr std::int32_t kOne = 1024; // fixed-point unit for distances

// A triangle wave from -amplitude to +amplitude over `period` frames.
std::int32_t triangle(std::uint32_t frame, std::uint32_t period, std::int32_t amplitude) {
    const auto phase = static_cast<std::int64_t>(frame % period);
    const std::int64_t half = period / 2;
    const std::int64_t ramp = phase < half ? phase : period - phase; // 0..half
    return static_cast<std::int32_t>((ramp * 2 * amplitude) / half - amplitude);
}

std::uint32_t hash(std::uint32_t x, std::uint32_t y, std::uint32_t frame) {
    std::uint32_t h = x * 0x9E3779B1u ^ y * 0x85EBCA77u ^ frame * 0xC2B2AE3Du;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    return h;
}

// Squared distance from the centre of an ellipse, in kOne units: below kOne
// inside it.
std::int64_t ellipseDistance(std::int64_t dx, std::int64_t dy, std::int64_t rx, std::int64_t ry) {
    return (dx * dx * kOne) / (rx * rx) + (dy * dy * kOne) / (ry * ry);
}

struct Body {
    std::int32_t cx, cy, rx, ry; // the body
    std::int32_t hx, hy, hr;     // the hot spot on it
};

Body bodyAt(const Scene& scene, std::uint32_t frame) {
    Body body{};
    body.rx = scene.width / 6 > 1 ? scene.width / 6 : 1;
    body.ry = scene.height / 3 > 1 ? scene.height / 3 : 1;
    body.cx = scene.width / 2 + triangle(frame, 200, scene.width / 4);
    body.cy = scene.height / 2 + triangle(frame, 150, scene.height / 12);
    body.hr = body.rx / 2 > 1 ? body.rx / 2 : 1;
    body.hx = body.cx;
    body.hy = body.cy - (body.ry * 2) / 3;
    return body;
}

std::int32_t temperatureWith(const Scene& scene, const Body& body, std::uint32_t frame,
                             std::int32_t x, std::int32_t y) {
    const auto noise =
        static_cast<std::int32_t>(
            hash(static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), frame) % 21u) -
        10;
    const std::int64_t hot = ellipseDistance(x - body.hx, y - body.hy, body.hr, body.hr);
    if (hot < kOne) {
        return kHotSpotCentiC - static_cast<std::int32_t>(hot * kHotSpotDropCentiC / kOne) + noise;
    }
    const std::int64_t inBody = ellipseDistance(x - body.cx, y - body.cy, body.rx, body.ry);
    if (inBody < kOne) {
        return kBodyCoreCentiC - static_cast<std::int32_t>(inBody * kBodyEdgeDropCentiC / kOne) +
               noise;
    }
    // A cooler room, slightly warmer towards the floor.
    return kBackgroundCentiC + (y * 150) / (scene.height > 0 ? scene.height : 1) + noise;
}

struct Rgb {
    std::int32_t r, g, b;
};

// An "iron" false-colour ramp, from dark blue through purple and orange to
// white, indexed 0..255.
constexpr Rgb kRampStops[] = {{0, 0, 40},    {60, 0, 140},   {180, 0, 150},
                              {255, 110, 0}, {255, 210, 40}, {255, 255, 255}};
constexpr std::int32_t kRampSegments = 5;
constexpr Rgb kAlarmColour = {0, 255, 0};

Rgb rampColour(std::int32_t index) {
    const std::int32_t scaled = index * kRampSegments; // 0..1275
    std::int32_t segment = scaled / 255;
    if (segment >= kRampSegments) {
        segment = kRampSegments - 1;
    }
    const std::int32_t within = scaled - segment * 255; // 0..255
    const Rgb& a = kRampStops[segment];
    const Rgb& b = kRampStops[segment + 1];
    return {a.r + (b.r - a.r) * within / 255, a.g + (b.g - a.g) * within / 255,
            a.b + (b.b - a.b) * within / 255};
}

Rgb falseColour(const Scene& scene, std::int32_t centiC) {
    if (centiC >= scene.alarmCentiC) {
        return kAlarmColour;
    }
    const std::int32_t span = scene.highCentiC - scene.lowCentiC;
    if (span <= 0) {
        return rampColour(centiC >= scene.highCentiC ? 255 : 0);
    }
    std::int64_t index = (static_cast<std::int64_t>(centiC) - scene.lowCentiC) * 255 / span;
    index = index < 0 ? 0 : (index > 255 ? 255 : index);
    return rampColour(static_cast<std::int32_t>(index));
}

void putLe32(unsigned char* out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

std::int32_t inUnit(std::int32_t centiC, std::int32_t unitMode) {
    switch (unitMode) {
    case kFahrenheit:
        return centiC * 9 / 5 + 3200;
    case kKelvin:
        return centiC + 27315;
    default:
        return centiC;
    }
}

} // namespace

std::int32_t toCentiCelsius(double value, std::int32_t unitMode) {
    double celsius = value;
    if (unitMode == kFahrenheit) {
        celsius = (value - 32.0) * 5.0 / 9.0;
    } else if (unitMode == kKelvin) {
        celsius = value - 273.15;
    }
    const double centi = std::round(celsius * 100.0);
    if (!(centi > -1e9 && centi < 1e9)) {
        return centi > 0 ? 1000000000 : -1000000000;
    }
    return static_cast<std::int32_t>(centi);
}

std::int32_t temperatureAt(const Scene& scene, std::uint32_t frame, std::int32_t x,
                           std::int32_t y) {
    return temperatureWith(scene, bodyAt(scene, frame), frame, x, y);
}

void renderFrame(const Scene& scene, std::uint32_t frame, int channels, unsigned char* out) {
    const Body body = bodyAt(scene, frame);
    for (std::int32_t y = 0; y < scene.height; ++y) {
        for (std::int32_t x = 0; x < scene.width; ++x) {
            const Rgb colour = falseColour(scene, temperatureWith(scene, body, frame, x, y));
            out[0] = static_cast<unsigned char>(colour.r);
            out[1] = static_cast<unsigned char>(colour.g);
            out[2] = static_cast<unsigned char>(colour.b);
            if (channels > 3) {
                std::memset(out + 3, 255, static_cast<std::size_t>(channels - 3));
            }
            out += channels;
        }
    }
}

void writeRecord(const Scene& scene, std::int32_t unitMode, std::int64_t frame, std::int32_t x,
                 std::int32_t y, unsigned char* out, bool replayed) {
    std::memset(out, 0, kRecordSize);
    putLe32(out + 8, static_cast<std::uint32_t>(x));
    putLe32(out + 12, static_cast<std::uint32_t>(y));
    out[20] = static_cast<unsigned char>(unitMode);
    if (x < 0 || y < 0 || x >= scene.width || y >= scene.height) {
        out[21] = kOutsideFrame;
        return;
    }
    if (frame < 0) {
        out[21] = kNoFrameYet;
        return;
    }
    const auto index = static_cast<std::uint32_t>(frame);
    if (replayed) {
        putLe32(out + 16, index);
        out[21] = kReplayed;
        return;
    }
    const std::int32_t centiC = temperatureAt(scene, index, x, y);
    const std::int32_t centi = inUnit(centiC, unitMode);
    // An exact integer divided once: the same float on every IEEE platform.
    const float value = static_cast<float>(centi) / 100.0f;
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    putLe32(out, bits);
    putLe32(out + 4, static_cast<std::uint32_t>(centi));
    putLe32(out + 16, index);
    out[21] = kValid;
    out[22] = centiC >= scene.alarmCentiC ? 1 : 0;
}

} // namespace irsim
