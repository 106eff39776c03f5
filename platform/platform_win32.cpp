// Win32 implementation: the system's own loader and tick, unchanged.
#include "platform.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace platform {

void addLibraryDirectory(const char* directory) {
    SetDllDirectoryA(directory);
}

void* loadLibrary(const char* name) {
    return static_cast<void*>(LoadLibraryA(name));
}

std::uint32_t lastError() {
    return static_cast<std::uint32_t>(GetLastError());
}

ExportAddress findExport(void* library, const char* name) {
    return reinterpret_cast<ExportAddress>(GetProcAddress(static_cast<HMODULE>(library), name));
}

std::uint32_t tickMs() {
    return static_cast<std::uint32_t>(GetTickCount());
}

void sleepMs(std::uint32_t milliseconds) {
    Sleep(static_cast<DWORD>(milliseconds));
}

} // namespace platform
