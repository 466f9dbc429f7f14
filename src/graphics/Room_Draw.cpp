// Room drawing pieces: caption, buffer size, views, ports, layers and tiles.
#include "graphics/Room_Draw.h"

#include <algorithm>
#include <cstdlib>

namespace kelvane {

std::string room_caption_text(const std::string& caption, bool show_score, int64_t score,
                              int64_t lives) {
    std::string text = caption;
    if (show_score) {
        text += "     Score: " + std::to_string(score);
        if (lives >= 0) text += "  Lives: " + std::to_string(lives);
    }
    return text;
}

void room_buffer_size(bool view_enabled, const std::array<CView, 8>& views, int32_t room_width,
                      int32_t room_height, int32_t& width, int32_t& height) {
    if (!view_enabled) {
        width = room_width;
        height = room_height;
        return;
    }
    int64_t w = 8, h = 8;
    for (const CView& v : views) {
        if (!v.visible) continue;
        w = std::max(w, int64_t(v.x) + v.width);
        h = std::max(h, int64_t(v.y) + v.height);
    }
    width = int32_t(std::min<int64_t>(w, INT32_MAX));
    height = int32_t(std::min<int64_t>(h, INT32_MAX));
}

void follow_box(CView& view, const RBox& box, int32_t room_width, int32_t room_height) {
    // One axis: inside the borders, inside the room, then no faster than the speed.
    auto axis = [](int64_t old, int64_t size, int64_t lo, int64_t hi, int64_t border, int64_t room,
                   int64_t speed) {
        int64_t v = old;
        if (v + size < hi + border)
            v = hi + border - size;
        else if (lo - border < v)
            v = lo - border;
        if (v < 0) v = 0;
        if (v + size > room) v = room - size;
        if (speed >= 0 && std::abs(v - old) > speed) v = v > old ? old + speed : old - speed;
        return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    };
    // (left, top) is the part of the room shown; (x, y) places the port on the screen.
    view.left =
        axis(view.left, view.width, box.left, box.right, view.hborder, room_width, view.hspeed);
    view.top =
        axis(view.top, view.height, box.top, box.bottom, view.vborder, room_height, view.vspeed);
}

void set_view_ports(CDisplay& display, bool view_enabled, const std::array<CView, 8>& views) {
    for (int32_t i = 0; i < 8; ++i) {
        display.clear_port(i);
        const CView& v = views[size_t(i)];
        if (view_enabled && v.visible)
            display.set_port(i, v.x, v.y, v.width, v.height, v.left, v.top);
    }
}

void draw_room_backgrounds(CDrawables& images, const std::array<CRoom::CBackground, 8>& layers,
                           bool foregrounds, RRect area) {
    for (const auto& layer : layers) {
        if (!layer.visible || layer.foreground != foregrounds) continue;
        images.draw_background_tiled(layer.index, round_pixel(layer.x), round_pixel(layer.y), area,
                                     layer.htiled, layer.vtiled, 1, 1, layer.alpha);
    }
}

bool backgrounds_cover(const CDrawables& images, const std::array<CRoom::CBackground, 8>& layers) {
    for (const auto& layer : layers)
        if (layer.visible && !layer.foreground && layer.htiled && layer.vtiled &&
            layer.alpha == 1 && images.background_opaque(layer.index))
            return true;
    return false;
}

bool tile_touches(const RTile& tile, RRect area) {
    return area.right >= tile.x && area.bottom >= tile.y &&
           area.left <= tile.x + tile.width * tile.xscale &&
           area.top <= tile.y + tile.height * tile.yscale;
}

void draw_tile(CDrawables& images, const RTile& tile, RRect area) {
    if (!tile_touches(tile, area)) return;
    images.draw_background_part(tile.background, tile.left, tile.top, tile.width, tile.height,
                                round_pixel(tile.x), round_pixel(tile.y), tile.xscale, tile.yscale,
                                tile.alpha);
}

} // namespace kelvane
