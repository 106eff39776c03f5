// Runs the built ir_harness as a process, in a scratch directory, against the
// simulated camera and its variants, and checks the whole report, the exit
// status and the reference frame files.
#include "sim/scene.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using testsupport::fileExists;
using testsupport::kLineEnd;
using testsupport::readFile;
using Env = std::vector<std::pair<std::string, std::string>>;

namespace {

const std::string kLibraryFile = fs::path(IR_SIM_LIBRARY).filename().string();
const std::string kHarnessFile = fs::path(IR_HARNESS_EXE).filename().string();

// bin/ holds the harness and whatever library the case gives it; work/ is
// the working directory of the run.
struct Install {
    std::string bin;
    std::string work;
    std::string exe;
    std::string trace;
};

Install makeInstall(const std::string& library) {
    const std::string root = testsupport::makeTempDir("ir-e2e");
    Install install{root + "/bin", root + "/work", "", root + "/trace.txt"};
    fs::create_directory(install.bin);
    fs::create_directory(install.work);
    install.exe = install.bin + "/" + kHarnessFile;
    fs::copy_file(IR_HARNESS_EXE, install.exe);
    if (!library.empty()) {
        fs::copy_file(library, install.bin + "/" + kLibraryFile);
    }
    return install;
}

std::string variant(const std::string& missingExport) {
    return std::string(IR_SIM_VARIANTS) + "/no-" + missingExport + "/" + kLibraryFile;
}

testsupport::ProcessResult run(const Install& install, Env env) {
    env.emplace_back("IRSIM_TRACE", install.trace);
    return testsupport::runProcess(install.exe, install.work, env);
}

std::string nullPointerText() {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
    return text;
}

// Addresses vary from run to run: each one becomes PTR, or NULL where it is
// printed as the null pointer.
std::string normalisePointers(std::string out) {
    const std::string null = nullPointerText();
    const auto mark = [&null](const std::string& text) { return text == null ? "NULL" : "PTR"; };
    std::smatch m;
    if (std::regex_search(out, m, std::regex("^load: (\\S+) err="))) {
        out.replace(m.position(1), m.length(1), mark(m.str(1)));
    }
    if (std::regex_search(out, m, std::regex("exports: Start=(\\S+) Temp=(\\S+)"))) {
        const std::string start = mark(m.str(1));
        const std::string temp = mark(m.str(2));
        out.replace(m.position(2), m.length(2), temp);
        out.replace(m.position(1), m.length(1), start);
    }
    return out;
}

std::string lines(std::initializer_list<std::string> items) {
    std::string text;
    for (const std::string& item : items) {
        text += item + kLineEnd;
    }
    return text;
}

const irsim::Scene kDefaultScene{160, 120, 3000, 4400, 3700};

struct ProbePoint {
    int x, y;
};
constexpr ProbePoint kProbePoints[] = {{80, 60}, {40, 40}, {120, 80},
                                       {80, 30}, {30, 90}, {130, 100}};

struct Expected {
    int start = 1;
    int frames = 12;
    int saved = 10;
    std::int64_t latest = 11; // frame index the probe reads from; -1 = none
    irsim::Scene scene = kDefaultScene;
};

std::string probeLine(const Expected& e, const ProbePoint& point) {
    unsigned char area[64] = {};
    irsim::writeRecord(e.scene, irsim::kCelsius, e.latest, point.x, point.y, area);
    std::string line = "temp(" + std::to_string(point.x) + "," + std::to_string(point.y) + "): ";
    for (int i = 0; i < 32; ++i) {
        char group[8];
        std::snprintf(group, sizeof group, "%02x ", area[i]);
        line += group;
    }
    return line + kLineEnd;
}

std::string expectedReport(const Expected& e) {
    std::string report = lines({"load: PTR err=0", "exports: Start=PTR Temp=PTR", "Start()...",
                                "Start=" + std::to_string(e.start)});
    for (const ProbePoint& point : kProbePoints) {
        report += probeLine(e, point);
    }
    return report +
           lines({"frames: " + std::to_string(e.frames) + " saved: " + std::to_string(e.saved),
                  "done"});
}

std::string renderFrame(const irsim::Scene& scene, std::uint32_t index) {
    std::string bytes(static_cast<std::size_t>(scene.width) * scene.height * 3, '\0');
    irsim::renderFrame(scene, index, 3, reinterpret_cast<unsigned char*>(bytes.data()));
    return bytes;
}

std::string frameFile(const Install& install, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "official_ir_%02d.rgb", index);
    return install.work + "/" + name;
}

// The reference files are exactly the given frames, in order, and no more.
void expectFrames(const Install& install, const irsim::Scene& scene,
                  const std::vector<std::uint32_t>& indices) {
    for (std::size_t k = 0; k < indices.size(); ++k) {
        const std::string path = frameFile(install, static_cast<int>(k));
        ASSERT_TRUE(fileExists(path)) << path;
        EXPECT_TRUE(readFile(path) == renderFrame(scene, indices[k]))
            << path << " is not frame " << indices[k];
    }
    EXPECT_FALSE(fileExists(frameFile(install, static_cast<int>(indices.size()))));
}

std::vector<std::uint32_t> firstTen() {
    return {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
}

struct TraceLine {
    std::string call;
    long long stdoutSize;
};

std::vector<TraceLine> readTrace(const Install& install) {
    std::vector<TraceLine> trace;
    std::istringstream in(readFile(install.trace));
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t at = line.rfind(" stdout=");
        trace.push_back({line.substr(0, at), std::stoll(line.substr(at + 8))});
    }
    return trace;
}

std::vector<std::string> callsOf(const std::vector<TraceLine>& trace) {
    std::vector<std::string> calls;
    for (const TraceLine& line : trace) {
        calls.push_back(line.call);
    }
    return calls;
}

std::vector<std::string> fullCallSequence(int delivered) {
    std::vector<std::string> calls = {"SetUnitMode 0", "SetTempBoundary 30.00 44.00 37.00",
                                      "SetNewIRFrameDelegate set", "Start"};
    for (const ProbePoint& point : kProbePoints) {
        calls.push_back("ReadTemperatureAtPoint " + std::to_string(point.x) + " " +
                        std::to_string(point.y));
    }
    calls.push_back("Stop delivered=" + std::to_string(delivered));
    return calls;
}

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
    std::set<std::string> distinct;
    for (int k = 0; k < c.expected.saved; ++k) {
        const std::string content = readFile(frameFile(install, k));
        bool isAFrame = false;
        for (int i = 0; i < c.expected.frames && !isAFrame; ++i) {
            isAFrame = content == renderFrame(c.expected.scene, static_cast<std::uint32_t>(i));
        }
        EXPECT_TRUE(isAFrame) << frameFile(install, k);
        distinct.insert(content);
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(c.expected.saved));
    EXPECT_FALSE(fileExists(frameFile(install, c.expected.saved)));
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

} // namespace
