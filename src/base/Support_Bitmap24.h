// 24-bit images: the in-memory picture every sprite frame and background is kept as, the
// game file's image encoding (a Windows bitmap or one of two run-length schemes), and the
// Windows bitmap file format itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stream/Support_Stream.h"

namespace kelvane {

// A picture of 24-bit pixels, rows from the top, each pixel blue, green, red, no padding.
struct Bitmap24 {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
    // The picture's encoding as a game file stored it (scheme number included), so that an
    // unchanged picture is written back byte for byte. Ignored once the pixels differ.
    std::shared_ptr<const std::vector<uint8_t>> stored;

    Bitmap24() = default;
    Bitmap24(int32_t w, int32_t h, uint32_t fill_colour = 0);
    bool empty() const { return width <= 0 || height <= 0; }
    // Colours are Windows colour values: red + 256 * green + 65536 * blue.
    uint32_t pixel(int32_t x, int32_t y) const;
    void set_pixel(int32_t x, int32_t y, uint32_t colour);
    // Pictures are equal when their pixels are; how they were stored does not count.
    bool operator==(const Bitmap24& o) const {
        return width == o.width && height == o.height && pixels == o.pixels;
    }
};

// Largest width or height, and largest pixel count, of one picture read from any file
// (game file, save, picture file, project): 2^24 pixels is 4096 x 4096, 48 MiB at 24 bits.
constexpr int32_t max_image_side = 32768;
constexpr int64_t max_image_pixels = int64_t(1) << 24;

// Image encoding schemes of the game file.
enum class ImageScheme : int32_t { none = -1, bitmap = 0, runs = 1, palette_runs = 2 };

// Reads one image in the game file's image encoding (raw bytes, no substitution); the
// result keeps its encoded bytes in `stored` (when the stream keeps encodings) and its pixels are
// spent from the stream's budget (before they are allocated, for the run-length schemes). Yields no
// image for scheme -1. An unknown scheme sets `unknown_scheme` and yields no image; malformed data
// throws StreamError.
std::optional<Bitmap24> ReadImage(CStream& s, bool* unknown_scheme = nullptr);
// Where a picture is decoded straight into 32-bit pixels (0x00RRGGBB): a window of width x
// height pixels, rows `stride` pixels apart, black beforehand. What the picture holds
// beyond the window is cut off.
struct PixelWindow {
    uint32_t* pixels = nullptr;
    size_t stride = 0;
    int32_t width = 0, height = 0;
};
// What was decoded: the picture's own size and its bottom-left pixel (0x00RRGGBB).
struct DecodedPicture {
    int32_t width = 0, height = 0;
    uint32_t bottom_left = 0;
    bool empty() const { return width <= 0 || height <= 0; }
};
// Reads one image like ReadImage, but decodes it straight into the window that `place`
// gives for the picture's size (asked only for a picture with pixels, after its pixels are
// spent from the budget), keeping nothing else.
std::optional<DecodedPicture>
ReadImageInto(CStream& s, const std::function<PixelWindow(int32_t w, int32_t h)>& place,
              bool* unknown_scheme = nullptr);
// Writes an image: its stored encoding when that still gives its pixels, else the
// run-length schemes: the palette scheme when it has at most 256 colours (palette in order
// of first appearance), else true colour. Deterministic.
void WriteImage(CStream& s, const std::optional<Bitmap24>& image);
// The run-length encoding WriteImage makes for a picture without a usable stored one.
std::vector<uint8_t> EncodeImage(const Bitmap24& image);
// True when `image.stored` holds an encoding of exactly these pixels.
bool StoredEncodingMatches(const Bitmap24& image);

// Windows bitmap files. Decoding accepts uncompressed 1, 4, 8, 16, 24 and 32 bits per
// pixel (and 4/8-bit run-length), top-down or bottom-up; the result is always 24-bit.
// `consumed` receives the number of bytes the file occupies.
std::optional<Bitmap24> DecodeBmp(const uint8_t* data, size_t size, std::string* error = nullptr,
                                  size_t* consumed = nullptr);
std::vector<uint8_t> EncodeBmp(const Bitmap24& image);

// The colour of the bottom-left pixel (x 0, last row).
uint32_t Bitmap24_TransparentColor(const Bitmap24& image);
// Widens the box (left, top, right, bottom) to every pixel that differs from the
// image's transparent colour.
void Bitmap24_BoundingBox(const Bitmap24& image, int32_t& left, int32_t& top, int32_t& right,
                          int32_t& bottom);

// A record's claimed picture size held against its pictures: when one of them holds pixels
// and the claim differs from its size, that size is taken and a warning added ("sprite" or
// "background" is `kind`), so that nothing is ever sized by a claim the file does not back.
void take_picture_size(int32_t& width, int32_t& height, int32_t picture_width,
                       int32_t picture_height, const char* kind,
                       std::vector<std::string>* warnings);
void take_pictures_size(int32_t& width, int32_t& height, std::span<const Bitmap24> pictures,
                        const char* kind, std::vector<std::string>* warnings);

} // namespace kelvane
