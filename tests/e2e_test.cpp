// Runs the built ir_harness as a process, in a scratch directory, against the
// simulated camera and its variants, and checks the whole report, the exit
// status and the reference frame files.
#include "support/harness_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::fileExists;
using testsupport::kLineEnd;
using testsupport::readFile;

namespace {

using namespace e2e;

TEST(EndToEnd, ADefaultRunReportsSavesAndCallsInOrder) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport({}));
    EXPECT_EQ(result.err, "");
    expectFrames(install, kDefaultScene, firstTen());
    EXPECT_EQ(callsOf(readTrace(install)), fullCallSequence(12));
}

TEST(EndToEnd, OutputIsFlushedBeforeStartAndAfterEveryProbeLine) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});
    ASSERT_EQ(result.status, 0);
    const std::vector<TraceLine> trace = readTrace(install);
    ASSERT_EQ(trace.size(), 11u);

    // When Start is called, standard output holds exactly the lines before it.
    EXPECT_EQ(trace[3].call, "Start");
    const std::string startLine = std::string("Start()...") + kLineEnd;
    EXPECT_EQ(trace[3].stdoutSize,
              static_cast<long long>(result.out.find(startLine) + startLine.size()));
    // When each point is read, it holds every line up to the previous probe.
    for (int point = 0; point < 6; ++point) {
        const std::string prefix = "temp(" + std::to_string(kProbePoints[point].x) + "," +
                                   std::to_string(kProbePoints[point].y) + "): ";
        EXPECT_EQ(trace[4 + point].stdoutSize, static_cast<long long>(result.out.find(prefix)))
            << prefix;
    }
}

// Every exact case delivers at most twelve frames: the twelfth ends the wait,
// so the probe and the counts see all of them whatever the timing.
struct ReportCase {
    const char* name;
    Env env;
    Expected expected;
    std::vector<std::uint32_t> saved; // frame indices in the files; empty = any, distinct
};

class Reports : public ::testing::TestWithParam<ReportCase> {};

TEST_P(Reports, MatchExactly) {
    const ReportCase& c = GetParam();
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, c.env);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport(c.expected));
    EXPECT_EQ(result.err, "");
    if (!c.saved.empty()) {
        expectFrames(install, c.expected.scene, c.saved);
        return;
    }
    // Several threads: distinct frames, in whatever order they came.
    expectDistinctFrames(install, c.expected.scene, c.expected.saved, c.expected.frames);
}

Expected with(int start, int frames, std::int64_t latest, irsim::Scene scene = kDefaultScene) {
    return Expected{start, frames, 10, latest, scene};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Reports,
    ::testing::Values(
        ReportCase{"start_returns_0",
                   {{"IRSIM_FRAMES", "12"}, {"IRSIM_START", "0"}},
                   with(0, 12, 11),
                   firstTen()},
        ReportCase{"start_returns_255",
                   {{"IRSIM_FRAMES", "12"}, {"IRSIM_START", "255"}},
                   with(255, 12, 11),
                   firstTen()},
        // Every second delivery is bad, each kind once; they still count.
        ReportCase{
            "bad_deliveries_mixed_in",
            {{"IRSIM_FRAMES", "12"},
             {"IRSIM_FAULT", "null,zero-first,zero-second,negative-first,negative-second,channels"},
             {"IRSIM_FAULT_EVERY", "2"}},
            Expected{1, 12, 6, 11, kDefaultScene},
            {0, 2, 4, 6, 8, 10}},
        ReportCase{
            "only_bad_deliveries",
            {{"IRSIM_FRAMES", "12"}, {"IRSIM_FAULT", "channels,null"}, {"IRSIM_FAULT_EVERY", "1"}},
            Expected{1, 12, 0, 11, kDefaultScene},
            {}},
        ReportCase{"several_delivering_threads",
                   {{"IRSIM_FRAMES", "12"}, {"IRSIM_THREADS", "4"}},
                   with(1, 12, 11),
                   {}},
        ReportCase{"eight_delivering_threads",
                   {{"IRSIM_FRAMES", "12"}, {"IRSIM_THREADS", "8"}},
                   with(1, 12, 11),
                   {}},
        // A small sensor: most probe points fall outside it.
        ReportCase{"small_sensor",
                   {{"IRSIM_FRAMES", "12"}, {"IRSIM_SIZE", "64x48"}},
                   with(1, 12, 11, irsim::Scene{64, 48, 3000, 4400, 3700}),
                   firstTen()}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return info.param.name; });

TEST(EndToEnd, NoFramesAtAllEndsTheWaitJustPastTwelveSeconds) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, {{"IRSIM_FRAMES", "0"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport(Expected{1, 0, 0, -1}));
    // Twelve seconds of waiting and six 100 ms probe pauses; the upper bound
    // only catches a wait that does not end.
    EXPECT_GE(result.seconds, 12.0);
    EXPECT_LT(result.seconds, 30.0);
    EXPECT_FALSE(fileExists(frameFile(install, 0)));
}

TEST(EndToEnd, AStaleReferenceFileIsReplaced) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    testsupport::writeFile(frameFile(install, 0), std::string(100000, 'x'));
    testsupport::writeFile(frameFile(install, 5), "old");
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 0);
    expectFrames(install, kDefaultScene, firstTen());
}

TEST(EndToEnd, ABadSimulatorSettingIsReportedOnceAndTheRunGoesOn) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}, {"IRSIM_FPS", "fast"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport({}));
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find("IRSIM_FPS=\"fast\""), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("using 25"), std::string::npos) << result.err;
}

TEST(EndToEnd, TheOutOfTheBoxRunSavesTenFramesAndKeepsCounting) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(install, {});

    EXPECT_EQ(result.status, 0);
    const std::regex shape(
        "load: PTR err=0\r?\nexports: Start=PTR Temp=PTR\r?\nStart\\(\\)\\.\\.\\."
        "\r?\nStart=1\r?\n(temp\\(\\d+,\\d+\\): ([0-9a-f]{2} ){32}\r?\n){6}"
        "frames: (\\d+) saved: 10\r?\ndone\r?\n");
    std::smatch m;
    const std::string out = normalisePointers(result.out);
    ASSERT_TRUE(std::regex_match(out, m, shape)) << out;
    EXPECT_GE(std::stoi(m.str(3)), 12);
    expectFrames(install, kDefaultScene, firstTen());
    RecordProperty("seconds", std::to_string(result.seconds));
}

struct MissingCase {
    const char* name;
    const char* report; // what follows the "load:" line
};

class MissingRequiredExport : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingRequiredExport, EndsWithStatus2BeforeAnyCall) {
    const Install install = makeInstall(variant(GetParam().name));
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 2);
    std::string expected = lines({"load: PTR err=0", GetParam().report, "missing"});
    EXPECT_EQ(normalisePointers(result.out), expected);
    EXPECT_FALSE(fileExists(install.trace)) << "an entry point was called";
    EXPECT_TRUE(fs::is_empty(install.work));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingRequiredExport,
    ::testing::Values(MissingCase{"Start", "exports: Start=NULL Temp=PTR"},
                      MissingCase{"SetNewIRFrameDelegate", "exports: Start=PTR Temp=PTR"},
                      MissingCase{"ReadTemperatureAtPoint", "exports: Start=PTR Temp=NULL"}),
    [](const ::testing::TestParamInfo<MissingCase>& info) { return info.param.name; });

struct OptionalCase {
    const char* name;
    irsim::Scene scene; // without SetTempBoundary the simulator keeps 20, 40, 37
};

class MissingOptionalExport : public ::testing::TestWithParam<OptionalCase> {};

TEST_P(MissingOptionalExport, IsSkippedAndTheRunGoesThrough) {
    const std::string missing = GetParam().name;
    const Install install = makeInstall(variant(missing));
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport(with(1, 12, 11, GetParam().scene)));
    expectFrames(install, GetParam().scene, firstTen());
    std::vector<std::string> calls = fullCallSequence(12);
    calls.erase(std::remove_if(calls.begin(), calls.end(),
                               [&missing](const std::string& call) {
                                   return call.compare(0, missing.size() + 1, missing + " ") == 0;
                               }),
                calls.end());
    EXPECT_EQ(callsOf(readTrace(install)), calls);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MissingOptionalExport,
    ::testing::Values(OptionalCase{"SetUnitMode", kDefaultScene},
                      OptionalCase{"SetTempBoundary", irsim::Scene{160, 120, 2000, 4000, 3700}},
                      OptionalCase{"Stop", kDefaultScene}),
    [](const ::testing::TestParamInfo<OptionalCase>& info) { return info.param.name; });

struct LoadCase {
    const char* name;
    bool garbageInBin; // a file of the library's name that is no library
    bool plantedInWork;
    const char* report;
};

class LoadFailure : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadFailure, PrintsOneLineAndEndsWithStatus1) {
    const LoadCase& c = GetParam();
    const Install install = makeInstall("");
    const std::string binLibrary = install.bin + "/" + kLibraryFile;
    if (c.garbageInBin) {
        testsupport::writeFile(binLibrary, "MZ but not really a library\n");
    }
    if (c.plantedInWork) {
        fs::copy_file(IR_SIM_LIBRARY, install.work + "/" + kLibraryFile);
    }
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(normalisePointers(result.out), lines({c.report}));
    EXPECT_FALSE(fileExists(install.trace));
    EXPECT_FALSE(fileExists(frameFile(install, 0)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LoadFailure,
    ::testing::Values(LoadCase{"library_absent", false, false, "load: NULL err=126"},
                      LoadCase{"not_a_library", true, false, "load: NULL err=193"},
                      LoadCase{"planted_in_working_directory", false, true, "load: NULL err=126"}),
    [](const ::testing::TestParamInfo<LoadCase>& info) { return info.param.name; });

// One kind of bad delivery at a time, every second delivery: each counts,
// none is saved, and none uses up a name.
class EachKindOfBadDelivery : public ::testing::TestWithParam<const char*> {};

TEST_P(EachKindOfBadDelivery, IsCountedAndNotSaved) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const auto result = run(
        install, {{"IRSIM_FRAMES", "12"}, {"IRSIM_FAULT", GetParam()}, {"IRSIM_FAULT_EVERY", "2"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport(Expected{1, 12, 6, 11}));
    expectFrames(install, kDefaultScene, {0, 2, 4, 6, 8, 10});
}

INSTANTIATE_TEST_SUITE_P(Kinds, EachKindOfBadDelivery,
                         ::testing::Values("null", "zero-first", "zero-second", "negative-first",
                                           "negative-second", "channels"),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             std::string name = info.param;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// A directory standing where a reference file should go refuses that name,
// even to root.
struct RefusedCase {
    const char* name;
    std::vector<int> refused;
};

class RefusedNames : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedNames, AreUsedUpWithoutAWord) {
    const Install install = makeInstall(IR_SIM_LIBRARY);
    const std::vector<int>& refused = GetParam().refused;
    for (int index : refused) {
        fs::create_directory(frameFile(install, index));
    }
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport({}));
    for (int k = 0; k < 10; ++k) {
        const bool isRefused = std::find(refused.begin(), refused.end(), k) != refused.end();
        if (isRefused) {
            EXPECT_TRUE(fs::is_directory(frameFile(install, k))) << k;
        } else {
            // The frame that met the refused name is not saved under another.
            EXPECT_TRUE(readFile(frameFile(install, k)) ==
                        renderFrame(kDefaultScene, static_cast<std::uint32_t>(k)))
                << frameFile(install, k);
        }
    }
    EXPECT_FALSE(fileExists(frameFile(install, 10)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedNames,
    ::testing::Values(RefusedCase{"one_name_refused", {3}},
                      RefusedCase{"all_names_refused", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}}),
    [](const ::testing::TestParamInfo<RefusedCase>& info) { return info.param.name; });

TEST(EndToEnd, WritesCutShortLeaveNoPartialFile) {
    if (!testsupport::kHasFileSizeLimit) {
        GTEST_SKIP() << "no per-process file size limit on this platform";
    }
    const Install install = makeInstall(IR_SIM_LIBRARY);
    testsupport::writeFile(frameFile(install, 0), "stale");
    // Room for the report, not for a 57,600-byte frame.
    const auto result = run(install, {{"IRSIM_FRAMES", "12"}}, 4096);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport({}));
    for (int k = 0; k < 10; ++k) {
        EXPECT_FALSE(fileExists(frameFile(install, k))) << "a truncated " << frameFile(install, k);
    }
}

// Frames captured in one run, replayed through the simulator into another.
class Replay : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto result = run(captured_, {{"IRSIM_FRAMES", "12"}});
        ASSERT_EQ(result.status, 0);
    }
    Env replayEnv() const {
        return {
            {"IRSIM_FRAMES", "12"}, {"IRSIM_REPLAY", captured_.work}, {"IRSIM_SIZE", "160x120"}};
    }
    const Install captured_ = makeInstall(IR_SIM_LIBRARY);
    const Install replayed_ = makeInstall(IR_SIM_LIBRARY);
};

TEST_F(Replay, TheReplayedRunSavesTheSameBytes) {
    const auto result = run(replayed_, replayEnv());

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, "");
    Expected expected;
    expected.replayed = true;
    EXPECT_EQ(normalisePointers(result.out), expectedReport(expected));
    for (int k = 0; k < 10; ++k) {
        EXPECT_TRUE(readFile(frameFile(replayed_, k)) == readFile(frameFile(captured_, k)))
            << frameFile(replayed_, k);
    }
}

TEST_F(Replay, LoopsAndKeepsFaultsOnTop) {
    Env env = replayEnv();
    env.emplace_back("IRSIM_FAULT", "channels");
    env.emplace_back("IRSIM_FAULT_EVERY", "2");
    const auto result = run(replayed_, env);

    EXPECT_EQ(result.status, 0);
    // Deliveries 0, 2, ..., 10 are good: replayed files 0, 2, 4, 6, 8, 0.
    const int source[] = {0, 2, 4, 6, 8, 0};
    for (int k = 0; k < 6; ++k) {
        EXPECT_TRUE(readFile(frameFile(replayed_, k)) == readFile(frameFile(captured_, source[k])))
            << frameFile(replayed_, k);
    }
    EXPECT_FALSE(fileExists(frameFile(replayed_, 6)));
}

struct FallbackCase {
    const char* name;
    bool giveSize;
    int truncate; // index of a captured file to cut short; -1 none
    const char* named;
};

class ReplayFallback : public Replay, public ::testing::WithParamInterface<FallbackCase> {};

TEST_P(ReplayFallback, SaysWhyOnceAndDeliversTheSyntheticScene) {
    const FallbackCase& c = GetParam();
    if (c.truncate >= 0) {
        testsupport::writeFile(frameFile(captured_, c.truncate), "short");
    }
    Env env = {{"IRSIM_FRAMES", "12"}, {"IRSIM_REPLAY", captured_.work}};
    if (c.giveSize) {
        env.emplace_back("IRSIM_SIZE", "160x120");
    }
    const auto result = run(replayed_, env);

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(normalisePointers(result.out), expectedReport({}));
    EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
    expectFrames(replayed_, kDefaultScene, firstTen());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplayFallback,
    ::testing::Values(FallbackCase{"size_missing", false, -1, "IRSIM_SIZE"},
                      FallbackCase{"file_cut_short", true, 4, "official_ir_04.rgb is 5 bytes"}),
    [](const ::testing::TestParamInfo<FallbackCase>& info) { return info.param.name; });

} // namespace
