// png_same DIR_A DIR_B: decodes every frame-*.png of DIR_A and the file of the same name in
// DIR_B and compares their pixels (8-bit RGB), whatever compression each was written with.
// Prints the number of frames compared; exit status 1 at the first difference or a missing
// or unreadable file.
#include <png.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static bool decode(const fs::path& path, png_uint_32& w, png_uint_32& h, std::vector<uint8_t>& px) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    w = image.width, h = image.height;
    px.resize(PNG_IMAGE_SIZE(image));
    return png_image_finish_read(&image, nullptr, px.data(), 0, nullptr) != 0;
}

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: png_same DIR_A DIR_B\n");
        return 2;
    }
    std::vector<fs::path> names;
    for (const auto& e : fs::directory_iterator(argv[1]))
        if (e.path().extension() == ".png") names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    size_t n = 0;
    for (const auto& name : names) {
        png_uint_32 wa, ha, wb, hb;
        std::vector<uint8_t> a, b;
        if (!decode(fs::path(argv[1]) / name, wa, ha, a) ||
            !decode(fs::path(argv[2]) / name, wb, hb, b)) {
            std::printf("%s: cannot be read on both sides\n", name.c_str());
            return 1;
        }
        if (wa != wb || ha != hb || a != b) {
            std::printf("%s: the pixels differ\n", name.c_str());
            return 1;
        }
        ++n;
    }
    size_t other = 0;
    for (const auto& e : fs::directory_iterator(argv[2]))
        if (e.path().extension() == ".png") ++other;
    if (other != n) {
        std::printf("%zu frames in %s, %zu in %s\n", n, argv[1], other, argv[2]);
        return 1;
    }
    std::printf("%zu frames, identical pixels\n", n);
    return 0;
}
