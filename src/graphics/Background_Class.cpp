// The background record of the game file.
#include "graphics/Background_Class.h"

#include <filesystem>

#include "base/Support_Picture.h"

namespace kelvane {

bool CBackground::read(CStream& s, std::vector<std::string>* warnings) {
    if (ReadInt(s) != 400) return false;
    width = ReadInt(s);
    height = ReadInt(s);
    transparent = ReadBool(s);
    videomem = ReadBool(s);
    loadonuse = ReadBool(s);
    image.reset();
    strip.reset();
    if (!ReadBool(s)) return true;
    bool unknown = false;
    if (!s.keep_encodings() && !loadonuse) {
        // The picture's pixels are spent before they are asked a place.
        auto picture = ReadImageInto(
            s,
            [&](int32_t w, int32_t h) {
                take_picture_size(width, height, w, h, "background", warnings);
                strip.emplace(w, h, 1);
                return strip->cell(0);
            },
            &unknown);
        if (picture && strip) strip->set_frame(0, *picture);
        // A picture without pixels still stands for a (black) picture of the claimed size.
        if (picture && !strip && width > 0 && height > 0) {
            s.check_pixels(int64_t(width) * height, s.file_offset());
            strip.emplace(width, height, 1);
        }
    } else {
        image = ReadImage(s, &unknown);
        if (image) take_pictures_size(width, height, std::span(&*image, 1), "background", warnings);
    }
    if (unknown && warnings)
        warnings->push_back("Internal error: Unknown image compression scheme.");
    return true;
}

void CBackground::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, width);
    WriteInt(s, height);
    WriteBool(s, transparent);
    WriteBool(s, videomem);
    WriteBool(s, loadonuse);
    WriteBool(s, image.has_value());
    if (image) WriteImage(s, image);
}

bool CBackground::load_from_file(const std::string& path, bool transparent_flag, bool videomem_flag,
                                 bool loadonuse_flag) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    auto bytes = read_picture_file(path);
    if (!bytes) return false;
    auto picture = decode_picture_file(*bytes);
    if (!picture) return false;
    width = picture->width;
    height = picture->height;
    image = std::move(*picture);
    strip.reset();
    transparent = transparent_flag;
    videomem = videomem_flag;
    loadonuse = loadonuse_flag;
    return true;
}

} // namespace kelvane
