// Building masks from sprite frames, and the point and pair tests with their exact pixel
// mapping (integer when both scales are 1, real otherwise).
#include "run/Collision_Main.h"

#include <algorithm>
#include <cmath>

#include "run/Game.h"
#include "run/Instance_Class.h"

namespace kelvane {

void CollisionMasks::build_all(const Game& game,
                               const std::function<void(const std::string&)>& report) {
    masks_.assign(size_t(std::max(0, game.sprites.count())), CMask());
    for (int32_t i = 0; i < game.sprites.count(); ++i) build(game, i, report);
}

void CollisionMasks::build(const Game& game, int32_t sprite,
                           const std::function<void(const std::string&)>& report) {
    if (masks_.size() < size_t(std::max(0, game.sprites.count())))
        masks_.resize(size_t(game.sprites.count()));
    if (sprite < 0 || size_t(sprite) >= masks_.size()) return;
    CMask& m = masks_[size_t(sprite)];
    m = CMask();
    const CSprite* s = game.sprites.get(sprite);
    if (!s || !s->precise || !s->transparent) return;
    if (s->number <= 0 || s->width <= 0 || s->height <= 0) return;
    m.count = s->number;
    m.width = s->width;
    m.height = s->height;
    for (int32_t i = 0; i < s->number; ++i) {
        std::vector<uint8_t> bits;
        if (!s->frame_opaque_bits(i, m.width, m.height, bits)) {
            report("Internal error in creating collision masks.");
            m = CMask();
            return;
        }
        m.images.push_back(std::move(bits));
    }
    m.valid = true;
}

void CollisionMasks::free(int32_t sprite) {
    if (sprite >= 0 && size_t(sprite) < masks_.size()) masks_[size_t(sprite)] = CMask();
}

bool CollisionMasks::mask_point(int32_t sprite, int32_t image, double px, double py) const {
    const CMask* m = mask(sprite);
    if (!m || !m->valid) return true;
    if (!(px >= 0 && px < m->width && py >= 0 && py < m->height)) return false;
    if (image < 0 || image >= m->count) return false;
    return m->images[size_t(image)]
                    [size_t(std::floor(py)) * size_t(m->width) + size_t(std::floor(px))] != 0;
}

namespace {

// The sub-image used for collisions, or -1 when the mask sprite has no images.
int32_t collision_image(const CInstance& inst) {
    const CSprite* s = inst.game().sprites.get(inst.mask_sprite());
    if (!s || s->number <= 0) return -1;
    int32_t k = inst.image_single >= 0 ? round_int(inst.image_single) : round_int(inst.image_index);
    k %= s->number;
    if (k < 0) k += s->number;
    return k;
}

} // namespace

bool instance_contains_point(const CollisionMasks& masks, const CInstance& inst, double x,
                             double y) {
    if (inst.destroyed || x < inst.bbox_left || x > inst.bbox_right || y < inst.bbox_top ||
        y > inst.bbox_bottom)
        return false;
    if (!inst.precise) return true;
    int32_t k = collision_image(inst);
    if (k < 0) return false;
    const CSprite* s = inst.game().sprites.get(inst.mask_sprite());
    double sc = inst.image_scale;
    double px = (double(round_int(x)) - round_int(inst.x)) / sc + s->xoffset;
    double py = (double(round_int(y)) - round_int(inst.y)) / sc + s->yoffset;
    return masks.mask_point(inst.mask_sprite(), k, px, py);
}

namespace {

// The shape of an unscaled instance in room pixels: its mask placed at its position, or
// everywhere (no precise shape), or nowhere (a mask without that image). The same answers
// as mask_point for whole-pixel positions, without its floating point.
struct UnscaledShape {
    const uint8_t* bits = nullptr; // null: no mask, so every pixel is hit (unless `none`)
    bool none = false;
    int64_t left = 0, top = 0, width = 0, height = 0;

    UnscaledShape(const CollisionMasks& masks, const CInstance& i, const CSprite* s, int32_t k,
                  int64_t rx, int64_t ry) {
        if (!i.precise || !s) return;
        const CMask* m = masks.mask(i.mask_sprite());
        if (!m || !m->valid) return;
        if (k < 0 || k >= m->count) {
            none = true;
            return;
        }
        bits = m->images[size_t(k)].data();
        left = rx - s->xoffset, top = ry - s->yoffset, width = m->width, height = m->height;
        none = width <= 0 || height <= 0;
    }
};

} // namespace

bool instances_collide(const CollisionMasks& masks, const CInstance& a, const CInstance& b) {
    if (a.bbox_right < b.bbox_left || b.bbox_right < a.bbox_left || a.bbox_bottom < b.bbox_top ||
        b.bbox_bottom < a.bbox_top)
        return false;
    if (&a == &b || a.destroyed || b.destroyed) return false;
    if (!a.precise && !b.precise) return true;
    int32_t ka = collision_image(a), kb = collision_image(b);
    // An instance whose mask sprite has no images fails every precise test.
    if ((a.precise && ka < 0) || (b.precise && kb < 0)) return false;
    const CSprite* sa = a.game().sprites.get(a.mask_sprite());
    const CSprite* sb = b.game().sprites.get(b.mask_sprite());
    int32_t ax = round_int(a.x), ay = round_int(a.y), bx = round_int(b.x), by = round_int(b.y);
    bool unscaled = a.image_scale == 1 && b.image_scale == 1;
    int32_t x0 = std::max(a.bbox_left, b.bbox_left), x1 = std::min(a.bbox_right, b.bbox_right);
    int32_t y0 = std::max(a.bbox_top, b.bbox_top), y1 = std::min(a.bbox_bottom, b.bbox_bottom);
    if (unscaled) {
        UnscaledShape sha(masks, a, sa, ka, ax, ay), shb(masks, b, sb, kb, bx, by);
        if (sha.none || shb.none) return false;
        // Outside a mask nothing is hit: only the part that both masks cover is walked.
        int64_t left = x0, right = x1, top = y0, bottom = y1;
        for (const UnscaledShape* sh : {&sha, &shb}) {
            if (!sh->bits) continue;
            left = std::max(left, sh->left), right = std::min(right, sh->left + sh->width - 1);
            top = std::max(top, sh->top), bottom = std::min(bottom, sh->top + sh->height - 1);
        }
        if (left > right || top > bottom) return false;
        // Inside that part a shape without a mask is hit everywhere: only the masks' rows
        // are read, and a pixel hits when every mask read has it.
        const UnscaledShape* shapes[2] = {&sha, &shb};
        const uint8_t* rows[2] = {nullptr, nullptr};
        int64_t strides[2] = {0, 0}, n = 0;
        for (const UnscaledShape* sh : shapes) {
            if (!sh->bits) continue;
            rows[n] = sh->bits + (top - sh->top) * sh->width + (left - sh->left);
            strides[n++] = sh->width;
        }
        if (n == 0) return true;
        const int64_t w = right - left + 1;
        for (int64_t y = top; y <= bottom; ++y) {
            uint8_t any = 0;
            if (n == 2)
                for (int64_t x = 0; x < w; ++x) any |= (rows[0][x] != 0) & (rows[1][x] != 0);
            else
                for (int64_t x = 0; x < w; ++x) any |= rows[0][x] != 0;
            if (any) return true;
            rows[0] += strides[0];
            if (n == 2) rows[1] += strides[1];
        }
        return false;
    }
    // Room pixels in 64 bits: boxes far out reach the ends of the 32-bit range.
    auto hit = [&](const CInstance& i, const CSprite* s, int32_t k, int64_t rx, int64_t ry,
                   int64_t x, int64_t y) {
        if (!i.precise || !s) return true;
        double px = double(x - rx) / i.image_scale + s->xoffset;
        double py = double(y - ry) / i.image_scale + s->yoffset;
        return masks.mask_point(i.mask_sprite(), k, px, py);
    };
    for (int64_t x = x0; x <= x1; ++x)
        for (int64_t y = y0; y <= y1; ++y)
            if (hit(a, sa, ka, ax, ay, x, y) && hit(b, sb, kb, bx, by, x, y)) return true;
    return false;
}

namespace {

// Boxes further out than this (instances without a shape have their box at -100000), or
// covering more cells than max_cells, are not filed in cells but offered to every query.
constexpr int32_t far_out = 1 << 16;
constexpr int64_t max_cells = 64;

bool far(const CInstance& i) {
    return i.bbox_left < -far_out || i.bbox_top < -far_out || i.bbox_right > far_out ||
           i.bbox_bottom > far_out || i.bbox_right < i.bbox_left || i.bbox_bottom < i.bbox_top;
}

} // namespace

void CollisionGrid::build(const std::vector<CInstance*>& list, size_t count) {
    entries_.clear();
    everywhere_.clear();
    columns_ = rows_ = 0;
    // The area of the boxes and their typical size choose the cells.
    int64_t left = far_out, top = far_out, right = -far_out, bottom = -far_out, sizes = 0, n = 0;
    for (size_t j = 0; j < count; ++j) {
        const CInstance& i = *list[j];
        if (i.destroyed || far(i)) continue;
        left = std::min<int64_t>(left, i.bbox_left), top = std::min<int64_t>(top, i.bbox_top);
        right = std::max<int64_t>(right, i.bbox_right);
        bottom = std::max<int64_t>(bottom, i.bbox_bottom);
        sizes += int64_t(i.bbox_right) - i.bbox_left + i.bbox_bottom - i.bbox_top + 2;
        ++n;
    }
    shift_ = 4;
    if (n > 0) {
        while ((int64_t(1) << shift_) < sizes / n && shift_ < 24) ++shift_;
        // At most a few cells per filed box.
        auto cells = [&] {
            return (((right - left) >> shift_) + 1) * (((bottom - top) >> shift_) + 1);
        };
        while (cells() > 4 * n + 1024) ++shift_;
        x0_ = int32_t(left), y0_ = int32_t(top);
        columns_ = int32_t(((right - left) >> shift_) + 1);
        rows_ = int32_t(((bottom - top) >> shift_) + 1);
    }
    starts_.assign(size_t(columns_) * size_t(rows_) + 1, 0);
    // Two passes: count per cell, then fill in list order so each cell stays ascending.
    for (int pass = 0; pass < 2; ++pass) {
        for (size_t j = 0; j < count; ++j) {
            const CInstance& i = *list[j];
            if (i.destroyed) continue;
            int32_t cx0 = 0, cx1 = -1, cy0 = 0, cy1 = -1;
            if (!far(i)) {
                cx0 = (i.bbox_left - x0_) >> shift_, cx1 = (i.bbox_right - x0_) >> shift_;
                cy0 = (i.bbox_top - y0_) >> shift_, cy1 = (i.bbox_bottom - y0_) >> shift_;
            }
            if (cx1 < cx0 || int64_t(cx1 - cx0 + 1) * (cy1 - cy0 + 1) > max_cells) {
                if (pass == 1) everywhere_.push_back(uint32_t(j));
                continue;
            }
            for (int32_t cy = cy0; cy <= cy1; ++cy)
                for (int32_t cx = cx0; cx <= cx1; ++cx) {
                    size_t cell = size_t(cy) * size_t(columns_) + size_t(cx);
                    if (pass == 0)
                        ++starts_[cell + 1];
                    else
                        entries_[starts_[cell]++] = uint32_t(j);
                }
        }
        if (pass == 0) {
            for (size_t c = 1; c < starts_.size(); ++c) starts_[c] += starts_[c - 1];
            entries_.resize(starts_.back());
        } else {
            // Filling moved each start to the next cell's; shift them back.
            for (size_t c = starts_.size() - 1; c > 0; --c) starts_[c] = starts_[c - 1];
            starts_[0] = 0;
        }
    }
}

void CollisionGrid::query(const CInstance& inst, std::vector<uint32_t>& out) const {
    out.assign(everywhere_.begin(), everywhere_.end());
    if (columns_ > 0 && !far(inst)) {
        int64_t cx0 = std::max<int64_t>(0, (int64_t(inst.bbox_left) - x0_) >> shift_);
        int64_t cx1 = std::min<int64_t>(columns_ - 1, (int64_t(inst.bbox_right) - x0_) >> shift_);
        int64_t cy0 = std::max<int64_t>(0, (int64_t(inst.bbox_top) - y0_) >> shift_);
        int64_t cy1 = std::min<int64_t>(rows_ - 1, (int64_t(inst.bbox_bottom) - y0_) >> shift_);
        for (int64_t cy = cy0; cy <= cy1; ++cy)
            for (int64_t cx = cx0; cx <= cx1; ++cx) {
                size_t cell = size_t(cy) * size_t(columns_) + size_t(cx);
                out.insert(out.end(), entries_.begin() + starts_[cell],
                           entries_.begin() + starts_[cell + 1]);
            }
    } else if (columns_ > 0) {
        // A box too large or too far out for the cells meets any filed box.
        out.insert(out.end(), entries_.begin(), entries_.end());
    }
    std::sort(out.begin(), out.end());
    out.erase(std::unique(out.begin(), out.end()), out.end());
}

} // namespace kelvane
