// A resource's frames side by side in one 32-bit picture, as its display surface holds them:
// the strip layout, the cells that a game file's pictures are decoded straight into, and the
// rules that make the decoded cells the surface's picture (fill colour, see-through colours).
#pragma once

#include <cstdint>
#include <vector>

#include "base/Support_Bitmap24.h"

namespace kelvane {

// A picture of 32-bit pixels 0x00RRGGBB, rows from the top, no padding: the drawing
// buffer and every display surface are kept in this form, and the display presents it.
struct Image32 {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> pixels;
};

// Frames per strip row for frames of this width: 640 div width, at most the frame count,
// at least 1.
int32_t strip_per_row(int32_t width, int32_t number);

class PictureStrip {
  public:
    // A frame as it was stored: its picture's own size (0 x 0 for a frame stored without
    // one) and its see-through colour, the picture's bottom-left pixel (0x00RRGGBB).
    struct Frame {
        int32_t width = 0, height = 0;
        uint32_t key = 0;
        bool empty() const { return width <= 0 || height <= 0; }
    };

    // A black strip for `number` frames of width x height (all positive; the caller has
    // bounded the size).
    PictureStrip(int32_t width, int32_t height, int32_t number);

    int32_t frame_width() const { return width_; }
    int32_t frame_height() const { return height_; }
    int32_t number() const { return int32_t(frames_.size()); }
    int32_t per_row() const { return per_row_; }
    // Where frame i's picture is decoded: its cell, black until then.
    PixelWindow cell(int32_t i);
    // Records what was decoded into cell i.
    void set_frame(int32_t i, const DecodedPicture& picture);
    const Frame& frame(int32_t i) const { return frames_[size_t(i)]; }

    // Which pixels of frame i's picture (cut to w x h, the rest 0) differ from its
    // see-through colour; false for a frame stored without picture. Only before finish().
    bool opaque_bits(int32_t i, int32_t w, int32_t h, std::vector<uint8_t>& bits) const;

    // Makes the cells the picture the surface shows and hands it over: what no picture
    // covers takes the first frame's see-through colour (black when the strip is not
    // transparent or the first frame has no picture), and, when transparent, so does every
    // pixel of a frame that has that frame's own see-through colour.
    Image32 finish(bool transparent) &&;

  private:
    int32_t width_, height_, per_row_;
    std::vector<Frame> frames_;
    Image32 image_;

    size_t cell_offset(int32_t i) const;
    // The part of cell i that frame i's picture covers.
    int32_t covered_width(int32_t i) const;
    int32_t covered_height(int32_t i) const;
};

} // namespace kelvane
