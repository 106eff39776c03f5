// Back-to-back runs against a fast simulator, alternating one and several
// delivering threads, each checked exactly.
#include "support/harness_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace {

using namespace e2e;

constexpr int kShards = 4;
constexpr int kRunsPerShard = 50;

class Stress : public ::testing::TestWithParam<int> {};

TEST_P(Stress, EveryRunIsExact) {
    for (int i = 0; i < kRunsPerShard; ++i) {
        const int threads = i % 2 == 0 ? 1 : 8;
        const Install install = makeInstall(IR_SIM_LIBRARY);
        const auto result = run(install, {{"IRSIM_FPS", "1000"},
                                          {"IRSIM_FRAMES", "12"},
                                          {"IRSIM_THREADS", std::to_string(threads)}});
        SCOPED_TRACE("run " + std::to_string(i) + " with " + std::to_string(threads) +
                     " threads in " + install.work);

        ASSERT_EQ(result.status, 0);
        ASSERT_EQ(normalisePointers(result.out), expectedReport({}));
        ASSERT_EQ(result.err, "");
        if (threads == 1) {
            expectFrames(install, kDefaultScene, firstTen());
        } else {
            expectDistinctFrames(install, kDefaultScene, 10, 12);
        }
        ASSERT_FALSE(HasFailure());
        std::filesystem::remove_all(install.root);
    }
}

INSTANTIATE_TEST_SUITE_P(Shards, Stress, ::testing::Range(0, kShards));

} // namespace
