// The few operating-system services the harness needs: finding and binding a
// library at run time, a wrapping millisecond tick and a sleep.
#pragma once

#include <cstdint>

namespace platform {

// An export's address, untyped; the caller converts it to the export's type.
using ExportAddress = void (*)();

// Adds a directory to the places searched by loadLibrary.
void addLibraryDirectory(const char* directory);

// Loads a library by its bare Windows file name ("Name.dll"); null on failure.
void* loadLibrary(const char* name);

// The calling thread's last error code, with the Windows meanings
// (0 success, 126 module not found, 193 not a loadable image).
std::uint32_t lastError();

// The address of an export by name, or null when the library lacks it.
ExportAddress findExport(void* library, const char* name);

// Milliseconds since an arbitrary start, wrapping at 2^32.
std::uint32_t tickMs();

void sleepMs(std::uint32_t milliseconds);

} // namespace platform
