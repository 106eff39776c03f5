// The frame callback handed to the camera library, and the two counters that
// the driver watches.
#pragma once

#include <atomic>
#include <cstdint>

// Deliveries seen by onIR, acceptable or not.
extern std::atomic<std::int32_t> g_frames;
// Reference-file saves attempted so far; also the index of the next file.
extern std::atomic<std::int32_t> g_saved;

constexpr std::int32_t kMaxSavedFrames = 10;

// Counts every delivery and writes the first ten acceptable frames, byte for
// byte, to "official_ir_NN.rgb" in the working directory. A file is either
// complete or absent.
void onIR(const unsigned char* data, std::int32_t first, std::int32_t second,
          std::int32_t channels);
