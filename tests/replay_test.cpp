#include "sim/replay.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_reports;
void collect(const char* line) {
    g_reports.emplace_back(line);
}

std::string frameName(const std::string& dir, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "/official_ir_%02d.rgb", index);
    return dir + name;
}

std::vector<std::string> load(const std::string& dir, bool sizeGiven = true) {
    g_reports.clear();
    return irsim::loadReplay(dir.c_str(), sizeGiven, 4, 2, collect);
}

TEST(Replay, ReadsTheFilesInIndexOrderUpToTheFirstGap) {
    const std::string dir = testsupport::makeTempDir("ir-replay");
    std::vector<std::string> frames;
    for (int i = 0; i < 3; ++i) {
        frames.emplace_back(24, static_cast<char>('a' + i));
        testsupport::writeFile(frameName(dir, i), frames.back());
    }
    testsupport::writeFile(frameName(dir, 4), std::string(24, 'z')); // after the gap

    EXPECT_EQ(load(dir), frames);
    EXPECT_TRUE(g_reports.empty());
}

struct ProblemCase {
    const char* name;
    std::vector<std::size_t> lengths; // files 00, 01, ...; empty: no files at all
    bool sizeGiven;
    bool directoryExists;
    const char* named; // what the report line must name
};

class ReplayProblem : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(ReplayProblem, IsReportedOnceAndGivesNoFrames) {
    const ProblemCase& c = GetParam();
    std::string dir = testsupport::makeTempDir("ir-replay");
    if (!c.directoryExists) {
        dir += "/missing";
    }
    for (std::size_t i = 0; i < c.lengths.size(); ++i) {
        testsupport::writeFile(frameName(dir, static_cast<int>(i)), std::string(c.lengths[i], 'x'));
    }

    EXPECT_TRUE(load(dir, c.sizeGiven).empty());
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_NE(g_reports[0].find(c.named), std::string::npos) << g_reports[0];
    EXPECT_NE(g_reports[0].find("IRSIM_REPLAY"), std::string::npos) << g_reports[0];
    EXPECT_NE(g_reports[0].find("synthetic scene"), std::string::npos) << g_reports[0];
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplayProblem,
    ::testing::Values(
        ProblemCase{"size_not_given", {24}, false, true, "IRSIM_SIZE"},
        ProblemCase{"missing_directory", {}, true, false, "official_ir_00.rgb"},
        ProblemCase{"empty_directory", {}, true, true, "official_ir_00.rgb"},
        ProblemCase{"empty_file", {0}, true, true, "official_ir_00.rgb is 0 bytes"},
        ProblemCase{"short_file", {23}, true, true, "is 23 bytes, not 4x2x3 = 24"},
        ProblemCase{"long_file", {25}, true, true, "is 25 bytes"},
        ProblemCase{"bad_later_file", {24, 24, 7}, true, true, "official_ir_02.rgb is 7 bytes"}),
    [](const ::testing::TestParamInfo<ProblemCase>& info) { return info.param.name; });

} // namespace
