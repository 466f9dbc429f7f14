// Drawable records: strips, load-on-use files, surfaces, and the draw primitives with
// their exact rounding, frame wrap, alpha blend and tiling rules.
#include "graphics/Graphics_Sprites.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "run/Game.h"

namespace kelvane {

namespace {

// Draws a 24-bit picture into the rectangle `cell` of another, from the cell's corner;
// what lies outside the cell is cut off, and the colour `see_through` (when given) is
// skipped.
void draw_into(Bitmap24& to, const Bitmap24& from, RRect cell,
               std::optional<uint32_t> see_through) {
    const int32_t w = std::min(from.width, cell.width()), h = std::min(from.height, cell.height());
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x) {
            uint32_t c = from.pixel(x, y);
            if (see_through && c == *see_through) continue;
            to.set_pixel(cell.left + x, cell.top + y, c);
        }
}

// round(((256 - a) * t + a * s) / 256) with halves to even: exactly
// round((1 - a/256) * t + a/256 * s), as every term is a multiple of 1/256.
inline uint32_t blend_byte(uint32_t t, uint32_t s, uint32_t a) {
    uint32_t n = (256 - a) * t + a * s;
    uint32_t q = n >> 8, r = n & 255;
    if (r > 128 || (r == 128 && (q & 1))) ++q;
    return q;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::optional<std::vector<uint8_t>> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return bytes;
}

// The remainder with the sign of the dividend, as the tiling rule wants.
int64_t remainder_of(int64_t v, int64_t m) {
    return v % m;
}

} // namespace

RRect RSprite::cell(int32_t i) const {
    int32_t col = i % per_row, row = i / per_row;
    return {col * width, row * height, (col + 1) * width, (row + 1) * height};
}

void CDrawables::set_target(DDSurface* target, int32_t x_offset, int32_t y_offset) {
    target_ = target;
    x_offset_ = x_offset;
    y_offset_ = y_offset;
}

void CDrawables::build_all_releasing(Game& game) {
    free_all();
    for (int32_t i = 0; i < game.sprites.count(); ++i) {
        CSprite* sprite = game.sprites.get(i);
        std::optional<PictureStrip> none;
        build_sprite(i, sprite, sprite ? sprite->strip : none);
        if (sprite) std::vector<Bitmap24>().swap(sprite->frames);
    }
    for (int32_t i = 0; i < game.backgrounds.count(); ++i) {
        CBackground* background = game.backgrounds.get(i);
        std::optional<PictureStrip> none;
        build_background(i, background, background ? background->strip : none);
        if (background) background->image.reset();
    }
}

void CDrawables::build_sprite(int32_t id, const CSprite* sprite) {
    // A sprite that still holds its strip keeps it: the record gets a copy.
    std::optional<PictureStrip> strip = sprite ? sprite->strip : std::nullopt;
    build_sprite(id, sprite, strip);
}

void CDrawables::build_background(int32_t id, const CBackground* background) {
    std::optional<PictureStrip> strip = background ? background->strip : std::nullopt;
    build_background(id, background, strip);
}

void CDrawables::build_sprite(int32_t id, const CSprite* sprite,
                              std::optional<PictureStrip>& strip) {
    if (id < 0) return;
    if (size_t(id) >= sprites.size()) sprites.resize(size_t(id) + 1);
    RSprite& r = sprites[size_t(id)];
    std::vector<const Bitmap24*> frames;
    if (sprite) {
        r.loadonuse = sprite->loadonuse;
        r.videomem = sprite->videomem;
        r.transparent = sprite->transparent;
        r.number = sprite->number;
        r.width = sprite->width;
        r.height = sprite->height;
        r.xoffset = sprite->xoffset;
        r.yoffset = sprite->yoffset;
        for (const auto& f : sprite->frames) frames.push_back(&f);
    }
    r.exists = sprite != nullptr;
    build(r, frames, strip);
}

void CDrawables::build_background(int32_t id, const CBackground* background,
                                  std::optional<PictureStrip>& strip) {
    if (id < 0) return;
    if (size_t(id) >= backgrounds.size()) backgrounds.resize(size_t(id) + 1);
    RSprite& r = backgrounds[size_t(id)];
    std::vector<const Bitmap24*> frames;
    if (background) {
        r.loadonuse = background->loadonuse;
        r.videomem = background->videomem;
        r.transparent = background->transparent;
        r.number = 1;
        r.width = background->width;
        r.height = background->height;
        r.xoffset = r.yoffset = 0;
        if (background->image) frames.push_back(&*background->image);
    }
    // A background without a picture has nothing to draw.
    r.exists = background != nullptr && (!frames.empty() || strip);
    build(r, frames, strip);
}

void CDrawables::build(RSprite& r, const std::vector<const Bitmap24*>& frames,
                       std::optional<PictureStrip>& strip) {
    r.ready = false;
    r.surface.reset();
    r.parked.reset();
    // Sizes that are not positive (only a damaged file has them) count as empty too.
    if (!r.exists || r.width <= 0 || r.height <= 0 || r.number <= 0) {
        r.exists = false;
        return;
    }
    r.per_row = strip_per_row(r.width, r.number);
    const int64_t rows = (int64_t(r.number) - 1) / r.per_row + 1;
    const int64_t strip_w = int64_t(r.per_row) * r.width, strip_h = rows * r.height;
    if (!surface_size_allowed(strip_w, strip_h)) {
        r.exists = false;
        return;
    }
    auto surface = std::make_unique<DDSurface>();
    if (strip) {
        // Decoded at load straight into its strip: the surface takes the pixels over.
        const bool same_shape = strip->frame_width() == r.width &&
                                strip->frame_height() == r.height && strip->number() == r.number;
        Image32 pixels = std::move(*strip).finish(r.transparent);
        strip.reset();
        r.loadonuse = false;
        if (!same_shape || !surface->adopt(std::move(pixels))) {
            r.exists = false;
            return;
        }
    } else {
        const Bitmap24* first = frames.empty() ? nullptr : frames[0];
        uint32_t fill = 0;
        if (r.transparent && first && !first->empty()) fill = Bitmap24_TransparentColor(*first);
        if (r.loadonuse && temp && temp->exists()) {
            Bitmap24 strip24{int32_t(strip_w), int32_t(strip_h), fill};
            for (int32_t i = 0; i < r.number && size_t(i) < frames.size(); ++i) {
                const Bitmap24& f = *frames[size_t(i)];
                if (f.empty()) continue; // a frame stored without picture stays empty
                std::optional<uint32_t> key;
                if (r.transparent) key = Bitmap24_TransparentColor(f);
                draw_into(strip24, f, r.cell(i), key);
            }
            if (r.file_name.empty()) r.file_name = temp->new_file_name("");
            CStream s;
            WriteInt(s, strip24.width);
            WriteInt(s, strip24.height);
            auto bmp = EncodeBmp(strip24);
            s.write_raw(bmp.data(), bmp.size());
            if (write_file(r.file_name, s.bytes())) return;
            // When the file cannot be written the picture stays in memory: losing it would
            // be worse than using the memory.
        }
        r.loadonuse = false;
        // The frames go straight into the surface, each into its cell over the fill colour;
        // the surface's colour key is then its bottom-left pixel, as the strip's would be.
        if (!surface->create(int32_t(strip_w), int32_t(strip_h), r.videomem, 0, false))
            return; // no surface: draws are skipped
        surface->fill(fill);
        for (int32_t i = 0; i < r.number && size_t(i) < frames.size(); ++i) {
            const Bitmap24& f = *frames[size_t(i)];
            if (f.empty()) continue;
            std::optional<uint32_t> key;
            if (r.transparent) key = Bitmap24_TransparentColor(f);
            surface->clip = r.cell(i);
            surface->draw_bitmap(f, surface->clip.left, surface->clip.top, key);
        }
    }
    surface->clip = {0, 0, surface->width, surface->height};
    surface->transparent = r.transparent;
    if (r.transparent) surface->use_colour_key(surface->get_pixel(0, surface->height - 1));
    r.surface = std::move(surface);
    r.ready = true;
}

bool CDrawables::restore(RSprite& r) {
    r.ready = false;
    if (!r.exists) return false;
    if (!r.loadonuse) {
        // The picture kept in memory is the surface itself, or waits set aside.
        if (r.parked) r.surface = std::move(r.parked);
        r.ready = r.surface != nullptr;
        return r.ready;
    }
    r.surface.reset();
    auto fail = [&]() {
        if (report) report("Failed to restore sprite from file " + r.file_name);
        return false;
    };
    auto bytes = read_file(r.file_name);
    if (!bytes || bytes->size() < 8) return fail();
    // Two ints (the strip's size) come before the bitmap file image.
    std::optional<Bitmap24> strip = DecodeBmp(bytes->data() + 8, bytes->size() - 8);
    if (!strip) return fail();
    auto surface = std::make_unique<DDSurface>();
    if (!surface->create(strip->width, strip->height, r.videomem, Bitmap24_TransparentColor(*strip),
                         r.transparent))
        return false; // no surface: draws are skipped
    surface->draw_bitmap(*strip, 0, 0);
    r.surface = std::move(surface);
    r.ready = true;
    return true;
}

void CDrawables::free(RSprite& r) {
    r.surface.reset();
    r.parked.reset();
    if (!r.file_name.empty()) {
        std::error_code ec;
        std::filesystem::remove(r.file_name, ec);
    }
    r = RSprite();
}

void CDrawables::free_sprite(int32_t id) {
    if (id >= 0 && size_t(id) < sprites.size()) free(sprites[size_t(id)]);
}

void CDrawables::free_background(int32_t id) {
    if (id >= 0 && size_t(id) < backgrounds.size()) free(backgrounds[size_t(id)]);
}

void CDrawables::free_all() {
    for (auto& r : sprites) free(r);
    for (auto& r : backgrounds) free(r);
    sprites.clear();
    backgrounds.clear();
}

namespace {
void discard(RSprite& r) {
    r.ready = false;
    // A picture without a file of its own is only set aside, to be drawn from again.
    if (!r.loadonuse && r.surface) r.parked = std::move(r.surface);
    r.surface.reset();
}
} // namespace

void CDrawables::discard_sprite(int32_t id) {
    if (id >= 0 && size_t(id) < sprites.size()) discard(sprites[size_t(id)]);
}

void CDrawables::discard_background(int32_t id) {
    if (id >= 0 && size_t(id) < backgrounds.size()) discard(backgrounds[size_t(id)]);
}

void CDrawables::restore_sprite(int32_t id) {
    if (id >= 0 && size_t(id) < sprites.size()) restore(sprites[size_t(id)]);
}

void CDrawables::restore_background(int32_t id) {
    if (id >= 0 && size_t(id) < backgrounds.size()) restore(backgrounds[size_t(id)]);
}

void CDrawables::discard_load_on_use() {
    for (auto* list : {&sprites, &backgrounds})
        for (auto& r : *list)
            if (r.loadonuse) discard(r);
}

RSprite* CDrawables::usable(std::vector<RSprite>& list, int32_t id) {
    if (!target_ || id < 0 || size_t(id) >= list.size()) return nullptr;
    RSprite& r = list[size_t(id)];
    if (!r.exists) return nullptr;
    if (!r.ready) restore(r);
    return r.surface ? &r : nullptr;
}

void CDrawables::draw_rect(RSprite& r, RRect source, int32_t x, int32_t y, double xscale,
                           double yscale, double alpha) {
    DDSurface& target = *target_;
    const DDSurface& from = *r.surface;
    if (alpha == 1) {
        target.copy(x, y, source, from, true, xscale, yscale);
        return;
    }
    // Blended drawing: the source scaled into a picture of round(w * xscale) x
    // round(h * yscale) (the same nearest-neighbour choice as the surface copy), then
    // blended pixel by pixel over the part of the target inside its clip rectangle.
    if (source.left < 0 || source.top < 0 || source.right > from.width ||
        source.bottom > from.height || source.width() <= 0 || source.height() <= 0)
        return;
    const int64_t sw = source.width(), sh = source.height();
    const int64_t w = round_pixel(double(sw) * xscale), h = round_pixel(double(sh) * yscale);
    if (w <= 0 || h <= 0) return;
    const uint32_t a = uint32_t(round_pixel(std::clamp(alpha, 0.0, 1.0) * 256));
    auto source_pixel = [&](int64_t px, int64_t py) {
        int64_t sx = source.left + px * sw / w, sy = source.top + py * sh / h;
        return from.surface.pixels[size_t(sy * from.width + sx)] & 0xFFFFFF;
    };
    const uint32_t key = source_pixel(0, h - 1); // the scaled picture's bottom-left pixel
    const int64_t x0 = std::max<int64_t>({int64_t(x), target.clip.left, 0});
    const int64_t y0 = std::max<int64_t>({int64_t(y), target.clip.top, 0});
    const int64_t x1 = std::min<int64_t>({int64_t(x) + w, target.clip.right, target.width});
    const int64_t y1 = std::min<int64_t>({int64_t(y) + h, target.clip.bottom, target.height});
    if (x0 < x1 && y0 < y1) target.will_change();
    for (int64_t ty = y0; ty < y1; ++ty) {
        uint32_t* out = target.surface.pixels.data() + ty * target.width;
        for (int64_t tx = x0; tx < x1; ++tx) {
            uint32_t s = source_pixel(tx - x, ty - y);
            if (r.transparent && s == key) continue;
            uint32_t t = out[tx];
            out[tx] = blend_byte(t >> 16 & 255, s >> 16 & 255, a) << 16 |
                      blend_byte(t >> 8 & 255, s >> 8 & 255, a) << 8 |
                      blend_byte(t & 255, s & 255, a);
        }
    }
}

void CDrawables::draw_sprite(int32_t id, int32_t frame, int32_t x, int32_t y, double xscale,
                             double yscale, double alpha) {
    RSprite* r = usable(sprites, id);
    if (!r) return;
    frame %= r->number;
    if (frame < 0) frame += r->number;
    int64_t dx = int64_t(x) - round_pixel(r->xoffset * xscale) - x_offset_;
    int64_t dy = int64_t(y) - round_pixel(r->yoffset * yscale) - y_offset_;
    draw_rect(*r, r->cell(frame), round_pixel(double(dx)), round_pixel(double(dy)), xscale, yscale,
              alpha);
}

void CDrawables::draw_sprite_stretched(int32_t id, int32_t frame, int32_t x, int32_t y, int32_t w,
                                       int32_t h) {
    if (w <= 0 || h <= 0 || id < 0 || size_t(id) >= sprites.size()) return;
    const RSprite& r = sprites[size_t(id)];
    if (r.width <= 0 || r.height <= 0) return;
    draw_sprite(id, frame, x, y, double(w) / r.width, double(h) / r.height, 1);
}

void CDrawables::draw_background(int32_t id, int32_t x, int32_t y, double xscale, double yscale,
                                 double alpha) {
    RSprite* r = usable(backgrounds, id);
    if (!r) return;
    draw_rect(*r, r->cell(0), round_pixel(double(int64_t(x) - x_offset_)),
              round_pixel(double(int64_t(y) - y_offset_)), xscale, yscale, alpha);
}

void CDrawables::draw_background_stretched(int32_t id, int32_t x, int32_t y, int32_t w, int32_t h) {
    if (w <= 0 || h <= 0 || id < 0 || size_t(id) >= backgrounds.size()) return;
    const RSprite& r = backgrounds[size_t(id)];
    if (r.width <= 0 || r.height <= 0) return;
    draw_background(id, x, y, double(w) / r.width, double(h) / r.height, 1);
}

void CDrawables::draw_background_part(int32_t id, int32_t left, int32_t top, int32_t width,
                                      int32_t height, int32_t x, int32_t y, double xscale,
                                      double yscale, double alpha) {
    RSprite* r = usable(backgrounds, id);
    if (!r) return;
    RRect source{left, top, round_pixel(double(left) + width), round_pixel(double(top) + height)};
    draw_rect(*r, source, round_pixel(double(int64_t(x) - x_offset_)),
              round_pixel(double(int64_t(y) - y_offset_)), xscale, yscale, alpha);
}

void CDrawables::draw_background_tiled(int32_t id, int32_t x, int32_t y, RRect area,
                                       bool horizontal, bool vertical, double xscale, double yscale,
                                       double alpha) {
    RSprite* r = usable(backgrounds, id);
    if (!r) return;
    const int64_t w = round_pixel(r->width * xscale), h = round_pixel(r->height * yscale);
    if (w <= 0 || h <= 0) return;
    // The first cell and where cells stop, on one axis: x := x mod w, one cell back when
    // positive, then forward while the cell ends before the area. Cells that cannot reach
    // the target's visible part draw nothing, so the walk skips them (a huge area with a
    // small tile must not take forever).
    auto span = [](int64_t start, int64_t size, int64_t lo, int64_t hi, bool tiled, int64_t vis_lo,
                   int64_t vis_hi, int64_t& first, int64_t& end) {
        if (!tiled) {
            first = start;
            end = start + 1; // one cell
            return;
        }
        start = remainder_of(start, size);
        if (start > 0) start -= size;
        if (start + size < lo) start += ((lo - start - size) + size - 1) / size * size;
        if (start + size <= vis_lo) start += (vis_lo - start - size) / size * size;
        while (start + size <= vis_lo) start += size;
        first = start;
        end = std::min(hi, vis_hi);
    };
    const DDSurface& t = *target_;
    const int64_t vis_left = int64_t(std::max(t.clip.left, 0)) + x_offset_;
    const int64_t vis_right = int64_t(std::min(t.clip.right, t.width)) + x_offset_;
    const int64_t vis_top = int64_t(std::max(t.clip.top, 0)) + y_offset_;
    const int64_t vis_bottom = int64_t(std::min(t.clip.bottom, t.height)) + y_offset_;
    int64_t x_first, x_end, y_first, y_end;
    span(x, w, area.left, area.right, horizontal, vis_left, vis_right, x_first, x_end);
    span(y, h, area.top, area.bottom, vertical, vis_top, vis_bottom, y_first, y_end);
    for (int64_t cx = x_first; cx < x_end; cx += (horizontal ? w : 1)) {
        for (int64_t cy = y_first; cy < y_end; cy += (vertical ? h : 1))
            draw_background(id, round_pixel(double(cx)), round_pixel(double(cy)), xscale, yscale,
                            alpha);
    }
}

bool CDrawables::background_opaque(int32_t id) const {
    if (!target_ || id < 0 || size_t(id) >= backgrounds.size()) return false;
    const RSprite& r = backgrounds[size_t(id)];
    return r.exists && r.ready && r.surface && !r.transparent;
}

std::optional<Bitmap24> CDrawables::sprite_frame_bitmap(int32_t id, int32_t frame) {
    if (id < 0 || size_t(id) >= sprites.size()) return std::nullopt;
    RSprite& r = sprites[size_t(id)];
    if (!r.exists || frame < 0 || frame >= r.number) return std::nullopt;
    if (!r.ready) restore(r);
    if (!r.surface) return std::nullopt;
    return r.surface->read_bitmap(r.cell(frame));
}

std::optional<Bitmap24> CDrawables::background_bitmap(int32_t id) {
    if (id < 0 || size_t(id) >= backgrounds.size()) return std::nullopt;
    RSprite& r = backgrounds[size_t(id)];
    if (!r.exists) return std::nullopt;
    if (!r.ready) restore(r);
    if (!r.surface) return std::nullopt;
    return r.surface->read_bitmap(r.cell(0));
}

} // namespace kelvane
