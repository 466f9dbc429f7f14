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
    if (ReadBool(s)) {
        bool unknown = false;
        image = ReadImage(s, &unknown);
        if (unknown && warnings)
            warnings->push_back("Internal error: Unknown image compression scheme.");
        if (image) take_pictures_size(width, height, std::span(&*image, 1), "background", warnings);
    }
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
    transparent = transparent_flag;
    videomem = videomem_flag;
    loadonuse = loadonuse_flag;
    return true;
}

} // namespace kelvane
