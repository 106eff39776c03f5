#include "capture/frame_sink.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

using testsupport::fileExists;
using testsupport::readFile;

namespace {

std::string fileName(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "official_ir_%02d.rgb", index);
    return name;
}

// A frame whose bytes say which frame it is, so files can be told apart.
std::string makeFrame(int first, int second, int seed) {
    std::string bytes(static_cast<std::size_t>(first) * static_cast<std::size_t>(second) * 3, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((seed * 31 + static_cast<int>(i) * 7) & 0xff);
    }
    return bytes;
}

void deliver(const std::string& frame, int first, int second, int channels = 3) {
    onIR(reinterpret_cast<const unsigned char*>(frame.data()), first, second, channels);
}

class FrameSinkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_frames.store(0);
        g_saved.store(0);
    }
    const std::string dir_ = testsupport::makeTempDir("ir-sink");
    testsupport::ScopedWorkingDirectory cwd_{dir_};
};

struct AcceptCase {
    const char* name;
    bool nullData;
    int first;
    int second;
    int channels;
    bool acceptable;
};

class FrameSinkAcceptance : public FrameSinkTest,
                            public ::testing::WithParamInterface<AcceptCase> {};

TEST_P(FrameSinkAcceptance, SavesOnlyAcceptableFramesAndCountsEveryDelivery) {
    const AcceptCase& c = GetParam();
    const std::string frame = makeFrame(4, 2, 1) + std::string(64, '\x55');
    onIR(c.nullData ? nullptr : reinterpret_cast<const unsigned char*>(frame.data()), c.first,
         c.second, c.channels);

    EXPECT_EQ(g_frames.load(), 1);
    EXPECT_EQ(g_saved.load(), c.acceptable ? 1 : 0);
    ASSERT_EQ(fileExists(fileName(0)), c.acceptable);
    if (c.acceptable) {
        const std::size_t length = static_cast<std::size_t>(c.first) * c.second * 3;
        EXPECT_EQ(readFile(fileName(0)), frame.substr(0, length));
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameSinkAcceptance,
                         ::testing::Values(AcceptCase{"four_by_two", false, 4, 2, 3, true},
                                           AcceptCase{"one_pixel", false, 1, 1, 3, true},
                                           AcceptCase{"two_by_four", false, 2, 4, 3, true},
                                           AcceptCase{"null_data", true, 4, 2, 3, false},
                                           AcceptCase{"zero_first", false, 0, 2, 3, false},
                                           AcceptCase{"zero_second", false, 4, 0, 3, false},
                                           AcceptCase{"negative_first", false, -4, 2, 3, false},
                                           AcceptCase{"negative_second", false, 4, -2, 3, false},
                                           AcceptCase{"both_negative", false, -4, -2, 3, false},
                                           AcceptCase{"four_channels", false, 4, 2, 4, false},
                                           AcceptCase{"one_channel", false, 4, 2, 1, false},
                                           AcceptCase{"zero_channels", false, 4, 2, 0, false},
                                           AcceptCase{"negative_channels", false, 4, 2, -3, false}),
                         [](const ::testing::TestParamInfo<AcceptCase>& info) {
                             return info.param.name;
                         });

TEST_F(FrameSinkTest, SavesTheFirstTenAcceptableFramesAndCountsTheRest) {
    std::vector<std::string> frames;
    for (int i = 0; i < 15; ++i) {
        frames.push_back(makeFrame(4, 2, i));
        deliver(frames.back(), 4, 2);
    }
    EXPECT_EQ(g_frames.load(), 15);
    EXPECT_EQ(g_saved.load(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(readFile(fileName(i)), frames[i]) << fileName(i);
    }
    EXPECT_FALSE(fileExists(fileName(10)));
}

TEST_F(FrameSinkTest, RejectedDeliveriesDoNotUseUpNames) {
    // Thirty deliveries, every sixth with four channels.
    std::vector<std::string> accepted;
    for (int i = 0; i < 30; ++i) {
        const std::string frame = makeFrame(4, 2, i) + makeFrame(4, 2, i + 100);
        if (i % 6 == 5) {
            deliver(frame, 4, 2, 4);
        } else {
            accepted.push_back(frame.substr(0, 24));
            deliver(frame, 4, 2);
        }
    }
    EXPECT_EQ(g_frames.load(), 30);
    EXPECT_EQ(g_saved.load(), 10);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(readFile(fileName(i)), accepted[i]) << fileName(i);
    }
}

TEST_F(FrameSinkTest, LengthIsWorkedOutWithoutThirtyTwoBitOverflow) {
    // 1024 x 700 x 3 fits easily; the product of the dimensions alone decides.
    const std::string frame = makeFrame(1024, 700, 3);
    deliver(frame, 1024, 700);
    EXPECT_EQ(readFile(fileName(0)).size(), frame.size());
}

TEST_F(FrameSinkTest, ARefusedNameUsesUpItsIndex) {
    // A directory in the way refuses the name even for root.
    std::filesystem::create_directory(fileName(0));
    const std::string first = makeFrame(4, 2, 1);
    const std::string second = makeFrame(4, 2, 2);
    deliver(first, 4, 2);
    deliver(second, 4, 2);

    EXPECT_EQ(g_saved.load(), 2);
    EXPECT_EQ(g_frames.load(), 2);
    EXPECT_TRUE(std::filesystem::is_directory(fileName(0)));
    EXPECT_EQ(readFile(fileName(1)), second);
}

TEST_F(FrameSinkTest, AllNamesRefusedLeaveNoFileAndTenAttempts) {
    for (int i = 0; i < 10; ++i) {
        std::filesystem::create_directory(fileName(i));
    }
    for (int i = 0; i < 12; ++i) {
        deliver(makeFrame(4, 2, i), 4, 2);
    }
    EXPECT_EQ(g_saved.load(), 10);
    EXPECT_EQ(g_frames.load(), 12);
    for (int i = 0; i < 10; ++i) {
        EXPECT_TRUE(std::filesystem::is_directory(fileName(i)));
    }
    EXPECT_FALSE(fileExists(fileName(10)));
}

TEST_F(FrameSinkTest, AStaleFileIsReplacedWhateverItsSize) {
    testsupport::writeFile(fileName(0), std::string(100000, 'x'));
    const std::string frame = makeFrame(4, 2, 9);
    deliver(frame, 4, 2);
    EXPECT_EQ(readFile(fileName(0)), frame);
}

TEST_F(FrameSinkTest, ConcurrentDeliveriesNeverShareAnIndex) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 5;
    for (int round = 0; round < 20; ++round) {
        g_frames.store(0);
        g_saved.store(0);
        for (int i = 0; i < 12; ++i) {
            std::remove(fileName(i).c_str());
        }
        std::vector<std::string> frames;
        for (int i = 0; i < kThreads * kPerThread; ++i) {
            frames.push_back(makeFrame(16, 8, i + round * 1000));
        }
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) {
                }
                for (int i = 0; i < kPerThread; ++i) {
                    deliver(frames[t * kPerThread + i], 16, 8);
                }
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        ASSERT_EQ(g_frames.load(), kThreads * kPerThread);
        ASSERT_EQ(g_saved.load(), 10);
        std::set<std::string> seen;
        for (int i = 0; i < 10; ++i) {
            const std::string content = readFile(fileName(i));
            ASSERT_NE(std::find(frames.begin(), frames.end(), content), frames.end())
                << fileName(i) << " in round " << round;
            seen.insert(content);
        }
        ASSERT_EQ(seen.size(), 10u) << "a frame was saved twice in round " << round;
        ASSERT_FALSE(fileExists(fileName(10)));
    }
}

} // namespace
