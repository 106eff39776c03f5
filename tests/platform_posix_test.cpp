#include "platform/platform.h"
#include "support/support.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/time.h>

namespace fs = std::filesystem;

namespace {

// A copy of the simulator under another name, so that the copy beside this
// test executable does not answer first.
std::string copySimulatorAs(const std::string& dir, const std::string& file) {
    const std::string path = dir + "/" + file;
    fs::copy_file(IR_SIM_LIBRARY, path, fs::copy_options::overwrite_existing);
    return path;
}

TEST(PosixLoader, FindsTheLibraryBesideTheExecutableFirst) {
    platform::addLibraryDirectory(nullptr);
    void* library = platform::loadLibrary("ThermalSDK.dll");
    EXPECT_NE(library, nullptr);
    EXPECT_EQ(platform::lastError(), 0u);
    EXPECT_NE(platform::findExport(library, "Start"), nullptr);
    EXPECT_EQ(platform::findExport(library, "NoSuchExport"), nullptr);
}

TEST(PosixLoader, SearchesTheAddedDirectory) {
    const std::string dir = testsupport::makeTempDir("ir-added");
    copySimulatorAs(dir, "libAddedCopy.so");
    platform::addLibraryDirectory(dir.c_str());
    EXPECT_NE(platform::loadLibrary("AddedCopy.dll"), nullptr);
    EXPECT_EQ(platform::lastError(), 0u);
    platform::addLibraryDirectory(nullptr);
}

struct LoadFailure {
    const char* name;
    const char* fileInAddedDir; // nullptr: nothing there
    const char* content;
    std::uint32_t error;
};

TEST(PosixLoader, ReportsWindowsErrorCodes) {
    const LoadFailure cases[] = {
        {"NothingAnywhere.dll", nullptr, "", 126},
        {"Garbage.dll", "libGarbage.so", "this is not a shared object\n", 193},
        {"Empty.dll", "libEmpty.so", "", 193},
    };
    for (const LoadFailure& c : cases) {
        const std::string dir = testsupport::makeTempDir("ir-fail");
        if (c.fileInAddedDir != nullptr) {
            testsupport::writeFile(dir + "/" + c.fileInAddedDir, c.content);
        }
        platform::addLibraryDirectory(dir.c_str());
        EXPECT_EQ(platform::loadLibrary(c.name), nullptr) << c.name;
        EXPECT_EQ(platform::lastError(), c.error) << c.name;
    }
    platform::addLibraryDirectory(nullptr);
}

TEST(PosixLoader, NeverLooksInTheWorkingDirectory) {
    const std::string dir = testsupport::makeTempDir("ir-cwd");
    copySimulatorAs(dir, "libPlanted.so");
    // A relative or Windows-style directory would resolve against the
    // working directory, so it is not searched at all.
    fs::create_directory(dir + "/sub");
    copySimulatorAs(dir + "/sub", "libPlanted.so");
    testsupport::ScopedWorkingDirectory cwd(dir);
    for (const char* added : {".", "sub", "C:\\Project\\app", ""}) {
        platform::addLibraryDirectory(added);
        EXPECT_EQ(platform::loadLibrary("Planted.dll"), nullptr) << added;
        EXPECT_EQ(platform::lastError(), 126u) << added;
    }
    platform::addLibraryDirectory(nullptr);
}

TEST(PosixTick, SleepLastsAtLeastItsTime) {
    const std::uint32_t before = platform::tickMs();
    platform::sleepMs(50);
    const std::uint32_t elapsed = platform::tickMs() - before;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 5000u);
}

void onAlarm(int) {}

TEST(PosixTick, SleepResumesAfterASignal) {
    struct sigaction action {};
    action.sa_handler = onAlarm; // no SA_RESTART: the sleep is interrupted
    sigaction(SIGALRM, &action, nullptr);
    itimerval timer{};
    timer.it_value.tv_usec = 20000;
    timer.it_interval.tv_usec = 20000;
    setitimer(ITIMER_REAL, &timer, nullptr);

    const std::uint32_t before = platform::tickMs();
    platform::sleepMs(150);
    const std::uint32_t elapsed = platform::tickMs() - before;

    timer = itimerval{};
    setitimer(ITIMER_REAL, &timer, nullptr);
    signal(SIGALRM, SIG_DFL);
    EXPECT_GE(elapsed, 150u);
}

} // namespace
