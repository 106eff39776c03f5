#include "replay.h"

#include <cstdio>

namespace irsim {
namespace {

constexpr int kMaxFiles = 100; // two-digit indices

void complain(void (*report)(const char* line), const char* directory, const char* problem) {
    char line[8800];
    std::snprintf(line, sizeof line,
                  "ThermalSDK simulator: IRSIM_REPLAY=\"%s\": %s; using the synthetic scene\n",
                  directory, problem);
    report(line);
}

// The whole file, or false when it cannot be read (*size -1) or does not
// hold exactly `expected` bytes (*size what it holds).
bool readWhole(const char* path, std::size_t expected, std::string* content, long* size) {
    std::FILE* file = std::fopen(path, "rb");
    *size = -1;
    if (file == nullptr) {
        return false;
    }
    bool complete = false;
    if (std::fseek(file, 0, SEEK_END) == 0 && (*size = std::ftell(file)) >= 0 &&
        static_cast<std::size_t>(*size) == expected && std::fseek(file, 0, SEEK_SET) == 0) {
        content->assign(expected, '\0');
        const std::size_t got = expected == 0 ? 0 : std::fread(&(*content)[0], 1, expected, file);
        complete = got == expected;
        *size = static_cast<long>(got);
    }
    std::fclose(file);
    return complete;
}

} // namespace

std::vector<std::string> loadReplay(const char* directory, bool sizeGiven, int width, int height,
                                    void (*report)(const char* line)) {
    std::vector<std::string> frames;
    if (!sizeGiven) {
        complain(report, directory, "IRSIM_SIZE must give the frame size (WxH)");
        return frames;
    }
    const std::size_t expected =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3u;
    for (int index = 0; index < kMaxFiles; ++index) {
        char path[4096];
        std::snprintf(path, sizeof path, "%s/official_ir_%02d.rgb", directory, index);
        std::string content;
        long size = 0;
        if (readWhole(path, expected, &content, &size)) {
            frames.push_back(std::move(content));
            continue;
        }
        if (size < 0 && index > 0) {
            break; // the end of the sequence
        }
        char problem[4200];
        if (size < 0) {
            std::snprintf(problem, sizeof problem, "no readable %s", path);
        } else {
            std::snprintf(problem, sizeof problem, "%s is %ld bytes, not %dx%dx3 = %lu", path, size,
                          width, height, static_cast<unsigned long>(expected));
        }
        complain(report, directory, problem);
        frames.clear();
        break;
    }
    return frames;
}

} // namespace irsim
