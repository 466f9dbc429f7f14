// The sprite record of the game file and the bounding-box rule.
#include "graphics/Sprite_Class.h"

#include <algorithm>
#include <climits>
#include <filesystem>

#include "base/Support_Picture.h"

namespace kelvane {

namespace {
constexpr int32_t max_frames = 100000;
const char* const unknown_scheme_message = "Internal error: Unknown image compression scheme.";
} // namespace

bool CSprite::read(CStream& s, std::vector<std::string>* warnings) {
    const size_t at = s.file_offset();
    if (ReadInt(s) != 400) return false;
    width = ReadInt(s);
    height = ReadInt(s);
    bbox_left = ReadInt(s);
    bbox_right = ReadInt(s);
    bbox_bottom = ReadInt(s);
    bbox_top = ReadInt(s);
    transparent = ReadBool(s);
    bbox_mode = ReadInt(s);
    precise = ReadBool(s);
    videomem = ReadBool(s);
    loadonuse = ReadBool(s);
    xoffset = ReadInt(s);
    yoffset = ReadInt(s);
    number = ReadCount(s, "frame count", max_frames, 4);
    frames.clear();
    frames.reserve(size_t(number));
    for (int32_t i = 0; i < number; ++i) {
        bool unknown = false;
        auto img = ReadImage(s, &unknown);
        if (unknown && warnings) warnings->push_back(unknown_scheme_message);
        frames.push_back(img ? std::move(*img) : Bitmap24());
    }
    take_pictures_size(width, height, frames, "sprite", warnings);
    // The strip and the collision masks hold every frame at the sprite's size, whatever
    // the frames themselves hold: what the pictures have not paid for yet is spent now.
    if (number > 0 && width > 0 && height > 0) {
        int64_t decoded = 0;
        for (const Bitmap24& f : frames) decoded += int64_t(f.width) * f.height;
        const int64_t per_frame = int64_t(width) * height;
        const int64_t extent =
            per_frame > INT64_MAX / number ? INT64_MAX : per_frame * int64_t(number);
        s.spend_pixels(std::max<int64_t>(0, extent - decoded), at);
    }
    return true;
}

void CSprite::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, width);
    WriteInt(s, height);
    WriteInt(s, bbox_left);
    WriteInt(s, bbox_right);
    WriteInt(s, bbox_bottom);
    WriteInt(s, bbox_top);
    WriteBool(s, transparent);
    WriteInt(s, bbox_mode);
    WriteBool(s, precise);
    WriteBool(s, videomem);
    WriteBool(s, loadonuse);
    WriteInt(s, xoffset);
    WriteInt(s, yoffset);
    WriteInt(s, static_cast<int32_t>(frames.size()));
    for (const auto& f : frames) {
        if (f.empty())
            WriteImage(s, std::nullopt);
        else
            WriteImage(s, f);
    }
}

void CSprite::compute_bounding_box() {
    if (!transparent || bbox_mode == 1) {
        bbox_left = 0, bbox_top = 0, bbox_right = width - 1, bbox_bottom = height - 1;
        return;
    }
    if (frames.empty()) {
        bbox_left = bbox_top = bbox_right = bbox_bottom = 0;
        return;
    }
    bbox_left = width - 1, bbox_top = height - 1, bbox_right = 0, bbox_bottom = 0;
    for (const auto& f : frames)
        Bitmap24_BoundingBox(f, bbox_left, bbox_top, bbox_right, bbox_bottom);
}

bool CSprite::load_from_file(const std::string& path, int32_t imgnumb, bool precise_flag,
                             bool transparent_flag, bool videomem_flag, bool loadonuse_flag,
                             int32_t xorig, int32_t yorig) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) return false;
    auto bytes = read_picture_file(path);
    if (!bytes) return false;
    std::vector<Bitmap24> loaded;
    if (has_gif_extension(path)) {
        auto gif = decode_gif_frames(*bytes);
        if (!gif) return false;
        loaded = std::move(*gif);
    } else {
        auto picture = decode_picture_file(*bytes);
        if (!picture) return false;
        // A frame count of 0 (or less) counts as 1; more frames than pixel columns would
        // give frames without width, which no sprite can have.
        const int32_t count = imgnumb < 1 ? 1 : imgnumb;
        if (count > picture->width) return false;
        const int32_t fw = picture->width / count;
        for (int32_t i = 0; i < count; ++i) {
            Bitmap24 f(fw, picture->height);
            for (int32_t y = 0; y < f.height; ++y)
                std::copy_n(
                    &picture->pixels[(size_t(y) * size_t(picture->width) + size_t(i) * size_t(fw)) *
                                     3],
                    size_t(fw) * 3, &f.pixels[size_t(y) * size_t(fw) * 3]);
            loaded.push_back(std::move(f));
        }
    }
    frames = std::move(loaded);
    number = int32_t(frames.size());
    width = frames[0].width;
    height = frames[0].height;
    bbox_mode = 0;
    precise = precise_flag;
    transparent = transparent_flag;
    videomem = videomem_flag;
    loadonuse = loadonuse_flag;
    xoffset = xorig;
    yoffset = yorig;
    compute_bounding_box();
    return true;
}

} // namespace kelvane
