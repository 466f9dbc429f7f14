// A sprite resource: frames of one size, an origin, a bounding box and collision flags.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Support_Bitmap24.h"
#include "base/Support_Strip.h"

namespace kelvane {

class CSprite {
  public:
    int32_t bbox_mode = 0;
    int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
    int32_t number = 0;
    int32_t width = 1, height = 1;
    int32_t xoffset = 0, yoffset = 0;
    bool precise = true;
    bool videomem = true;
    bool loadonuse = false;
    // One picture per frame; an empty picture stands for a frame stored without image.
    std::vector<Bitmap24> frames;
    bool transparent = true;
    // A game loaded to run holds the frames of a sprite that is not loaded on use here
    // instead (`frames` stays empty): decoded straight into the strip that its display
    // surface takes over.
    std::optional<PictureStrip> strip;

    // Which pixels of frame i (cut to w x h, the rest 0) differ from its see-through
    // colour, its bottom-left pixel; false when the frame has no picture.
    bool frame_opaque_bits(int32_t i, int32_t w, int32_t h, std::vector<uint8_t>& bits) const;

    // Reads the record; false for a wrong record version. Malformed data throws.
    // `warnings` collects non-fatal problems (an unknown image scheme). A stream that keeps
    // no encodings (a game loaded to run) fills `strip`, unless the sprite is loaded on use.
    bool read(CStream& s, std::vector<std::string>* warnings = nullptr);
    void write(CStream& s) const;
    // The bounding box from the frames, the mode and the transparency.
    void compute_bounding_box();
    // Loads the frames from a picture file (host path): every image of a ".gif" file, else
    // `imgnumb` frames side by side (below 1 counts as 1). False, leaving the sprite as it
    // was, when the file is missing, unreadable or of no known kind, or too narrow for the
    // frame count.
    bool load_from_file(const std::string& path, int32_t imgnumb, bool precise, bool transparent,
                        bool videomem, bool loadonuse, int32_t xorig, int32_t yorig);

  private:
    // Pixels of every frame at the sprite's size.
    int64_t pixel_extent() const;
    void read_into_strip(CStream& s, size_t at, int64_t& decoded,
                         std::vector<std::string>* warnings);
};

} // namespace kelvane
