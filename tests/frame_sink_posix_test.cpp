// Short writes, made real with a file-size limit in a child process.
#include "capture/frame_sink.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/resource.h>

namespace {

// In the child: frames of 4x2 (24 bytes), then 10x10 (300 bytes) under a
// 100-byte limit, then 4x2 again. Exits with g_saved * 10 + g_frames.
void deliverUnderSizeLimit() {
    g_frames.store(0);
    g_saved.store(0);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{100, 100};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
        std::_Exit(99);
    }
    const std::string small(24, 's');
    const std::string large(300, 'L');
    onIR(reinterpret_cast<const unsigned char*>(small.data()), 4, 2, 3);
    onIR(reinterpret_cast<const unsigned char*>(large.data()), 10, 10, 3);
    onIR(reinterpret_cast<const unsigned char*>(small.data()), 4, 2, 3);
    std::_Exit(g_saved.load() * 10 + g_frames.load());
}

TEST(FrameSinkShortWrite, APartialFileIsRemovedAndItsIndexUsedUp) {
    const std::string dir = testsupport::makeTempDir("ir-fsize");
    testsupport::ScopedWorkingDirectory cwd(dir);
    testsupport::writeFile("official_ir_01.rgb", "stale");

    EXPECT_EXIT(deliverUnderSizeLimit(), ::testing::ExitedWithCode(33), "");

    EXPECT_EQ(testsupport::readFile("official_ir_00.rgb"), std::string(24, 's'));
    EXPECT_FALSE(testsupport::fileExists("official_ir_01.rgb"))
        << "a truncated reference frame was left behind";
    EXPECT_EQ(testsupport::readFile("official_ir_02.rgb"), std::string(24, 's'));
}

} // namespace
