#include "view.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#include <stb_easy_font.h>
#include <stb_image_write.h>

namespace fs = std::filesystem;

namespace irview {
namespace {

constexpr const char* kUsage =
    "usage: ir_view [--size WxH] [--bgr] FILE... (-o DIR | --sheet OUT.png)";

struct SensorSize {
    int width, height;
};
constexpr SensorSize kSensorSizes[] = {{160, 120}, {256, 192}, {320, 240},
                                       {384, 288}, {640, 480}, {640, 512}};

struct Options {
    bool sizeGiven = false;
    int width = 0, height = 0;
    bool bgr = false;
    std::vector<std::string> files;
    std::string outDir;
    std::string sheet;
};

struct Image {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
    std::string label;
};

// An error of the run: one line on the error stream.
struct Failure {
    std::string message;
};

bool parseSize(const std::string& text, int* width, int* height) {
    char cross = 0;
    char extra = 0;
    return std::sscanf(text.c_str(), "%d%c%d%c", width, &cross, height, &extra) == 3 &&
           (cross == 'x' || cross == 'X') && *width > 0 && *height > 0 && *width <= 16384 &&
           *height <= 16384;
}

bool parseArgs(const std::vector<std::string>& args, Options* options, std::string* error) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--size" && hasValue) {
            if (!parseSize(args[++i], &options->width, &options->height)) {
                *error = "--size wants WxH, not \"" + args[i] + "\"";
                return false;
            }
            options->sizeGiven = true;
        } else if (arg == "--bgr") {
            options->bgr = true;
        } else if (arg == "-o" && hasValue) {
            options->outDir = args[++i];
        } else if (arg == "--sheet" && hasValue) {
            options->sheet = args[++i];
        } else if (arg.size() > 1 && arg[0] == '-') {
            *error = "unknown or incomplete option " + arg;
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    if (options->files.empty() || options->outDir.empty() == options->sheet.empty()) {
        *error = "give at least one FILE and exactly one of -o DIR and --sheet OUT.png";
        return false;
    }
    return true;
}

Image load(const std::string& path, const Options& options) {
    std::error_code ec;
    const auto length = fs::file_size(path, ec);
    if (ec || !fs::is_regular_file(path, ec)) {
        throw Failure{path + ": no such file"};
    }
    Image image;
    image.label = fs::path(path).filename().string();
    if (options.sizeGiven) {
        image.width = options.width;
        image.height = options.height;
        const std::uint64_t expected = static_cast<std::uint64_t>(image.width) * image.height * 3;
        if (length != expected) {
            throw Failure{path + ": " + std::to_string(length) + " bytes, but " +
                          std::to_string(image.width) + "x" + std::to_string(image.height) +
                          " frames are " + std::to_string(expected)};
        }
    } else {
        std::string why;
        if (!inferSize(length, &image.width, &image.height, &why)) {
            throw Failure{path + ": " + why};
        }
    }
    image.rgb.resize(static_cast<std::size_t>(length));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    const bool read = file != nullptr &&
                      (length == 0 ||
                       std::fread(image.rgb.data(), 1, image.rgb.size(), file) == image.rgb.size());
    if (file != nullptr) {
        std::fclose(file);
    }
    if (!read) {
        throw Failure{path + ": cannot be read"};
    }
    if (options.bgr) {
        for (std::size_t i = 0; i + 2 < image.rgb.size(); i += 3) {
            std::swap(image.rgb[i], image.rgb[i + 2]);
        }
    }
    return image;
}

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::vector<unsigned char>*>(context);
    const auto* bytes = static_cast<const unsigned char*>(data);
    out->insert(out->end(), bytes, bytes + size);
}

// Encodes in memory, writes beside the target and renames, so that a failed
// write never leaves a partial PNG under the final name.
void writePng(const Image& image, const std::string& path) {
    std::vector<unsigned char> png;
    if (stbi_write_png_to_func(appendBytes, &png, image.width, image.height, 3, image.rgb.data(),
                               image.width * 3) == 0) {
        throw Failure{path + ": cannot encode the picture"};
    }
    const std::string temporary = path + ".part";
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
    bool written = file != nullptr && std::fwrite(png.data(), 1, png.size(), file) == png.size();
    written = file != nullptr && std::fclose(file) == 0 && written;
    std::error_code ec;
    if (written) {
        fs::rename(temporary, path, ec);
        if (ec) { // Windows will not rename over an existing file
            fs::remove(path, ec);
            fs::rename(temporary, path, ec);
        }
        written = !ec;
    }
    if (!written) {
        fs::remove(temporary, ec);
        throw Failure{path + ": cannot be written"};
    }
}

void fill(Image* image, int x0, int y0, int x1, int y1, const unsigned char* colour) {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, image->width);
    y1 = std::min(y1, image->height);
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            std::memcpy(&image->rgb[(static_cast<std::size_t>(y) * image->width + x) * 3], colour,
                        3);
        }
    }
}

// Draws `text` with its top left at (x, y), each font pixel `scale` pixels
// (one where that would not fit), clipped to `maxWidth`.
void drawLabel(Image* image, const std::string& text, int x, int y, int scale, int maxWidth) {
    static const unsigned char kWhite[3] = {255, 255, 255};
    if (stb_easy_font_width(const_cast<char*>(text.c_str())) * scale > maxWidth) {
        scale = 1;
    }
    std::vector<char> buffer(text.size() * 300 + 1000);
    const int quads = stb_easy_font_print(0, 0, const_cast<char*>(text.c_str()), nullptr,
                                          buffer.data(), static_cast<int>(buffer.size()));
    for (int q = 0; q < quads; ++q) {
        // Four vertices per quad, 16 bytes each, x and y first.
        float corners[2][2];
        std::memcpy(corners[0], buffer.data() + q * 64, sizeof corners[0]);
        std::memcpy(corners[1], buffer.data() + q * 64 + 32, sizeof corners[1]);
        const int left = x + static_cast<int>(corners[0][0]) * scale;
        const int right = std::min(x + static_cast<int>(corners[1][0]) * scale, x + maxWidth);
        fill(image, left, y + static_cast<int>(corners[0][1]) * scale, right,
             y + static_cast<int>(corners[1][1]) * scale, kWhite);
    }
}

constexpr int kColumns = 5;
constexpr int kPad = 8;
constexpr int kLabelScale = 2;
constexpr int kLabelHeight = 12 * kLabelScale;

Image contactSheet(const std::vector<Image>& frames) {
    int cellWidth = 0;
    int cellHeight = 0;
    for (const Image& frame : frames) {
        cellWidth = std::max(cellWidth, frame.width + 2 * kPad);
        cellHeight = std::max(cellHeight, frame.height + 2 * kPad + kLabelHeight);
    }
    const int count = static_cast<int>(frames.size());
    const int columns = std::min(count, kColumns);
    const int rows = (count + kColumns - 1) / kColumns;
    Image sheet;
    sheet.width = columns * cellWidth;
    sheet.height = rows * cellHeight;
    sheet.rgb.assign(static_cast<std::size_t>(sheet.width) * sheet.height * 3, 40);
    for (int i = 0; i < count; ++i) {
        const Image& frame = frames[static_cast<std::size_t>(i)];
        const int left = (i % kColumns) * cellWidth + kPad;
        const int top = (i / kColumns) * cellHeight + kPad;
        for (int y = 0; y < frame.height; ++y) {
            std::memcpy(&sheet.rgb[(static_cast<std::size_t>(top + y) * sheet.width + left) * 3],
                        &frame.rgb[static_cast<std::size_t>(y) * frame.width * 3],
                        static_cast<std::size_t>(frame.width) * 3);
        }
        drawLabel(&sheet, frame.label, left, top + frame.height + kPad / 2, kLabelScale,
                  cellWidth - 2 * kPad);
    }
    return sheet;
}

std::string outputPath(const std::string& dir, const std::string& input) {
    return (fs::path(dir) / fs::path(input).filename().replace_extension(".png")).string();
}

} // namespace

bool inferSize(std::uint64_t length, int* width, int* height, std::string* error) {
    int matches = 0;
    for (const SensorSize& size : kSensorSizes) {
        if (static_cast<std::uint64_t>(size.width) * size.height * 3 == length) {
            *width = size.width;
            *height = size.height;
            ++matches;
        }
    }
    if (matches == 1) {
        return true;
    }
    *error = std::to_string(length) + " bytes " +
             (matches == 0 ? "fit no common sensor size" : "fit several sensor sizes") +
             "; give --size WxH";
    return false;
}

int run(const std::vector<std::string>& args, std::FILE* err) {
    Options options;
    std::string usageError;
    if (!parseArgs(args, &options, &usageError)) {
        std::fprintf(err, "ir_view: %s\n%s\n", usageError.c_str(), kUsage);
        return 2;
    }
    try {
        // Every input is read and checked before anything is written.
        std::vector<Image> frames;
        for (const std::string& file : options.files) {
            frames.push_back(load(file, options));
        }
        if (!options.sheet.empty()) {
            writePng(contactSheet(frames), options.sheet);
            return 0;
        }
        std::set<std::string> outputs;
        for (const std::string& file : options.files) {
            if (!outputs.insert(outputPath(options.outDir, file)).second) {
                throw Failure{file + ": another input already makes " +
                              outputPath(options.outDir, file)};
            }
        }
        std::error_code ec;
        fs::create_directories(options.outDir, ec);
        if (!fs::is_directory(options.outDir, ec)) {
            throw Failure{options.outDir + ": not a directory that can be made"};
        }
        for (std::size_t i = 0; i < frames.size(); ++i) {
            writePng(frames[i], outputPath(options.outDir, options.files[i]));
        }
    } catch (const Failure& failure) {
        std::fprintf(err, "ir_view: %s\n", failure.message.c_str());
        return 1;
    } catch (const std::exception& e) {
        std::fprintf(err, "ir_view: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace irview
