#include "sim/settings.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_reports;
void collect(const char* line) {
    g_reports.emplace_back(line);
}

const char* const kVariables[] = {"IRSIM_FPS",         "IRSIM_SIZE",  "IRSIM_FRAMES",
                                  "IRSIM_THREADS",     "IRSIM_START", "IRSIM_FAULT",
                                  "IRSIM_FAULT_EVERY", "IRSIM_TRACE"};

class SimSettings : public ::testing::Test {
  protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        for (const char* name : kVariables) {
            testsupport::unsetEnv(name);
        }
        g_reports.clear();
    }
};

TEST_F(SimSettings, DefaultsWithNothingSet) {
    const irsim::Settings s = irsim::readSettings(collect);
    EXPECT_EQ(s.fps, 25);
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 120);
    EXPECT_EQ(s.frames, -1);
    EXPECT_EQ(s.threads, 1);
    EXPECT_EQ(s.startResult, 1);
    EXPECT_EQ(s.faultCount, 0);
    EXPECT_EQ(s.trace, nullptr);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(SimSettings, GoodValuesAreTaken) {
    testsupport::setEnv("IRSIM_FPS", "1000");
    testsupport::setEnv("IRSIM_SIZE", "4x2");
    testsupport::setEnv("IRSIM_FRAMES", "0");
    testsupport::setEnv("IRSIM_THREADS", "8");
    testsupport::setEnv("IRSIM_START", "255");
    testsupport::setEnv("IRSIM_FAULT", "null,channels,negative-second");
    testsupport::setEnv("IRSIM_FAULT_EVERY", "1");
    const irsim::Settings s = irsim::readSettings(collect);
    EXPECT_EQ(s.fps, 1000);
    EXPECT_EQ(s.width, 4);
    EXPECT_EQ(s.height, 2);
    EXPECT_EQ(s.frames, 0);
    EXPECT_EQ(s.threads, 8);
    EXPECT_EQ(s.startResult, 255);
    ASSERT_EQ(s.faultCount, 3);
    EXPECT_EQ(s.faults[0], irsim::Fault::kNullData);
    EXPECT_EQ(s.faults[1], irsim::Fault::kChannels);
    EXPECT_EQ(s.faults[2], irsim::Fault::kNegativeSecond);
    EXPECT_EQ(s.faultEvery, 1);
    EXPECT_TRUE(g_reports.empty());
}

struct BadCase {
    const char* variable;
    const char* value;
    const char* usedInstead;
};

TEST_F(SimSettings, ABadValueIsReportedOnceWithWhatIsUsedInstead) {
    const BadCase cases[] = {
        {"IRSIM_FPS", "abc", "using 25"},         {"IRSIM_FPS", "0", "using 25"},
        {"IRSIM_FPS", "25fps", "using 25"},       {"IRSIM_FPS", " 7", "using 25"},
        {"IRSIM_SIZE", "160", "using 160x120"},   {"IRSIM_SIZE", "0x10", "using 160x120"},
        {"IRSIM_SIZE", "10x-3", "using 160x120"}, {"IRSIM_SIZE", "99999x2", "using 160x120"},
        {"IRSIM_FRAMES", "-1", "until Stop"},     {"IRSIM_THREADS", "65", "using 1"},
        {"IRSIM_START", "256", "using 1"},        {"IRSIM_FAULT", "smoke", "no fault"},
        {"IRSIM_FAULT_EVERY", "0", "using 3"},    {"IRSIM_FPS", "99999999999999999999", "using 25"},
    };
    for (const BadCase& c : cases) {
        clear();
        testsupport::setEnv(c.variable, c.value);
        const irsim::Settings s = irsim::readSettings(collect);
        ASSERT_EQ(g_reports.size(), 1u) << c.variable << "=" << c.value;
        const std::string& line = g_reports[0];
        EXPECT_NE(line.find(std::string(c.variable) + "=\"" + c.value + "\""), std::string::npos)
            << line;
        EXPECT_NE(line.find(c.usedInstead), std::string::npos) << line;
        EXPECT_EQ(line.back(), '\n');
        EXPECT_EQ(s.fps, 25);
        EXPECT_EQ(s.width, 160);
        EXPECT_EQ(s.threads, 1);
        EXPECT_EQ(s.faultCount, 0);
    }
}

TEST_F(SimSettings, AnUnknownFaultIsDroppedAndTheKnownOnesKept) {
    testsupport::setEnv("IRSIM_FAULT", "zero-first,bogus,zero-second");
    const irsim::Settings s = irsim::readSettings(collect);
    EXPECT_EQ(g_reports.size(), 1u);
    ASSERT_EQ(s.faultCount, 2);
    EXPECT_EQ(s.faults[0], irsim::Fault::kZeroFirst);
    EXPECT_EQ(s.faults[1], irsim::Fault::kZeroSecond);
}

} // namespace
