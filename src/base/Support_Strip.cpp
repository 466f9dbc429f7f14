// Strips of frames: layout, cells, the see-through rules and the masks' view of the pixels.
#include "base/Support_Strip.h"

#include <algorithm>

namespace kelvane {

int32_t strip_per_row(int32_t width, int32_t number) {
    int32_t n = width > 0 ? 640 / width : 1;
    if (number < n) n = number;
    return n < 1 ? 1 : n;
}

PictureStrip::PictureStrip(int32_t width, int32_t height, int32_t number)
    : width_(width), height_(height), per_row_(strip_per_row(width, number)),
      frames_(size_t(number)) {
    const int32_t rows = (number - 1) / per_row_ + 1;
    image_.width = per_row_ * width;
    image_.height = rows * height;
    image_.pixels.assign(size_t(image_.width) * size_t(image_.height), 0);
}

size_t PictureStrip::cell_offset(int32_t i) const {
    const size_t x = size_t(i % per_row_) * size_t(width_), y = size_t(i / per_row_) * height_;
    return y * size_t(image_.width) + x;
}

PixelWindow PictureStrip::cell(int32_t i) {
    return {image_.pixels.data() + cell_offset(i), size_t(image_.width), width_, height_};
}

void PictureStrip::set_frame(int32_t i, const DecodedPicture& picture) {
    Frame& f = frames_[size_t(i)];
    if (picture.empty())
        f = Frame();
    else
        f = {picture.width, picture.height, picture.bottom_left};
}

int32_t PictureStrip::covered_width(int32_t i) const {
    return i < number() && !frames_[size_t(i)].empty() ? std::min(width_, frames_[size_t(i)].width)
                                                       : 0;
}

int32_t PictureStrip::covered_height(int32_t i) const {
    return i < number() && !frames_[size_t(i)].empty()
               ? std::min(height_, frames_[size_t(i)].height)
               : 0;
}

bool PictureStrip::opaque_bits(int32_t i, int32_t w, int32_t h, std::vector<uint8_t>& bits) const {
    const Frame& f = frames_[size_t(i)];
    if (f.empty()) return false;
    bits.assign(size_t(w) * size_t(h), 0);
    const int32_t cw = std::min(w, covered_width(i)), ch = std::min(h, covered_height(i));
    const uint32_t* cell = image_.pixels.data() + cell_offset(i);
    for (int32_t y = 0; y < ch; ++y) {
        const uint32_t* row = cell + size_t(y) * size_t(image_.width);
        uint8_t* out = bits.data() + size_t(y) * size_t(w);
        for (int32_t x = 0; x < cw; ++x) out[x] = row[x] != f.key;
    }
    return true;
}

Image32 PictureStrip::finish(bool transparent) && {
    const uint32_t fill = transparent && !frames_[0].empty() ? frames_[0].key : 0;
    const int32_t cells = per_row_ * (image_.height / height_);
    for (int32_t i = 0; i < cells; ++i) {
        const PixelWindow c = cell(i);
        const int32_t cw = covered_width(i), ch = covered_height(i);
        const uint32_t key = i < number() ? frames_[size_t(i)].key : fill;
        for (int32_t y = 0; y < height_; ++y) {
            uint32_t* row = c.pixels + size_t(y) * c.stride;
            const int32_t painted = y < ch ? cw : 0;
            // The strip is black where no picture was decoded.
            if (fill != 0) std::fill(row + painted, row + width_, fill);
            if (transparent && key != fill) std::replace(row, row + painted, key, fill);
        }
    }
    frames_.clear();
    return std::move(image_);
}

} // namespace kelvane
