// Display surfaces: our own 32-bit CPU images with a clip rectangle and a colour key, and
// the copy between them (clipped, colour-keyed, scaled nearest-neighbour) that every
// picture on screen goes through. Also the colour conversion between Windows colour values
// and surface pixels, and the pixel rounding rule.
#pragma once

#include <climits>
#include <cmath>
#include <cstdint>
#include <optional>

#include "base/Support_Bitmap24.h"
#include "platform/Platform.h"

namespace kelvane {

// A rectangle that includes its left and top edges and excludes its right and bottom ones.
struct RRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
    // Held within 32 bits: the sides of a rectangle made from game values may lie 2^31 apart.
    int32_t width() const { return span(left, right); }
    int32_t height() const { return span(top, bottom); }
    bool operator==(const RRect&) const = default;

  private:
    static int32_t span(int32_t a, int32_t b) {
        int64_t d = int64_t(b) - a;
        return d > INT32_MAX ? INT32_MAX : d < INT32_MIN ? INT32_MIN : int32_t(d);
    }
};

// A real to a pixel position or size: to nearest with halves to even, as all rounding of
// game values; values beyond any surface are held at +-2^30 (NaN gives 0) so that sums of
// a few of them cannot overflow.
inline int32_t round_pixel(double v) {
    if (!(v == v)) return 0;
    constexpr double limit = 1073741824.0;
    if (v > limit) return int32_t(limit);
    if (v < -limit) return -int32_t(limit);
    return static_cast<int32_t>(std::nearbyint(v));
}

// A Windows colour value (red + 256 green + 65536 blue) as a surface pixel 0x00RRGGBB, and
// back. Our surfaces have 8 bits per component, so the conversion loses nothing.
inline uint32_t colour_to_pixel(uint32_t colour) {
    return (colour & 0xFF) << 16 | (colour & 0xFF00) | (colour >> 16 & 0xFF);
}
inline uint32_t pixel_to_colour(uint32_t pixel) {
    return colour_to_pixel(pixel & 0xFFFFFF);
}

class DDSurface {
  public:
    int32_t width = 0, height = 0;
    // The pixels; empty when creation failed (then every operation does nothing).
    Image32 surface;
    bool transparent = false;
    RRect clip;

    // Makes a surface of the size, black; a transparent one gets the colour key (and is
    // filled with it). False, leaving no surface, for a size that is not positive or too
    // large. `videomem` is kept for the record: all our surfaces live in memory.
    bool create(int32_t w, int32_t h, bool videomem, uint32_t colour_key, bool transparent);
    // Makes a surface of a picture, taking its pixels over; false (no surface) for a size
    // that is not positive or too large, or pixels that do not match it.
    bool adopt(Image32 pixels);
    bool exists() const { return !surface.pixels.empty(); }
    void release();
    // Our surfaces are never lost, so restoring succeeds whenever there is a surface.
    bool restore() const { return exists(); }
    // Fills the whole surface (clip ignored) with a Windows colour.
    bool fill(uint32_t colour);
    // Fills the surface with the key colour and makes it the source colour key.
    void set_colour_key(uint32_t colour);
    uint32_t colour_key() const { return pixel_to_colour(key_); }
    // Makes the colour the source colour key, leaving the pixels as they are.
    void use_colour_key(uint32_t colour) { key_ = colour_to_pixel(colour); }

    // Copies the source rectangle of `source` to (x, y), scaled by xscale and yscale. The
    // destination is (x, y, x + round(xscale * w), y + round(yscale * h)) for a source of
    // w x h. With `use_clip`, a destination wholly outside the clip rectangle copies
    // nothing, and each side that sticks out is cut back to it, the source side moving by
    // the cut divided by the scale (rounded); the clipped source is then stretched onto
    // the clipped destination. Source pixels equal to the source's colour key are skipped
    // when the source is transparent. Pixels outside this surface are never written.
    //
    // Scaling chooses source pixels as a stretching blit does, nearest neighbour from the
    // left and top: destination column j of a destination D pixels wide, fed by a source
    // S pixels wide, takes source column floor(j * S / D) (rows alike). Enlarging by a
    // whole factor k repeats each pixel k times; shrinking keeps the first pixel of each
    // group. A source rectangle that is empty, or after clipping not inside the source,
    // copies nothing.
    // Always true: our surfaces cannot be lost.
    bool copy(int32_t x, int32_t y, RRect source_rect, const DDSurface& source, bool use_clip,
              double xscale, double yscale);
    bool copy_whole(int32_t x, int32_t y, const DDSurface& source, bool use_clip, double xscale,
                    double yscale);

    // Pixel access in Windows colours; reads outside give 0, writes outside do nothing.
    uint32_t get_pixel(int32_t x, int32_t y) const;
    void set_pixel(int32_t x, int32_t y, uint32_t colour);
    // Draws a 24-bit picture at (x, y) unscaled, within the clip rectangle, skipping the
    // colour `see_through` when given (drawing on the surface's canvas).
    void draw_bitmap(const Bitmap24& image, int32_t x, int32_t y,
                     std::optional<uint32_t> see_through = std::nullopt);
    // A 24-bit copy of a rectangle of the surface (parts outside it are black).
    Bitmap24 read_bitmap(RRect rect) const;

    // The pixels are also the picture on screen until they first change: then `screen`
    // (a surface of the same size) takes them over first, as a copy, or in exchange for
    // its own when the whole surface is about to be filled. So the picture on screen is
    // copied only when a change needs it kept apart, and never when the next picture
    // starts with a fill.
    void show_until_changed(DDSurface* screen) { shown_in_ = screen; }
    bool shown_in(const DDSurface* screen) const { return shown_in_ == screen; }
    // Every change of the pixels starts with this, also where a drawing layer writes them
    // directly.
    void will_change() {
        uniform_ = false;
        if (shown_in_) hand_over_shown(false);
    }
    // The same when every pixel is about to be painted over before anything reads them.
    void will_be_painted_over() {
        uniform_ = false;
        if (shown_in_) hand_over_shown(true);
    }

  private:
    uint32_t key_ = 0; // as a pixel
    DDSurface* shown_in_ = nullptr;
    // Set by a fill and cleared by any other change: a fill with the same colour then has
    // nothing to do (a room where nothing is drawn costs nothing to clear).
    bool uniform_ = false;
    uint32_t uniform_pixel_ = 0;

    void hand_over_shown(bool overwritten);
    // Rows of a copy whose memory is asked for before they are written.
    static constexpr int64_t prefetch_ahead = 8;
    void prefetch_row(int64_t y, int64_t x0, int64_t x1);
};

// A drawing layer draws into a target surface, subtracting the target's offsets (the
// selected port's source position minus its corner) from room positions.
class DrawingLayer {
  public:
    virtual ~DrawingLayer() = default;
    virtual void set_target(DDSurface* target, int32_t x_offset, int32_t y_offset) = 0;
};

// Surface limits: 2^28 pixels (1 GiB), at most 2^24 a side.
bool surface_size_allowed(int64_t w, int64_t h);

// A 24-bit picture of a whole 32-bit image, and a 32-bit image of a 24-bit picture.
Bitmap24 to_bitmap24(const Image32& image);
Image32 to_image32(const Bitmap24& image);

} // namespace kelvane
