// ir_view: reference frame files (raw 8-bit RGB, no header) to PNG pictures.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace irview {

// Finds the one common thermal sensor size whose 3-channel frames are
// `length` bytes long; otherwise says why in `error`.
bool inferSize(std::uint64_t length, int* width, int* height, std::string* error);

// The whole tool: `args` as on the command line (without the program name).
// Errors go to `err` as one line; returns 0, 1 (an error) or 2 (usage).
int run(const std::vector<std::string>& args, std::FILE* err);

} // namespace irview
