// PNG through libpng's simplified interface (no setjmp error paths in our code).
#include "project/Project_Image.h"

#include <cstring>
#include <png.h>

namespace kelvane {

std::vector<uint8_t> encode_png(const Bitmap24& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = png_uint_32(image.width);
    png.height = png_uint_32(image.height);
    png.format = PNG_FORMAT_BGR;
    png_alloc_size_t size = 0;
    const png_int_32 stride = png_int_32(image.width) * 3;
    if (!png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), stride, nullptr))
        return {};
    std::vector<uint8_t> out(size);
    if (!png_image_write_to_memory(&png, out.data(), &size, 0, image.pixels.data(), stride,
                                   nullptr))
        return {};
    out.resize(size);
    return out;
}

namespace {

std::optional<Bitmap24> decode_png(const std::vector<uint8_t>& bytes, std::string* error) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    auto fail = [&]() -> std::optional<Bitmap24> {
        if (error) *error = png.message[0] ? png.message : "unreadable PNG";
        png_image_free(&png);
        return std::nullopt;
    };
    if (!png_image_begin_read_from_memory(&png, bytes.data(), bytes.size())) return fail();
    if (png.width == 0 || png.height == 0 || png.width > png_uint_32(max_image_side) ||
        png.height > png_uint_32(max_image_side) ||
        int64_t(png.width) * int64_t(png.height) > max_image_pixels) {
        png_image_free(&png);
        if (error) *error = "impossible image size";
        return std::nullopt;
    }
    // Read with alpha so that no compositing changes a colour; the alpha is then dropped.
    png.format = PNG_FORMAT_BGRA;
    std::vector<uint8_t> bgra(size_t(png.width) * png.height * 4);
    if (!png_image_finish_read(&png, nullptr, bgra.data(), png_int_32(png.width) * 4, nullptr))
        return fail();
    Bitmap24 img(int32_t(png.width), int32_t(png.height));
    for (size_t i = 0, n = size_t(png.width) * png.height; i < n; ++i)
        std::memcpy(&img.pixels[i * 3], &bgra[i * 4], 3);
    return img;
}

} // namespace

std::optional<Bitmap24> decode_picture(const std::vector<uint8_t>& bytes, std::string* error) {
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), png_signature, 8) == 0)
        return decode_png(bytes, error);
    if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M')
        return DecodeBmp(bytes.data(), bytes.size(), error);
    if (error) *error = "neither a PNG nor a Windows bitmap";
    return std::nullopt;
}

} // namespace kelvane
