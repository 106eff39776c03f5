#include "support/harness_run.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using testsupport::fileExists;
using testsupport::kLineEnd;
using testsupport::readFile;

namespace e2e {

const std::string kLibraryFile = fs::path(IR_SIM_LIBRARY).filename().string();

namespace {
const std::string kHarnessFile = fs::path(IR_HARNESS_EXE).filename().string();

std::string nullPointerText() {
    char text[32];
    std::snprintf(text, sizeof text, "%p", static_cast<void*>(nullptr));
    return text;
}

} // namespace

Install makeInstall(const std::string& library) {
    const std::string root = testsupport::makeTempDir("ir-e2e");
    Install install{root, root + "/bin", root + "/work", "", root + "/trace.txt"};
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

testsupport::ProcessResult run(const Install& install, Env env, std::int64_t fileSizeLimit) {
    env.emplace_back("IRSIM_TRACE", install.trace);
    return testsupport::runProcess(install.exe, install.work, env, fileSizeLimit);
}

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

const ProbePoint kProbePoints[6] = {{80, 60}, {40, 40}, {120, 80}, {80, 30}, {30, 90}, {130, 100}};

namespace {
std::string probeLine(const Expected& e, const ProbePoint& point) {
    unsigned char area[64] = {};
    irsim::writeRecord(e.scene, irsim::kCelsius, e.latest, point.x, point.y, area, e.replayed);
    std::string line = "temp(" + std::to_string(point.x) + "," + std::to_string(point.y) + "): ";
    for (int i = 0; i < 32; ++i) {
        char group[8];
        std::snprintf(group, sizeof group, "%02x ", area[i]);
        line += group;
    }
    return line + kLineEnd;
}

} // namespace

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

void expectDistinctFrames(const Install& install, const irsim::Scene& scene, int count,
                          int delivered) {
    std::set<std::string> distinct;
    for (int k = 0; k < count; ++k) {
        const std::string content = readFile(frameFile(install, k));
        bool isAFrame = false;
        for (int i = 0; i < delivered && !isAFrame; ++i) {
            isAFrame = content == renderFrame(scene, static_cast<std::uint32_t>(i));
        }
        EXPECT_TRUE(isAFrame) << frameFile(install, k);
        distinct.insert(content);
    }
    EXPECT_EQ(distinct.size(), static_cast<std::size_t>(count));
    EXPECT_FALSE(fileExists(frameFile(install, count)));
}

} // namespace e2e
