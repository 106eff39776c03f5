#include "frame_sink.h"

#include <cstdio>

std::atomic<std::int32_t> g_frames{0};
std::atomic<std::int32_t> g_saved{0};

namespace {

bool isAcceptable(const unsigned char* data, std::int32_t first, std::int32_t second,
                  std::int32_t channels) {
    return data != nullptr && first > 0 && second > 0 && channels == 3;
}

// Takes the next file index, or -1 once ten are used. The compare-exchange
// makes test and increment one step, so concurrent deliveries never share an
// index and never exceed ten files.
std::int32_t reserveSaveIndex() {
    std::int32_t index = g_saved.load();
    while (index < kMaxSavedFrames && !g_saved.compare_exchange_weak(index, index + 1)) {
    }
    return index < kMaxSavedFrames ? index : -1;
}

// A short write or a failed close would leave a truncated file that looks
// like a real reference frame, so such a file is removed.
void saveFrame(std::int32_t index, const unsigned char* data, std::uint64_t length) {
    char name[128];
    std::snprintf(name, sizeof name, "official_ir_%02d.rgb", static_cast<int>(index));
    std::FILE* file = std::fopen(name, "wb");
    if (file == nullptr) {
        return;
    }
    const auto size = static_cast<std::size_t>(length);
    const bool written = std::fwrite(data, 1, size, file) == size;
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        std::remove(name);
    }
}

} // namespace

void onIR(const unsigned char* data, std::int32_t first, std::int32_t second,
          std::int32_t channels) {
    if (isAcceptable(data, first, second, channels)) {
        const std::int32_t index = reserveSaveIndex();
        if (index >= 0) {
            saveFrame(index, data,
                      static_cast<std::uint64_t>(first) * static_cast<std::uint64_t>(second) * 3u);
        }
    }
    g_frames.fetch_add(1);
}
