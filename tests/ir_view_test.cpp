// ir_view, driven in-process; what it writes is decoded with stb_image and
// compared pixel by pixel.
#include "sim/scene.h"
#include "support/support.h"
#include "view.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#include <stb_image.h>

namespace fs = std::filesystem;

namespace {

struct Decoded {
    int width = 0, height = 0;
    std::vector<unsigned char> rgb;
};

Decoded decode(const std::string& path) {
    Decoded image;
    int channels = 0;
    unsigned char* pixels = stbi_load(path.c_str(), &image.width, &image.height, &channels, 3);
    if (pixels != nullptr) {
        image.rgb.assign(pixels, pixels + static_cast<std::size_t>(image.width) * image.height * 3);
        stbi_image_free(pixels);
    }
    return image;
}

std::string pattern(int width, int height, int seed) {
    std::string bytes(static_cast<std::size_t>(width) * height * 3, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((i * 7 + static_cast<std::size_t>(seed) * 13) & 0xff);
    }
    return bytes;
}

struct ViewResult {
    int status;
    std::string err;
};

class IrView : public ::testing::Test {
  protected:
    ViewResult view(std::vector<std::string> args) {
        const std::string errPath = dir_ + "/stderr.txt";
        std::FILE* err = std::fopen(errPath.c_str(), "w");
        const int status = irview::run(args, err);
        std::fclose(err);
        return {status, testsupport::readFile(errPath)};
    }
    std::string file(const std::string& name, const std::string& content) {
        const std::string path = dir_ + "/" + name;
        testsupport::writeFile(path, content);
        return path;
    }
    // Every file in `dir`, so that a test can say nothing else was written.
    static std::vector<std::string> listing(const std::string& dir) {
        std::vector<std::string> names;
        if (fs::is_directory(dir)) {
            for (const auto& entry : fs::directory_iterator(dir)) {
                names.push_back(entry.path().filename().string());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    const std::string dir_ = testsupport::makeTempDir("ir-view");
    const std::string out_ = dir_ + "/out";
};

struct PictureCase {
    const char* name;
    int width, height;
    bool giveSize;
    bool bgr;
};

class IrViewPictures : public IrView, public ::testing::WithParamInterface<PictureCase> {};

TEST_P(IrViewPictures, HoldTheFramePixels) {
    const PictureCase& c = GetParam();
    const std::string bytes = pattern(c.width, c.height, 1);
    std::vector<std::string> args;
    if (c.giveSize) {
        args = {"--size", std::to_string(c.width) + "x" + std::to_string(c.height)};
    }
    if (c.bgr) {
        args.push_back("--bgr");
    }
    args.insert(args.end(), {file("frame_a.rgb", bytes), "-o", out_});

    const ViewResult run = view(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(listing(out_), std::vector<std::string>{"frame_a.png"});
    const Decoded png = decode(out_ + "/frame_a.png");
    ASSERT_EQ(png.width, c.width);
    ASSERT_EQ(png.height, c.height);
    std::string expected = bytes;
    if (c.bgr) {
        for (std::size_t i = 0; i < expected.size(); i += 3) {
            std::swap(expected[i], expected[i + 2]);
        }
    }
    EXPECT_TRUE(
        std::equal(expected.begin(), expected.end(), png.rgb.begin(),
                   [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; }));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IrViewPictures,
    ::testing::Values(PictureCase{"inferred_160x120", 160, 120, false, false},
                      PictureCase{"inferred_640x512", 640, 512, false, false},
                      PictureCase{"inferred_256x192_bgr", 256, 192, false, true},
                      PictureCase{"given_4x2", 4, 2, true, false},
                      PictureCase{"given_4x2_bgr", 4, 2, true, true}),
    [](const ::testing::TestParamInfo<PictureCase>& info) { return info.param.name; });

TEST_F(IrView, OnePictureForEachFile) {
    const ViewResult run = view(
        {file("a.rgb", pattern(160, 120, 1)), file("b.rgb", pattern(160, 120, 2)), "-o", out_});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(listing(out_), (std::vector<std::string>{"a.png", "b.png"}));
}

TEST_F(IrView, TheSheetHoldsEveryFrameWithItsLabel) {
    const irsim::Scene scene{160, 120, 3000, 4400, 3700};
    std::vector<std::string> frames;
    std::vector<std::string> args;
    for (int i = 0; i < 7; ++i) {
        frames.emplace_back(160 * 120 * 3, '\0');
        irsim::renderFrame(scene, static_cast<std::uint32_t>(i), 3,
                           reinterpret_cast<unsigned char*>(&frames.back()[0]));
        args.push_back(file("official_ir_0" + std::to_string(i) + ".rgb", frames.back()));
    }
    args.insert(args.end(), {"--sheet", dir_ + "/sheet.png"});

    const ViewResult run = view(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const Decoded sheet = decode(dir_ + "/sheet.png");
    // Five to a row, each cell the frame with an 8-pixel margin and a label.
    const int cellWidth = 160 + 16;
    const int cellHeight = 120 + 16 + 24;
    ASSERT_EQ(sheet.width, 5 * cellWidth);
    ASSERT_EQ(sheet.height, 2 * cellHeight);
    for (int i = 0; i < 7; ++i) {
        const int left = (i % 5) * cellWidth + 8;
        const int top = (i / 5) * cellHeight + 8;
        for (int y = 0; y < 120; ++y) {
            const auto* row =
                &sheet.rgb[(static_cast<std::size_t>(top + y) * sheet.width + left) * 3];
            ASSERT_EQ(std::memcmp(row, &frames[i][static_cast<std::size_t>(y) * 160 * 3], 160 * 3),
                      0)
                << "frame " << i << " row " << y;
        }
        int white = 0;
        for (int y = top + 120; y < (i / 5 + 1) * cellHeight; ++y) {
            for (int x = left; x < left + 160; ++x) {
                const auto* p = &sheet.rgb[(static_cast<std::size_t>(y) * sheet.width + x) * 3];
                white += p[0] == 255 && p[1] == 255 && p[2] == 255;
            }
        }
        EXPECT_GT(white, 50) << "no label under frame " << i;
    }
}

struct ErrorCase {
    const char* name;
    int status;
    const char* message; // part of the one error line
};

class IrViewErrors : public IrView, public ::testing::WithParamInterface<ErrorCase> {
  protected:
    std::vector<std::string> argsFor(const std::string& name) {
        const std::string good = file("good.rgb", pattern(160, 120, 1));
        if (name == "missing_file") {
            return {good, dir_ + "/absent.rgb", "-o", out_};
        }
        if (name == "length_fits_no_size") {
            return {good, file("odd.rgb", std::string(100, 'x')), "-o", out_};
        }
        if (name == "length_does_not_fit_size") {
            return {"--size", "4x2", file("odd.rgb", std::string(25, 'x')), "-o", out_};
        }
        if (name == "output_directory_is_a_file") {
            file("out", "in the way");
            return {good, "-o", out_};
        }
        if (name == "sheet_in_a_missing_directory") {
            return {good, "--sheet", dir_ + "/no/such/dir/sheet.png"};
        }
        if (name == "bad_size") {
            return {"--size", "4by2", good, "-o", out_};
        }
        return {good}; // no output named
    }
};

TEST_P(IrViewErrors, SayWhyOnOneLineAndWriteNothing) {
    const ErrorCase& c = GetParam();

    const std::vector<std::string> args = argsFor(c.name);
    const std::vector<std::string> inputs = listing(dir_);

    const ViewResult run = view(args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(run.err.rfind("ir_view: ", 0), 0u) << run.err;
    if (c.status == 1) {
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    }
    // Only the inputs (and the captured error stream) are there.
    std::vector<std::string> after = listing(dir_);
    after.erase(std::remove(after.begin(), after.end(), "stderr.txt"), after.end());
    std::vector<std::string> expected = inputs;
    expected.erase(std::remove(expected.begin(), expected.end(), "stderr.txt"), expected.end());
    EXPECT_EQ(after, expected);
    EXPECT_TRUE(listing(out_).empty() || !fs::is_directory(out_));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IrViewErrors,
    ::testing::Values(ErrorCase{"missing_file", 1, "absent.rgb: no such file"},
                      ErrorCase{"length_fits_no_size", 1, "100 bytes fit no common sensor size"},
                      ErrorCase{"length_does_not_fit_size", 1, "25 bytes, but 4x2 frames are 24"},
                      ErrorCase{"output_directory_is_a_file", 1, "not a directory"},
                      ErrorCase{"sheet_in_a_missing_directory", 1, "cannot be written"},
                      ErrorCase{"bad_size", 2, "--size wants WxH"},
                      ErrorCase{"no_output", 2, "exactly one of -o DIR and --sheet"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

TEST(IrViewSizes, EachCommonSizeIsInferredFromItsLength) {
    const int sizes[][2] = {{160, 120}, {256, 192}, {320, 240}, {384, 288}, {640, 480}, {640, 512}};
    for (const auto& size : sizes) {
        int width = 0, height = 0;
        std::string error;
        ASSERT_TRUE(irview::inferSize(static_cast<std::uint64_t>(size[0]) * size[1] * 3, &width,
                                      &height, &error));
        EXPECT_EQ(width, size[0]);
        EXPECT_EQ(height, size[1]);
    }
}

} // namespace
