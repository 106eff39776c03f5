#include "capture/frame_sink.h"
#include "harness/harness.h"
#include "platform/platform.h"

#include <cstdio>

namespace {

constexpr const char* kSdkDirectory =
    "C:\\Project\\KAVRO7Q\\IR_Camera_SDK-1.0.1\\windows\\windows\\app";
constexpr const char* kLibraryName = "ThermalSDK.dll";
constexpr std::int32_t kUnitMode = 0;

// Entry points as plain addresses, null where the library lacks one.
struct SdkEntryPoints {
    StartFn Start;
    StopFn Stop;
    SetNewIRFrameDelegateFn SetNewIRFrameDelegate;
    ReadTemperatureAtPointFn ReadTemperatureAtPoint;
    SetTempBoundaryFn SetTempBoundary;
    SetUnitModeFn SetUnitMode;
};

// The one place where an export address becomes a typed function pointer.
template <typename Fn> Fn resolveExport(void* library, const char* name) {
    return reinterpret_cast<Fn>(platform::findExport(library, name));
}

SdkEntryPoints resolveEntryPoints(void* library) {
    SdkEntryPoints sdk{};
    sdk.Start = resolveExport<StartFn>(library, "Start");
    sdk.Stop = resolveExport<StopFn>(library, "Stop");
    sdk.SetNewIRFrameDelegate =
        resolveExport<SetNewIRFrameDelegateFn>(library, "SetNewIRFrameDelegate");
    sdk.ReadTemperatureAtPoint =
        resolveExport<ReadTemperatureAtPointFn>(library, "ReadTemperatureAtPoint");
    sdk.SetTempBoundary = resolveExport<SetTempBoundaryFn>(library, "SetTempBoundary");
    sdk.SetUnitMode = resolveExport<SetUnitModeFn>(library, "SetUnitMode");
    return sdk;
}

void* addressOf(ReadTemperatureAtPointFn fn) {
    return reinterpret_cast<void*>(fn);
}
void* addressOf(StartFn fn) {
    return reinterpret_cast<void*>(fn);
}

} // namespace

int runHarness() {
    platform::addLibraryDirectory(kSdkDirectory);
    void* library = platform::loadLibrary(kLibraryName);
    const std::uint32_t error = platform::lastError();
    std::printf("load: %p err=%lu\n", library, static_cast<unsigned long>(error));
    if (library == nullptr) {
        return 1;
    }

    const SdkEntryPoints sdk = resolveEntryPoints(library);
    std::printf("exports: Start=%p Temp=%p\n", addressOf(sdk.Start),
                addressOf(sdk.ReadTemperatureAtPoint));
    if (sdk.Start == nullptr || sdk.SetNewIRFrameDelegate == nullptr ||
        sdk.ReadTemperatureAtPoint == nullptr) {
        std::printf("missing\n");
        return 2;
    }

    // Only the three entry points above are required; a library without one
    // of the others has its call skipped.
    if (sdk.SetUnitMode != nullptr) {
        sdk.SetUnitMode(kUnitMode);
    }
    if (sdk.SetTempBoundary != nullptr) {
        sdk.SetTempBoundary(30.0, 44.0, 37.0);
    }
    sdk.SetNewIRFrameDelegate(onIR);

    std::printf("Start()...\n");
    std::fflush(stdout);
    const unsigned char started = sdk.Start();
    std::printf("Start=%d\n", static_cast<int>(started));
    std::fflush(stdout);

    waitForFrames(platform::tickMs, platform::sleepMs);
    probePoints(sdk.ReadTemperatureAtPoint, platform::sleepMs);
    std::printf("frames: %d saved: %d\n", static_cast<int>(g_frames.load()),
                static_cast<int>(g_saved.load()));

    if (sdk.Stop != nullptr) {
        sdk.Stop();
    }
    std::printf("done\n");
    return 0;
}
