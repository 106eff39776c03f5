// The simulated ThermalSDK library: the six entry points, a paced delivery
// thread (or several) and a synthetic scene.
#include "replay.h"
#include "scene.h"
#include "sdk/thermal_sdk.h"
#include "settings.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

// Each entry point is declared with IRSIM_EXPORT_<name>, which the build sets
// to IRSIM_PUBLIC, or to IRSIM_PRIVATE in a variant that leaves it out.
#if defined(_WIN32)
#define IRSIM_PUBLIC extern "C" __declspec(dllexport)
#else
#define IRSIM_PUBLIC extern "C" __attribute__((visibility("default")))
#endif
#define IRSIM_PRIVATE extern "C"

namespace irsim {
namespace {

using Clock = std::chrono::steady_clock;

struct Camera {
    std::mutex control; // serialises the entry points
    Settings settings;
    std::int32_t unitMode = kCelsius;
    double boundaries[3] = {20.0, 40.0, 37.0};
    std::atomic<IRFrameDelegate> delegate{nullptr};

    bool running = false;
    Scene scene{};
    // Frames read from IRSIM_REPLAY, once; empty for the synthetic scene.
    std::vector<std::string> replay;
    bool replayLoaded = false;
    Clock::time_point startTime;
    std::atomic<std::uint64_t> nextIndex{0};
    std::atomic<std::int64_t> latestIndex{-1};
    std::atomic<std::int64_t> delivered{0};

    std::mutex wakeLock;
    std::condition_variable wake;
    bool stopping = false;
    std::vector<std::thread> threads;
};

void reportToStderr(const char* line) {
    std::fputs(line, stderr);
    std::fflush(stderr);
}

std::atomic<Camera*> g_camera{nullptr};

// Never destroyed: a delivery thread may still be running when the process
// exits without Stop (on Windows the system ends it only then), and must not
// find its state gone.
Camera& camera() {
    static Camera* instance = [] {
        auto* created = new Camera;
        created->settings = readSettings(reportToStderr);
        g_camera.store(created);
        return created;
    }();
    return *instance;
}

// Ends delivery and waits for every delivery thread; no frame arrives after.
void stopDelivery(Camera& cam) {
    {
        std::lock_guard<std::mutex> wakeLock(cam.wakeLock);
        cam.stopping = true;
    }
    cam.wake.notify_all();
    for (std::thread& thread : cam.threads) {
        thread.join();
    }
    cam.threads.clear();
    cam.running = false;
}

#if !defined(_WIN32)
// A host that exits without calling Stop: delivery ends before the process
// is torn down, so no frame reaches a half-destroyed host.
struct StopAtExit {
    ~StopAtExit() {
        if (Camera* cam = g_camera.load()) {
            std::lock_guard<std::mutex> lock(cam->control);
            stopDelivery(*cam);
        }
    }
} g_stopAtExit;
#endif

// How much the host's standard output holds right now: lets a test see what
// the host had flushed at the moment of each call.
long long stdoutSize() {
    struct stat info {};
    return fstat(1, &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

// Appends one line for an entry-point call to the IRSIM_TRACE file.
void trace(const Camera& cam, const char* format, ...) {
    if (cam.settings.trace == nullptr) {
        return;
    }
    std::FILE* file = std::fopen(cam.settings.trace, "a");
    if (file == nullptr) {
        return;
    }
    va_list args;
    va_start(args, format);
    std::vfprintf(file, format, args);
    va_end(args);
    std::fprintf(file, " stdout=%lld\n", stdoutSize());
    std::fclose(file);
}

Scene currentScene(const Camera& cam) {
    return Scene{cam.settings.width, cam.settings.height,
                 toCentiCelsius(cam.boundaries[0], cam.unitMode),
                 toCentiCelsius(cam.boundaries[1], cam.unitMode),
                 toCentiCelsius(cam.boundaries[2], cam.unitMode)};
}

bool faultAt(const Settings& settings, std::uint64_t index, Fault* fault) {
    if (settings.faultCount == 0) {
        return false;
    }
    const auto every = static_cast<std::uint64_t>(settings.faultEvery);
    if (index % every != every - 1) {
        return false;
    }
    *fault = settings.faults[(index / every) % static_cast<std::uint64_t>(settings.faultCount)];
    return true;
}

// The bytes of frame `index` with 3 or 4 channels: a replayed frame as it
// stands (or widened into `buffer`), else the scene rendered into `buffer`.
const unsigned char* frameBytes(const Camera& cam, std::uint64_t index, int channels,
                                unsigned char* buffer) {
    if (cam.replay.empty()) {
        renderFrame(cam.scene, static_cast<std::uint32_t>(index), channels, buffer);
        return buffer;
    }
    const std::string& frame = cam.replay[index % cam.replay.size()];
    const auto* rgb = reinterpret_cast<const unsigned char*>(frame.data());
    if (channels == 3) {
        return rgb;
    }
    for (std::size_t pixel = 0; pixel < frame.size() / 3; ++pixel) {
        std::memcpy(buffer + pixel * 4, rgb + pixel * 3, 3);
        buffer[pixel * 4 + 3] = 255;
    }
    return buffer;
}

void deliver(Camera& cam, std::uint64_t index, unsigned char* buffer) {
    const IRFrameDelegate delegate = cam.delegate.load();
    if (delegate == nullptr) {
        return;
    }
    std::int64_t latest = cam.latestIndex.load();
    while (latest < static_cast<std::int64_t>(index) &&
           !cam.latestIndex.compare_exchange_weak(latest, static_cast<std::int64_t>(index))) {
    }
    const std::int32_t w = cam.scene.width;
    const std::int32_t h = cam.scene.height;
    Fault fault{};
    cam.delivered.fetch_add(1);
    if (!faultAt(cam.settings, index, &fault)) {
        delegate(frameBytes(cam, index, 3, buffer), w, h, 3);
        return;
    }
    switch (fault) {
    case Fault::kNullData:
        delegate(nullptr, w, h, 3);
        break;
    case Fault::kZeroFirst:
    case Fault::kZeroSecond:
    case Fault::kNegativeFirst:
    case Fault::kNegativeSecond: {
        const unsigned char* data = frameBytes(cam, index, 3, buffer);
        const bool first = fault == Fault::kZeroFirst || fault == Fault::kNegativeFirst;
        const bool zero = fault == Fault::kZeroFirst || fault == Fault::kZeroSecond;
        const std::int32_t bad = zero ? 0 : -(first ? w : h);
        delegate(data, first ? bad : w, first ? h : bad, 3);
        break;
    }
    case Fault::kChannels:
        delegate(frameBytes(cam, index, 4, buffer), w, h, 4);
        break;
    }
}

// Each thread claims frame indices in turn; with T threads, T deliveries are
// due at every tick of the frame clock, so they really do overlap.
void deliveryLoop(Camera& cam) {
    const Settings& settings = cam.settings;
    std::vector<unsigned char> buffer(static_cast<std::size_t>(cam.scene.width) *
                                      static_cast<std::size_t>(cam.scene.height) * 4u);
    for (;;) {
        const std::uint64_t index = cam.nextIndex.fetch_add(1);
        if (settings.frames >= 0 && index >= static_cast<std::uint64_t>(settings.frames)) {
            return;
        }
        const std::uint64_t tick = index / static_cast<std::uint64_t>(settings.threads);
        const auto due =
            cam.startTime +
            std::chrono::microseconds(tick * 1000000u / static_cast<std::uint64_t>(settings.fps));
        {
            std::unique_lock<std::mutex> lock(cam.wakeLock);
            if (cam.wake.wait_until(lock, due, [&cam] { return cam.stopping; })) {
                return;
            }
        }
        deliver(cam, index, buffer.data());
    }
}

} // namespace
} // namespace irsim

using irsim::camera;

IRSIM_EXPORT_SetUnitMode void SetUnitMode(std::int32_t mode) {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    cam.unitMode = mode >= irsim::kCelsius && mode <= irsim::kKelvin ? mode : irsim::kCelsius;
    irsim::trace(cam, "SetUnitMode %d", static_cast<int>(mode));
}

IRSIM_EXPORT_SetTempBoundary void SetTempBoundary(double first, double second, double third) {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    cam.boundaries[0] = first;
    cam.boundaries[1] = second;
    cam.boundaries[2] = third;
    irsim::trace(cam, "SetTempBoundary %.2f %.2f %.2f", first, second, third);
}

IRSIM_EXPORT_SetNewIRFrameDelegate void SetNewIRFrameDelegate(IRFrameDelegate delegate) {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    cam.delegate.store(delegate);
    irsim::trace(cam, "SetNewIRFrameDelegate %s", delegate != nullptr ? "set" : "null");
}

IRSIM_EXPORT_Start unsigned char Start() {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    irsim::trace(cam, "Start");
    if (!cam.running) {
        // Replayed frames are read whole here, so delivery never waits on
        // the disk.
        if (cam.settings.replay != nullptr && !cam.replayLoaded) {
            cam.replay =
                irsim::loadReplay(cam.settings.replay, cam.settings.sizeGiven, cam.settings.width,
                                  cam.settings.height, irsim::reportToStderr);
            cam.replayLoaded = true;
        }
        cam.scene = irsim::currentScene(cam);
        cam.nextIndex.store(0);
        cam.latestIndex.store(-1);
        cam.delivered.store(0);
        cam.stopping = false;
        cam.startTime = irsim::Clock::now();
        for (std::int32_t i = 0; i < cam.settings.threads; ++i) {
            cam.threads.emplace_back(irsim::deliveryLoop, std::ref(cam));
        }
        cam.running = true;
    }
    return static_cast<unsigned char>(cam.settings.startResult);
}

IRSIM_EXPORT_ReadTemperatureAtPoint void ReadTemperatureAtPoint(std::int32_t x, std::int32_t y,
                                                                unsigned char* result) {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    irsim::trace(cam, "ReadTemperatureAtPoint %d %d", static_cast<int>(x), static_cast<int>(y));
    if (result == nullptr) {
        return;
    }
    const irsim::Scene scene = cam.running ? cam.scene : irsim::currentScene(cam);
    irsim::writeRecord(scene, cam.unitMode, cam.latestIndex.load(), x, y, result,
                       !cam.replay.empty());
}

IRSIM_EXPORT_Stop void Stop() {
    auto& cam = camera();
    std::lock_guard<std::mutex> lock(cam.control);
    irsim::stopDelivery(cam);
    irsim::trace(cam, "Stop delivered=%lld", static_cast<long long>(cam.delivered.load()));
}
