// Frame files: every step's last picture is on disk once the writer is done with it,
// with exactly the pixels presented, whatever the game did to its picture since.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/Frame_Files.h"
#include "project/Project_Image.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

std::vector<uint32_t> decoded(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
    std::string error;
    auto image = decode_picture(bytes, &error);
    EXPECT_TRUE(image) << path << ": " << error;
    std::vector<uint32_t> out;
    if (!image) return out;
    for (int32_t y = 0; y < image->height; ++y)
        for (int32_t x = 0; x < image->width; ++x) out.push_back(image->pixel(x, y));
    return out;
}

// 0x00RRGGBB as the Windows colour that a decoded picture gives (red lowest).
uint32_t pixel_colour_of(uint32_t p) {
    return (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
}

} // namespace

TEST(FrameFiles, EachStepsLastPictureIsWrittenWithItsPixelsBeforeTheWriterEnds) {
    const fs::path dir =
        fs::temp_directory_path() / ("kelvane-frame-files-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    // 0x00RRGGBB pixels; as Windows colours (red lowest) they read back swapped.
    Image32 picture{3, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456, 0x000000, 0xFFFFFF}};
    const std::vector<uint32_t> windows = {0x0000FF, 0x00FF00, 0xFF0000,
                                           0x563412, 0x000000, 0xFFFFFF};
    {
        FrameFiles frames(dir.string());
        for (int64_t step = 1; step <= 40; ++step) {
            Image32 other = picture;
            other.pixels[0] = uint32_t(step); // a transition's earlier picture
            frames.write(step, other);
            frames.write(step, picture);
            // The game goes on drawing into its picture: what was handed over stays.
            picture.pixels[4] = uint32_t(step) << 16;
            frames.write(step, picture);
            picture.pixels[4] = 0;
        }
    } // the writer finishes everything before it goes
    for (int64_t step = 1; step <= 40; ++step) {
        char name[32];
        std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(step));
        SCOPED_TRACE(name);
        std::vector<uint32_t> expected = windows;
        expected[4] = uint32_t(step);
        EXPECT_EQ(decoded(dir / name), expected);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), {}), 40);
    fs::remove_all(dir);
}

TEST(FrameFiles, PicturesOfEveryKindDecodeWithAnyReaderToTheirPixels) {
    const fs::path dir =
        fs::temp_directory_path() / ("kelvane-frame-png-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    // Noise whose data spans several chunks, flat areas with edges, a row and a column
    // alone; the top byte of a pixel is not part of its colour.
    struct Case {
        const char* name;
        int32_t width, height;
    };
    const Case cases[] = {
        {"noise", 400, 400}, {"flat", 640, 480}, {"row", 97, 1}, {"column", 1, 53}};
    uint32_t seed = 12345;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Image32 picture{c.width, c.height, {}};
        std::vector<uint32_t> windows;
        for (int32_t y = 0; y < c.height; ++y)
            for (int32_t x = 0; x < c.width; ++x) {
                seed = seed * 1103515245u + 12345u;
                uint32_t p = std::string(c.name) == "flat" ? (x / 64 + y / 48) % 3 * 0x7F3F1Fu
                                                           : seed >> 8 ^ seed << 24;
                picture.pixels.push_back(p);
                windows.push_back(pixel_colour_of(p));
            }
        const fs::path path = dir / (std::string(c.name) + ".png");
        ASSERT_TRUE(write_png_file(path.string(), picture));
        EXPECT_EQ(decoded(path), windows);
    }
    EXPECT_FALSE(write_png_file((dir / "none.png").string(), Image32{0, 0, {}}));
    fs::remove_all(dir);
}

TEST(FrameFiles, AFileThatCannotBeWrittenEndsTheWritingWithOneMessage) {
    const fs::path dir =
        fs::temp_directory_path() / ("kelvane-frame-fail-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "frame-000002.png"); // a folder where a frame should go
    FrameFiles frames(dir.string());
    Image32 picture{1, 1, {0}};
    ::testing::internal::CaptureStderr();
    for (int64_t step = 1; step <= 5; ++step) frames.write(step, picture);
    EXPECT_TRUE(frames.failed());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("frame-000002.png"), std::string::npos);
    EXPECT_EQ(err.find("cannot write"), err.rfind("cannot write"));
    EXPECT_TRUE(fs::exists(dir / "frame-000001.png"));
    EXPECT_FALSE(fs::exists(dir / "frame-000003.png"));
    fs::remove_all(dir);
}
