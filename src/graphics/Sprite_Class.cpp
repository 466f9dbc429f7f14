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
    strip.reset();
    // The strip and the collision masks hold every frame at the sprite's size, whatever
    // the frames themselves hold: what the pictures have not paid for is spent at the end.
    int64_t decoded = 0;
    if (!s.keep_encodings() && !loadonuse) {
        read_into_strip(s, at, decoded, warnings);
    } else {
        frames.reserve(size_t(number));
        for (int32_t i = 0; i < number; ++i) {
            bool unknown = false;
            auto img = ReadImage(s, &unknown);
            if (unknown && warnings) warnings->push_back(unknown_scheme_message);
            frames.push_back(img ? std::move(*img) : Bitmap24());
            decoded += int64_t(frames.back().width) * frames.back().height;
        }
        take_pictures_size(width, height, frames, "sprite", warnings);
    }
    if (number > 0 && width > 0 && height > 0)
        s.spend_pixels(std::max<int64_t>(0, pixel_extent() - decoded), at);
    return true;
}

void CSprite::read_into_strip(CStream& s, size_t at, int64_t& decoded,
                              std::vector<std::string>* warnings) {
    // The strip is made for the size of the first picture with pixels, which the sprite
    // takes; its memory is held against the budget before the pictures pay for it.
    auto make_strip = [&] {
        s.check_pixels(std::max<int64_t>(0, pixel_extent() - decoded), at);
        strip.emplace(width, height, number);
    };
    for (int32_t i = 0; i < number; ++i) {
        bool unknown = false;
        auto picture = ReadImageInto(
            s,
            [&](int32_t w, int32_t h) {
                decoded += int64_t(w) * h;
                if (!strip) {
                    take_picture_size(width, height, w, h, "sprite", warnings);
                    make_strip();
                }
                return strip->cell(i);
            },
            &unknown);
        if (unknown && warnings) warnings->push_back(unknown_scheme_message);
        if (picture && strip) strip->set_frame(i, *picture);
    }
    // Frames without pictures still have their place on the surface.
    if (!strip && number > 0 && width > 0 && height > 0) make_strip();
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

int64_t CSprite::pixel_extent() const {
    if (number <= 0 || width <= 0 || height <= 0) return 0;
    const int64_t per_frame = int64_t(width) * height;
    return per_frame > INT64_MAX / number ? INT64_MAX : per_frame * int64_t(number);
}

bool CSprite::frame_opaque_bits(int32_t i, int32_t w, int32_t h, std::vector<uint8_t>& bits) const {
    if (strip) return i < strip->number() && strip->opaque_bits(i, w, h, bits);
    if (i < 0 || size_t(i) >= frames.size() || frames[size_t(i)].empty()) return false;
    const Bitmap24& f = frames[size_t(i)];
    bits.assign(size_t(w) * size_t(h), 0);
    const uint32_t t = Bitmap24_TransparentColor(f);
    const int32_t fw = std::min(w, f.width), fh = std::min(h, f.height);
    for (int32_t y = 0; y < fh; ++y)
        for (int32_t x = 0; x < fw; ++x)
            bits[size_t(y) * size_t(w) + size_t(x)] = f.pixel(x, y) != t;
    return true;
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
    strip.reset();
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
