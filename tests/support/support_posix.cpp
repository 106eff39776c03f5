#include "support.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace testsupport {

const char* const kLineEnd = "\n";
const bool kHasFileSizeLimit = true;

void setEnv(const char* name, const char* value) {
    ::setenv(name, value, 1);
}
void unsetEnv(const char* name) {
    ::unsetenv(name);
}

ProcessResult runProcess(const std::string& exe, const std::string& cwd,
                         const std::vector<std::pair<std::string, std::string>>& env,
                         std::int64_t fileSizeLimit) {
    // Everything the child needs is built before fork: only async-signal-safe
    // calls may follow it.
    std::vector<std::string> entries;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::strncmp(*entry, "IRSIM_", 6) != 0 &&
            std::strncmp(*entry, "LD_LIBRARY_PATH=", 16) != 0) {
            entries.emplace_back(*entry);
        }
    }
    for (const auto& [name, value] : env) {
        entries.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& entry : entries) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    const std::string outPath = makeTempDir("ir-out") + "/stdout";
    const std::string errPath = outPath.substr(0, outPath.size() - 6) + "stderr";
    char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};

    ProcessResult result;
    const auto started = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(cwd.c_str()) != 0) {
            _exit(127);
        }
        if (fileSizeLimit >= 0) {
            // A write past the limit then fails with EFBIG instead of killing.
            signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{static_cast<rlim_t>(fileSizeLimit),
                               static_cast<rlim_t>(fileSizeLimit)};
            if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                _exit(127);
            }
        }
        execve(exe.c_str(), argv, envp.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        result.status = WEXITSTATUS(status);
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}

} // namespace testsupport
