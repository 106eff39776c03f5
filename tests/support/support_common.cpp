#include "support.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace testsupport {

std::string makeTempDir(const std::string& prefix) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        const fs::path candidate =
            fs::temp_directory_path() /
            (prefix + "-" + std::to_string(stamp) + "-" + std::to_string(counter.fetch_add(1)));
        if (fs::create_directory(candidate)) {
            return candidate.string();
        }
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

bool fileExists(const std::string& path) {
    return fs::exists(path);
}

ScopedWorkingDirectory::ScopedWorkingDirectory(const std::string& path)
    : previous_(fs::current_path().string()) {
    fs::current_path(path);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    fs::current_path(previous_);
}

} // namespace testsupport
