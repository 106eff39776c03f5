// Costs, measured: the frame sink per delivery on its three paths beside a
// plain write(2) of the same bytes to a new file, and a whole harness run
// against the simulator beside the ideal run.
#include "capture/frame_sink.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::vector<unsigned char> frameOf(int width, int height) {
    std::vector<unsigned char> bytes(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7);
    }
    return bytes;
}

// Saving: every iteration writes official_ir_00.rgb anew.
void BM_SinkSave(benchmark::State& state) {
    const int width = static_cast<int>(state.range(0));
    const int height = static_cast<int>(state.range(1));
    const std::vector<unsigned char> frame = frameOf(width, height);
    for (auto _ : state) {
        state.PauseTiming();
        std::remove("official_ir_00.rgb");
        g_saved.store(0);
        state.ResumeTiming();
        onIR(frame.data(), width, height, 3);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.size()));
}

// The floor: the same bytes to a new file with nothing but open, write, close.
void BM_WriteFloor(benchmark::State& state) {
    const std::vector<unsigned char> frame =
        frameOf(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
    for (auto _ : state) {
        state.PauseTiming();
        unlink("floor.rgb");
        state.ResumeTiming();
        const int fd = open("floor.rgb", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(write(fd, frame.data(), frame.size()));
        close(fd);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * frame.size()));
}

// Counting: ten files already saved.
void BM_SinkCount(benchmark::State& state) {
    const std::vector<unsigned char> frame = frameOf(160, 120);
    g_saved.store(kMaxSavedFrames);
    for (auto _ : state) {
        onIR(frame.data(), 160, 120, 3);
    }
}

// Rejecting: a four-channel delivery.
void BM_SinkReject(benchmark::State& state) {
    const std::vector<unsigned char> frame = frameOf(160, 120);
    g_saved.store(0);
    for (auto _ : state) {
        onIR(frame.data(), 160, 120, 4);
    }
}

// One whole ir_harness run against the simulator at its default 25 fps, in
// a fresh directory. The ideal run: the twelfth frame at 440 ms, at most one
// 100 ms poll, six 100 ms probe pauses.
void BM_HarnessRun(benchmark::State& state) {
    constexpr double kIdealMin = 1.040;
    constexpr double kIdealMax = 1.140;
    double total = 0;
    for (auto _ : state) {
        char dir[] = "/tmp/ir-bench-XXXXXX";
        if (mkdtemp(dir) == nullptr) {
            state.SkipWithError("no scratch directory");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            const int null = open("/dev/null", O_WRONLY);
            if (null < 0 || dup2(null, 1) < 0 || chdir(dir) != 0) {
                _exit(127);
            }
            execl(IR_HARNESS_EXE, IR_HARNESS_EXE, static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("ir_harness failed");
            return;
        }
        state.SetIterationTime(seconds);
        total += seconds;
        const std::string cleanup = std::string("rm -rf ") + dir;
        benchmark::DoNotOptimize(std::system(cleanup.c_str()));
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["ideal_min_s"] = kIdealMin;
    state.counters["ideal_max_s"] = kIdealMax;
    state.counters["vs_ideal_max"] = mean / kIdealMax;
}

BENCHMARK(BM_SinkSave)->Args({160, 120})->Args({640, 512});
BENCHMARK(BM_WriteFloor)->Args({160, 120})->Args({640, 512});
BENCHMARK(BM_SinkCount);
BENCHMARK(BM_SinkReject);
BENCHMARK(BM_HarnessRun)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    // The sink writes into the working directory: give it a scratch one.
    char dir[] = "/tmp/ir-bench-sink-XXXXXX";
    if (mkdtemp(dir) == nullptr || chdir(dir) != 0) {
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::string cleanup = std::string("rm -rf ") + dir;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
