// Running the built ir_harness in a scratch directory and predicting, byte
// for byte, what a run against the simulated camera must produce.
#pragma once

#include "sim/scene.h"
#include "support/support.h"

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

using Env = std::vector<std::pair<std::string, std::string>>;

// bin/ holds the harness and whatever library the case gives it; work/ is
// the working directory of the run.
struct Install {
    std::string root; // holds all of the below
    std::string bin;
    std::string work;
    std::string exe;
    std::string trace;
};

extern const std::string kLibraryFile; // libThermalSDK.so or ThermalSDK.dll

// A scratch install with a copy of `library` (none when empty) beside the harness.
Install makeInstall(const std::string& library);
// The simulator built without one export.
std::string variant(const std::string& missingExport);
// Runs the install's harness with the simulator's call trace switched on.
testsupport::ProcessResult run(const Install& install, Env env, std::int64_t fileSizeLimit = -1);

// Addresses vary from run to run: each one becomes PTR, or NULL where it is
// printed as the null pointer.
std::string normalisePointers(std::string out);
// The lines, each with the platform's line end.
std::string lines(std::initializer_list<std::string> items);

extern const irsim::Scene kDefaultScene; // 160x120, boundaries 30, 44, 37

struct ProbePoint {
    int x, y;
};
extern const ProbePoint kProbePoints[6];

struct Expected {
    int start = 1;
    int frames = 12;
    int saved = 10;
    std::int64_t latest = 11; // frame index the probe reads from; -1 = none
    irsim::Scene scene = kDefaultScene;
    bool replayed = false; // frames come from files: no temperatures
};
std::string expectedReport(const Expected& e);

std::string renderFrame(const irsim::Scene& scene, std::uint32_t index);
std::string frameFile(const Install& install, int index);
// The reference files are exactly the given frames, in order, and no more.
void expectFrames(const Install& install, const irsim::Scene& scene,
                  const std::vector<std::uint32_t>& indices);
// `count` files, each a distinct one of the first `delivered` frames.
void expectDistinctFrames(const Install& install, const irsim::Scene& scene, int count,
                          int delivered);
std::vector<std::uint32_t> firstTen();

struct TraceLine {
    std::string call;
    long long stdoutSize; // bytes the harness's standard output held at the call
};
std::vector<TraceLine> readTrace(const Install& install);
std::vector<std::string> callsOf(const std::vector<TraceLine>& trace);
// The calls of a run that went through, ending with Stop after `delivered`.
std::vector<std::string> fullCallSequence(int delivered);

} // namespace e2e
