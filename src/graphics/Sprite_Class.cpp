// The sprite record of the game file and the bounding-box rule.
#include "graphics/Sprite_Class.h"

namespace kelvane {

namespace {
constexpr int32_t max_frames = 100000;
const char* const unknown_scheme_message = "Internal error: Unknown image compression scheme.";
} // namespace

bool CSprite::read(CStream& s, std::vector<std::string>* warnings) {
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

} // namespace kelvane
