// Room drawing as the run engine sees it: views, the depth order of tiles and instances,
// draw events, and the caption. Pixels are drawn by the display's drawing layer.
#include "run/Room_Draw.h"

#include <algorithm>

#include "platform/Platform.h"
#include "run/Event_Main.h"
#include "runner/Runtime.h"

namespace kelvane {

void update_views(Runtime& rt) {
    CRoom* room = rt.run.room();
    if (!room || !room->view_enabled) return;
    for (CView& v : room->views) {
        if (!v.visible || !rt.game.objects.exists(v.object)) continue;
        const CInstance* inst = nullptr;
        for (CInstance* i : room->instances_of(v.object))
            if (!i->destroyed) {
                inst = i;
                break;
            }
        if (!inst) continue;
        auto follow = [](int32_t pos, int32_t size, int32_t border, int32_t lo, int32_t hi) {
            if (pos + size < hi + border) return hi + border - size;
            if (lo - border < pos) return lo - border;
            return pos;
        };
        auto clamp_room = [](int32_t pos, int32_t size, int32_t room_size) {
            if (pos < 0) pos = 0;
            if (pos + size > room_size) pos = room_size - size;
            return pos;
        };
        auto limit = [](int32_t old, int32_t target, int32_t speed) {
            if (speed < 0 || std::abs(target - old) <= speed) return target;
            return target > old ? old + speed : old - speed;
        };
        // The view's room position is (left, top); x and y place its port on the screen.
        int32_t nx = follow(v.left, v.width, v.hborder, inst->bbox_left, inst->bbox_right);
        int32_t ny = follow(v.top, v.height, v.vborder, inst->bbox_top, inst->bbox_bottom);
        nx = clamp_room(nx, v.width, room->width);
        ny = clamp_room(ny, v.height, room->height);
        v.left = limit(v.left, nx, v.hspeed);
        v.top = limit(v.top, ny, v.vspeed);
    }
}

std::string room_caption_text(const Runtime& rt) {
    const CRoom* room = rt.run.room();
    std::string text = room ? room->caption : std::string();
    if (rt.run.show_score) {
        text += "     Score: " + std::to_string(rt.script.values.score);
        if (rt.script.values.lives >= 0)
            text += "  Lives: " + std::to_string(rt.script.values.lives);
    }
    return text;
}

namespace {

// Draws the room content seen through one view (or the whole room).
void draw_content(Runtime& rt, CRoom& room) {
    size_t t = 0, k = 0;
    auto& tiles = room.tiles;
    auto& instances = room.instances;
    for (;;) {
        while (k < instances.size() && (instances[k]->destroyed || !instances[k]->visible)) ++k;
        while (t < tiles.size() && !tiles[t].visible) ++t;
        if (k < instances.size() && (t >= tiles.size() || tiles[t].depth <= instances[k]->depth)) {
            CInstance* inst = instances[k].get();
            if (find_event(rt.game, inst->object_index, ev_draw, 0))
                perform_own(rt, inst, inst, ev_draw, 0);
            ++k;
        } else if (t < tiles.size()) {
            ++t;
        } else {
            break;
        }
    }
}

} // namespace

void draw_room(Runtime& rt) {
    CRoom* room = rt.run.room();
    if (!room) return;
    update_views(rt);
    room->sort_by_depth();
    room->sort_tiles_by_depth();
    if (room->view_enabled) {
        for (int32_t i = 0; i < 8; ++i) {
            if (!room->views[size_t(i)].visible) continue;
            rt.run.view_current = i;
            draw_content(rt, *room);
        }
    } else {
        rt.run.view_current = 0;
        draw_content(rt, *room);
    }
    // The caption goes to the window once the display draws rooms.
    rt.run.view_current = 0;
}

void present_room(Runtime&) {}
void size_room_display(Runtime&) {}
void release_room_resources(Runtime&) {}

void mouse_in_room(Runtime& rt, double& x, double& y) {
    x = y = 0;
    (void)rt;
}

void show_game_cursor(Runtime&, bool) {}

void process_window_events(Runtime&) {}
void begin_display_step(Runtime&, int64_t) {}
void wait_vertical_blank(Runtime&) {}

} // namespace kelvane
