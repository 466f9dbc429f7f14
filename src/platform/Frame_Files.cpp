// Writing presented frames as PNG files.
#include "platform/Frame_Files.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "graphics/Graphics_DDraw.h"
#include "project/Project_Image.h"

namespace fs = std::filesystem;

namespace kelvane {

void FrameFiles::write(int64_t step, const Image32& picture) {
    if (!enabled()) return;
    char name[40];
    std::snprintf(name, sizeof name, "frame-%06lld.png", static_cast<long long>(step));
    write_named(name, picture);
}

void FrameFiles::write_box(int64_t step, const Image32& picture) {
    if (!enabled()) return;
    if (step != box_step_) box_step_ = step, box_count_ = 0;
    char name[60];
    std::snprintf(name, sizeof name, "frame-%06lld-box-%d.png", static_cast<long long>(step),
                  ++box_count_);
    write_named(name, picture);
}

void FrameFiles::write_named(const std::string& name, const Image32& picture) {
    fs::path path = fs::path(dir_) / name;
    std::error_code ec;
    fs::create_directories(dir_, ec);
    auto png = encode_png(to_bitmap24(picture));
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
    if (!out || png.empty()) {
        failed_ = true;
        std::fprintf(stderr, "kelvane: cannot write the frame %s; no more frames are written\n",
                     path.string().c_str());
    }
}

} // namespace kelvane
