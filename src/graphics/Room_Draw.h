// The pieces of room drawing that need no live instances: the window caption with score
// and lives, the buffer size for a room, views that follow a box, the ports for the views,
// background layers, tiles with their culling, the depth sort and the merge of tiles and
// instances by depth. The run engine's draw-room step puts them together.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "model/Room_Class.h"

namespace kelvane {

// The caption shown for a room: with the score ("     Score: ") when shown, and the lives
// ("  Lives: ") when there are any (lives >= 0).
std::string room_caption_text(const std::string& caption, bool show_score, int64_t score,
                              int64_t lives);

// The buffer a room needs: with views, the largest port corner (x, y plus the size) over
// the visible views
// (each side at least 8); without, the room's size.
void room_buffer_size(bool view_enabled, const std::array<CView, 8>& views, int32_t room_width,
                      int32_t room_height, int32_t& width, int32_t& height);

// A box in room coordinates, edges included (an instance's bounding box).
struct RBox {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Moves a view so that the box stays inside its borders, keeps it inside the room, and
// limits the move to the view's speeds.
void follow_box(CView& view, const RBox& box, int32_t room_width, int32_t room_height);

// Ports 0 ... 7 for the views: cleared, then set for every visible view (all cleared when
// views are off).
void set_view_ports(CDisplay& display, bool view_enabled, const std::array<CView, 8>& views);

// The room's background layers (the foregrounds when `foregrounds`, else the others), in
// order 0 ... 7, each tiled over the area at its rounded position, scale 1, its alpha.
void draw_room_backgrounds(CDrawables& images, const std::array<CRoom::CBackground, 8>& layers,
                           bool foregrounds, RRect area);

// True when a visible background layer (not a foreground), tiled both ways at alpha 1 and
// opaque, paints every pixel of any area: nothing drawn before it can show.
bool backgrounds_cover(const CDrawables& images, const std::array<CRoom::CBackground, 8>& layers);

// A tile is drawn only when its scaled rectangle touches the area.
bool tile_touches(const RTile& tile, RRect area);
void draw_tile(CDrawables& images, const RTile& tile, RRect area);

// Stable insertion sort by depth, highest first (equal depths keep their order). Cheap
// when the order changes little from step to step.
template <typename T, typename Depth> void sort_by_depth(std::vector<T>& items, Depth depth) {
    for (size_t i = 1; i < items.size(); ++i) {
        if (!(depth(items[i - 1]) < depth(items[i]))) continue;
        T moving = std::move(items[i]);
        const double d = depth(moving);
        size_t j = i;
        while (j > 0 && depth(items[j - 1]) < d) {
            items[j] = std::move(items[j - 1]);
            --j;
        }
        items[j] = std::move(moving);
    }
}

// Draws tiles and instances, both sorted by depth, in one pass: an instance goes first
// when its depth is at least the next tile's, so at equal depth the tile covers it.
// Hidden tiles and hidden or destroyed instances are skipped as they come up (a draw may
// change what follows). `Source` provides:
//   size_t tile_count(), instance_count();
//   bool tile_shown(size_t), instance_shown(size_t);
//   double tile_depth(size_t), instance_depth(size_t);
//   void draw_tile(size_t), draw_instance(size_t).
template <typename Source> void merge_by_depth(Source& src) {
    size_t t = 0, k = 0;
    for (;;) {
        while (k < src.instance_count() && !src.instance_shown(k)) ++k;
        while (t < src.tile_count() && !src.tile_shown(t)) ++t;
        const bool instance_left = k < src.instance_count(), tile_left = t < src.tile_count();
        if (!instance_left && !tile_left) return;
        if (instance_left && (!tile_left || src.tile_depth(t) <= src.instance_depth(k)))
            src.draw_instance(k++);
        else
            src.draw_tile(t++);
    }
}

} // namespace kelvane
