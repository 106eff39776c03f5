// Replaying reference frames captured earlier: the files "official_ir_00.rgb"
// upwards from a directory, read whole before delivery starts.
#pragma once

#include <string>
#include <vector>

namespace irsim {

// Reads the frames from `directory`, in index order up to the first missing
// index. Every file must hold exactly width * height * 3 bytes. On any
// problem, reports one line naming the file or the variable and returns no
// frames, so that the caller falls back to the synthetic scene.
std::vector<std::string> loadReplay(const char* directory, bool sizeGiven, int width, int height,
                                    void (*report)(const char* line));

} // namespace irsim
