// Display surfaces on the CPU: creation, fill, colour key, the clipped and scaled copy.
#include "graphics/Graphics_DDraw.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "platform/Large_Pages.h"

namespace kelvane {

bool surface_size_allowed(int64_t w, int64_t h) {
    // A strip of many frames may be far higher and larger than any one picture; only its
    // pixel count is bounded (what a game file can make is bounded by its picture budget).
    constexpr int64_t max_side = int64_t(1) << 24, max_pixels = int64_t(1) << 28;
    return w > 0 && h > 0 && w <= max_side && h <= max_side && w * h <= max_pixels;
}

bool DDSurface::create(int32_t w, int32_t h, bool, uint32_t colour_key, bool is_transparent) {
    release();
    if (!surface_size_allowed(w, h)) return false;
    // A surface as large as allowed may still be more than the machine has: no surface.
    try {
        // Sprites drawn into a room-size buffer touch a new page with every row: large
        // pages (asked for before the pixels are first written) spare most of the misses.
        surface.pixels.reserve(size_t(w) * size_t(h));
        advise_large_pages(surface.pixels.data(), size_t(w) * size_t(h) * 4);
        surface.pixels.assign(size_t(w) * size_t(h), 0);
    } catch (const std::bad_alloc&) {
        release();
        return false;
    }
    width = w;
    height = h;
    surface.width = w;
    surface.height = h;
    clip = {0, 0, w, h};
    transparent = is_transparent;
    if (transparent) set_colour_key(colour_key);
    return true;
}

bool DDSurface::adopt(Image32 pixels) {
    release();
    if (!surface_size_allowed(pixels.width, pixels.height) ||
        pixels.pixels.size() != size_t(pixels.width) * size_t(pixels.height))
        return false;
    width = pixels.width;
    height = pixels.height;
    surface = std::move(pixels);
    clip = {0, 0, width, height};
    return true;
}

void DDSurface::release() {
    shown_in_ = nullptr;
    uniform_ = false;
    surface = Image32();
    width = height = 0;
    clip = {};
    transparent = false;
    key_ = 0;
}

void DDSurface::hand_over_shown(bool overwritten) {
    DDSurface& screen = *shown_in_;
    shown_in_ = nullptr;
    if (screen.width != width || screen.height != height) return;
    if (overwritten)
        std::swap(screen.surface.pixels, surface.pixels);
    else
        std::copy(surface.pixels.begin(), surface.pixels.end(), screen.surface.pixels.begin());
}

bool DDSurface::fill(uint32_t colour) {
    const uint32_t pixel = colour_to_pixel(colour);
    if (uniform_ && uniform_pixel_ == pixel) return true;
    if (shown_in_) hand_over_shown(true);
    std::fill(surface.pixels.begin(), surface.pixels.end(), pixel);
    uniform_ = true;
    uniform_pixel_ = pixel;
    return true;
}

void DDSurface::set_colour_key(uint32_t colour) {
    fill(colour);
    key_ = colour_to_pixel(colour);
}

bool DDSurface::copy_whole(int32_t x, int32_t y, const DDSurface& source, bool use_clip,
                           double xscale, double yscale) {
    return copy(x, y, {0, 0, source.width, source.height}, source, use_clip, xscale, yscale);
}

bool DDSurface::copy(int32_t x, int32_t y, RRect src, const DDSurface& source, bool use_clip,
                     double xscale, double yscale) {
    if (!exists() || !source.exists() || !(xscale > 0) || !(yscale > 0)) return true;
    const int64_t sw = src.width(), sh = src.height();
    if (sw <= 0 || sh <= 0) return true;
    // 64-bit positions: a far-off destination must not overflow.
    int64_t dl = x, dt = y;
    int64_t dr = dl + round_pixel(xscale * double(sw)), db = dt + round_pixel(yscale * double(sh));
    int64_t sl = src.left, st = src.top, sr = src.right, sb = src.bottom;
    if (use_clip) {
        const RRect& c = clip;
        if (dr <= c.left || dl >= c.right || db <= c.top || dt >= c.bottom) return true;
        if (dl < c.left) sl += round_pixel(double(c.left - dl) / xscale), dl = c.left;
        if (dr > c.right) sr -= round_pixel(double(dr - c.right) / xscale), dr = c.right;
        if (dt < c.top) st += round_pixel(double(c.top - dt) / yscale), dt = c.top;
        if (db > c.bottom) sb -= round_pixel(double(db - c.bottom) / yscale), db = c.bottom;
    }
    const int64_t dw = dr - dl, dh = db - dt, cw = sr - sl, ch = sb - st;
    if (dw <= 0 || dh <= 0 || cw <= 0 || ch <= 0) return true;
    // After clipping, the source must lie inside the source surface.
    if (sl < 0 || st < 0 || sr > source.width || sb > source.height) return true;
    // Only pixels of this surface are written.
    const int64_t x0 = std::max<int64_t>(dl, 0), x1 = std::min<int64_t>(dr, width);
    const int64_t y0 = std::max<int64_t>(dt, 0), y1 = std::min<int64_t>(db, height);
    if (x0 >= x1 || y0 >= y1) return true;
    will_change();

    // A copy within one surface reads the source as it was before the copy.
    const uint32_t* from = source.surface.pixels.data();
    int64_t from_stride = source.width, from_left = 0, from_top = 0;
    std::vector<uint32_t> snapshot;
    if (&source == this) {
        snapshot.resize(size_t(cw * ch));
        for (int64_t r = 0; r < ch; ++r)
            std::memcpy(&snapshot[size_t(r * cw)], from + (st + r) * from_stride + sl,
                        size_t(cw) * 4);
        from = snapshot.data();
        from_stride = cw, from_left = sl, from_top = st;
    }
    const bool keyed = source.transparent;
    const uint32_t key = source.key_;
    if (dw == cw && dh == ch) {
        // One source pixel per pixel: rows are copied straight, the colour key tested
        // without a branch so that the loop vectorises.
        for (int64_t dy = y0; dy < std::min(y1, y0 + prefetch_ahead); ++dy)
            prefetch_row(dy, x0, x1);
        for (int64_t dy = y0; dy < y1; ++dy) {
            if (dy + prefetch_ahead < y1) prefetch_row(dy + prefetch_ahead, x0, x1);
            const uint32_t* in = from + (st + dy - dt - from_top) * from_stride + (sl - from_left);
            uint32_t* out = surface.pixels.data() + dy * width;
            if (!keyed) {
                std::memcpy(out + x0, in + (x0 - dl), size_t(x1 - x0) * 4);
                continue;
            }
            for (int64_t dx = x0; dx < x1; ++dx) {
                const uint32_t p = in[dx - dl];
                out[dx] = (p & 0xFFFFFF) == key ? out[dx] : p;
            }
        }
        return true;
    }
    std::vector<int64_t> column(size_t(x1 - x0));
    for (int64_t dx = x0; dx < x1; ++dx)
        column[size_t(dx - x0)] = sl + (dx - dl) * cw / dw - from_left;
    const bool straight = dw == cw && !keyed;
    for (int64_t dy = y0; dy < y1; ++dy) {
        const int64_t sy = st + (dy - dt) * ch / dh - from_top;
        const uint32_t* in = from + sy * from_stride;
        uint32_t* out = surface.pixels.data() + dy * width;
        if (straight) {
            std::memcpy(out + x0, in + column[0], size_t(x1 - x0) * 4);
            continue;
        }
        for (int64_t dx = x0; dx < x1; ++dx) {
            uint32_t p = in[column[size_t(dx - x0)]];
            if (keyed && (p & 0xFFFFFF) == key) continue;
            out[dx] = p;
        }
    }
    return true;
}

void DDSurface::prefetch_row(int64_t y, int64_t x0, int64_t x1) {
    // A sprite's rows lie a buffer's width apart, where the processor's own prefetching
    // does not follow: the lines of rows a little ahead are asked for early, so that their
    // loads from memory overlap instead of each row waiting for its own.
    constexpr uintptr_t line = 64;
    const uint32_t* row = surface.pixels.data() + y * width;
    const uintptr_t end = uintptr_t(row + x1);
    for (uintptr_t at = uintptr_t(row + x0) & ~(line - 1); at < end; at += line)
        __builtin_prefetch(reinterpret_cast<const void*>(at), 1);
}

uint32_t DDSurface::get_pixel(int32_t x, int32_t y) const {
    if (!exists() || x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixel_to_colour(surface.pixels[size_t(y) * size_t(width) + size_t(x)]);
}

void DDSurface::set_pixel(int32_t x, int32_t y, uint32_t colour) {
    if (!exists() || x < 0 || y < 0 || x >= width || y >= height) return;
    will_change();
    surface.pixels[size_t(y) * size_t(width) + size_t(x)] = colour_to_pixel(colour);
}

void DDSurface::draw_bitmap(const Bitmap24& image, int32_t x, int32_t y,
                            std::optional<uint32_t> see_through) {
    if (!exists() || image.empty()) return;
    const int64_t x0 = std::max<int64_t>({int64_t(x), clip.left, 0});
    const int64_t y0 = std::max<int64_t>({int64_t(y), clip.top, 0});
    const int64_t x1 = std::min<int64_t>({int64_t(x) + image.width, clip.right, width});
    const int64_t y1 = std::min<int64_t>({int64_t(y) + image.height, clip.bottom, height});
    if (x0 < x1 && y0 < y1) will_change();
    for (int64_t py = y0; py < y1; ++py) {
        const uint8_t* in = &image.pixels[size_t((py - y) * image.width + (x0 - x)) * 3];
        uint32_t* out = surface.pixels.data() + py * width;
        for (int64_t px = x0; px < x1; ++px, in += 3) {
            uint32_t p = uint32_t(in[2]) << 16 | uint32_t(in[1]) << 8 | in[0];
            if (see_through && p == colour_to_pixel(*see_through)) continue;
            out[px] = p;
        }
    }
}

Bitmap24 DDSurface::read_bitmap(RRect rect) const {
    if (!surface_size_allowed(rect.width(), rect.height())) return Bitmap24();
    Bitmap24 out(rect.width(), rect.height());
    for (int32_t y = 0; y < out.height; ++y)
        for (int32_t x = 0; x < out.width; ++x) {
            int64_t sx = int64_t(rect.left) + x, sy = int64_t(rect.top) + y;
            if (sx < 0 || sy < 0 || sx >= width || sy >= height) continue;
            uint32_t p = surface.pixels[size_t(sy * width + sx)];
            uint8_t* o = &out.pixels[(size_t(y) * size_t(out.width) + size_t(x)) * 3];
            o[0] = uint8_t(p), o[1] = uint8_t(p >> 8), o[2] = uint8_t(p >> 16);
        }
    return out;
}

Bitmap24 to_bitmap24(const Image32& image) {
    Bitmap24 out;
    out.width = image.width;
    out.height = image.height;
    out.pixels.resize(image.pixels.size() * 3);
    for (size_t i = 0; i < image.pixels.size(); ++i) {
        uint32_t p = image.pixels[i];
        out.pixels[i * 3] = uint8_t(p);
        out.pixels[i * 3 + 1] = uint8_t(p >> 8);
        out.pixels[i * 3 + 2] = uint8_t(p >> 16);
    }
    return out;
}

Image32 to_image32(const Bitmap24& image) {
    Image32 out;
    out.width = image.width;
    out.height = image.height;
    out.pixels.resize(size_t(std::max(image.width, 0)) * size_t(std::max(image.height, 0)));
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const uint8_t* p = &image.pixels[i * 3];
        out.pixels[i] = uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    }
    return out;
}

} // namespace kelvane
