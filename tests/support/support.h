// Helpers shared by the tests: scratch directories, files, environment and
// child processes. One implementation file per platform.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// How the C runtime ends a line that a program writes to a text stream.
extern const char* const kLineEnd;

std::string makeTempDir(const std::string& prefix);
std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& content);
bool fileExists(const std::string& path);

void setEnv(const char* name, const char* value);
void unsetEnv(const char* name);

struct ProcessResult {
    int status = -1;    // exit status, or -1 when it did not exit normally
    std::string out;    // everything written to standard output
    std::string err;    // everything written to standard error
    double seconds = 0; // wall time from start to exit
};

// Whether runProcess can cap the size of the files a child writes.
extern const bool kHasFileSizeLimit;

// Runs `exe` with no arguments in `cwd`, its standard output and error sent to
// files. The environment is this process's, less every IRSIM_* variable and
// the library search path, plus `env`. With fileSizeLimit >= 0 (where
// kHasFileSizeLimit), no file the child writes may grow past that many bytes.
ProcessResult runProcess(const std::string& exe, const std::string& cwd,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::int64_t fileSizeLimit = -1);

// Keeps the working directory for the lifetime of the object, then restores it.
class ScopedWorkingDirectory {
  public:
    explicit ScopedWorkingDirectory(const std::string& path);
    ~ScopedWorkingDirectory();
    ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
    ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  private:
    std::string previous_;
};

} // namespace testsupport
