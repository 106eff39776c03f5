#include "settings.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace irsim {
namespace {

using Report = void (*)(const char* line);

struct FaultName {
    const char* name;
    Fault fault;
};
constexpr FaultName kFaultNames[kFaultKinds] = {
    {"null", Fault::kNullData},
    {"zero-first", Fault::kZeroFirst},
    {"zero-second", Fault::kZeroSecond},
    {"negative-first", Fault::kNegativeFirst},
    {"negative-second", Fault::kNegativeSecond},
    {"channels", Fault::kChannels},
};

void complain(Report report, const char* variable, const char* value, const char* expected,
              const char* usedInstead) {
    char line[512];
    std::snprintf(line, sizeof line, "ThermalSDK simulator: %s=\"%s\" is not %s; using %s\n",
                  variable, value, expected, usedInstead);
    report(line);
}

// A whole decimal number filling all of `text`, within [min, max].
bool parseNumber(const char* text, std::int64_t min, std::int64_t max, std::int64_t* out) {
    if (text[0] == '\0' || text[0] == ' ') {
        return false;
    }
    char* end = nullptr;
    errno = 0;
    const long long value = std::strtoll(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < min || value > max) {
        return false;
    }
    *out = value;
    return true;
}

void readNumber(Report report, const char* variable, std::int64_t min, std::int64_t max,
                std::int32_t* value) {
    const char* text = std::getenv(variable);
    std::int64_t parsed = 0;
    if (text == nullptr) {
        return;
    }
    if (parseNumber(text, min, max, &parsed)) {
        *value = static_cast<std::int32_t>(parsed);
        return;
    }
    char expected[64];
    char instead[32];
    std::snprintf(expected, sizeof expected, "a whole number from %lld to %lld",
                  static_cast<long long>(min), static_cast<long long>(max));
    std::snprintf(instead, sizeof instead, "%d", static_cast<int>(*value));
    complain(report, variable, text, expected, instead);
}

void readFrames(Report report, Settings* settings) {
    const char* text = std::getenv("IRSIM_FRAMES");
    std::int64_t parsed = 0;
    if (text == nullptr) {
        return;
    }
    if (parseNumber(text, 0, 1000000000, &parsed)) {
        settings->frames = parsed;
        return;
    }
    complain(report, "IRSIM_FRAMES", text, "a whole number from 0 to 1000000000",
             "no limit (until Stop)");
}

void readSize(Report report, Settings* settings) {
    const char* text = std::getenv("IRSIM_SIZE");
    if (text == nullptr) {
        return;
    }
    char width[16] = "";
    const char* cross = std::strpbrk(text, "xX");
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (cross != nullptr && static_cast<std::size_t>(cross - text) < sizeof width) {
        std::memcpy(width, text, static_cast<std::size_t>(cross - text));
        width[cross - text] = '\0';
        if (parseNumber(width, 1, 4096, &w) && parseNumber(cross + 1, 1, 4096, &h)) {
            settings->width = static_cast<std::int32_t>(w);
            settings->height = static_cast<std::int32_t>(h);
            settings->sizeGiven = true;
            return;
        }
    }
    char instead[32];
    std::snprintf(instead, sizeof instead, "%dx%d", static_cast<int>(settings->width),
                  static_cast<int>(settings->height));
    complain(report, "IRSIM_SIZE", text, "WxH with each side from 1 to 4096", instead);
}

void readFaults(Report report, Settings* settings) {
    const char* text = std::getenv("IRSIM_FAULT");
    if (text == nullptr || text[0] == '\0') {
        return;
    }
    const char* item = text;
    while (*item != '\0') {
        const char* comma = std::strchr(item, ',');
        const std::size_t length =
            comma != nullptr ? static_cast<std::size_t>(comma - item) : std::strlen(item);
        bool known = false;
        for (const FaultName& name : kFaultNames) {
            if (std::strlen(name.name) == length && std::strncmp(name.name, item, length) == 0) {
                if (settings->faultCount < kFaultKinds) {
                    settings->faults[settings->faultCount++] = name.fault;
                }
                known = true;
            }
        }
        if (!known) {
            char unknown[64];
            std::snprintf(unknown, sizeof unknown, "%.*s",
                          static_cast<int>(length < 60 ? length : 60), item);
            complain(report, "IRSIM_FAULT", unknown,
                     "one of null, zero-first, zero-second, negative-first, negative-second, "
                     "channels",
                     "no fault in its place");
        }
        item += length;
        if (*item == ',') {
            ++item;
        }
    }
}

const char* nonEmpty(const char* text) {
    return text != nullptr && text[0] != '\0' ? text : nullptr;
}

} // namespace

Settings readSettings(Report report) {
    Settings settings;
    readNumber(report, "IRSIM_FPS", 1, 1000, &settings.fps);
    readSize(report, &settings);
    readFrames(report, &settings);
    readNumber(report, "IRSIM_THREADS", 1, 64, &settings.threads);
    readNumber(report, "IRSIM_START", 0, 255, &settings.startResult);
    readFaults(report, &settings);
    readNumber(report, "IRSIM_FAULT_EVERY", 1, 1000000, &settings.faultEvery);
    settings.trace = nonEmpty(std::getenv("IRSIM_TRACE"));
    settings.replay = nonEmpty(std::getenv("IRSIM_REPLAY"));
    return settings;
}

} // namespace irsim
