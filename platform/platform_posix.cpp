// POSIX implementation: dlopen with a search order of our own, so that a
// library planted in the working directory is never picked up.
#include "platform.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <unistd.h>

namespace platform {
namespace {

constexpr std::uint32_t kErrorModNotFound = 126;
constexpr std::uint32_t kErrorBadExeFormat = 193;

thread_local std::uint32_t t_lastError = 0;
char g_addedDirectory[PATH_MAX] = "";

// "Name.dll" becomes "libName.so"; any other name is used as it stands.
bool posixFileName(const char* name, char* out, std::size_t size) {
    const std::size_t length = std::strlen(name);
    int written;
    if (length > 4 && strcasecmp(name + length - 4, ".dll") == 0) {
        written = std::snprintf(out, size, "lib%.*s.so", static_cast<int>(length - 4), name);
    } else {
        written = std::snprintf(out, size, "%s", name);
    }
    return written > 0 && static_cast<std::size_t>(written) < size;
}

bool executableDirectory(char* out, std::size_t size) {
    const ssize_t length = readlink("/proc/self/exe", out, size - 1);
    if (length <= 0) {
        return false;
    }
    out[length] = '\0';
    char* slash = std::strrchr(out, '/');
    if (slash == nullptr) {
        return false;
    }
    slash[slash == out ? 1 : 0] = '\0';
    return true;
}

// Windows reports a missing module (or a missing dependency of it) as 126 and
// anything else that is not a loadable image as 193; dlerror only has text.
std::uint32_t errorFromDlerror() {
    const char* message = dlerror(); // NOLINT(concurrency-mt-unsafe): per-thread in glibc
    if (message != nullptr && std::strstr(message, "No such file or directory") != nullptr) {
        return kErrorModNotFound;
    }
    return kErrorBadExeFormat;
}

// Loads directory/file if that file exists. Returns true when the search
// should end here: the file was found, whether or not it loaded.
bool tryDirectory(const char* directory, const char* file, void** handle) {
    char path[PATH_MAX];
    const int written = std::snprintf(path, sizeof path, "%s/%s", directory, file);
    if (written <= 0 || static_cast<std::size_t>(written) >= sizeof path ||
        access(path, F_OK) != 0) {
        return false;
    }
    *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    t_lastError = *handle != nullptr ? 0 : errorFromDlerror();
    return true;
}

} // namespace

void addLibraryDirectory(const char* directory) {
    // Only an absolute POSIX path can name a place here; anything else (a
    // Windows path, a relative one) would resolve against the working
    // directory, which the search must never include.
    if (directory == nullptr || directory[0] != '/' ||
        std::strlen(directory) >= sizeof g_addedDirectory) {
        g_addedDirectory[0] = '\0';
        return;
    }
    std::strcpy(g_addedDirectory, directory);
}

void* loadLibrary(const char* name) {
    char file[NAME_MAX + 1];
    if (!posixFileName(name, file, sizeof file)) {
        t_lastError = kErrorModNotFound;
        return nullptr;
    }
    void* handle = nullptr;
    char directory[PATH_MAX];
    if (executableDirectory(directory, sizeof directory) &&
        tryDirectory(directory, file, &handle)) {
        return handle;
    }
    if (g_addedDirectory[0] != '\0' && tryDirectory(g_addedDirectory, file, &handle)) {
        return handle;
    }
    // A bare name: the dynamic linker's own search (LD_LIBRARY_PATH, cache,
    // system directories).
    handle = dlopen(file, RTLD_NOW | RTLD_LOCAL);
    t_lastError = handle != nullptr ? 0 : errorFromDlerror();
    return handle;
}

std::uint32_t lastError() {
    return t_lastError;
}

ExportAddress findExport(void* library, const char* name) {
    return reinterpret_cast<ExportAddress>(dlsym(library, name));
}

std::uint32_t tickMs() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                    static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void sleepMs(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000u),
                       static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
}

} // namespace platform
