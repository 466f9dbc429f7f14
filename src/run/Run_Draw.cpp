// Room drawing in its order: views, depth sort, background colour, per view the layers,
// tiles and instances merged by depth and the foregrounds, then the caption.
#include "run/Run_Draw.h"

#include "graphics/Room_Draw.h"
#include "platform/Platform.h"
#include "run/Event_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// Views follow the first live instance of exactly their object.
void update_views(Runtime& rt, CRoom& room) {
    if (room.view_enabled) {
        for (CView& v : room.views) {
            if (!v.visible || !rt.game.objects.exists(v.object)) continue;
            for (CInstance* i : room.instances_of(v.object)) {
                if (i->destroyed) continue;
                follow_box(v, {i->bbox_left, i->bbox_top, i->bbox_right, i->bbox_bottom},
                           room.width, room.height);
                break;
            }
        }
    }
    set_view_ports(rt.display, room.view_enabled, room.views);
}

struct ContentSource {
    Runtime& rt;
    CRoom& room;
    RRect area;
    size_t tile_count() { return room.tiles.size(); }
    size_t instance_count() { return room.instances.size(); }
    bool tile_shown(size_t t) { return room.tiles[t].visible; }
    bool instance_shown(size_t k) {
        const CInstance& i = *room.instances[k];
        return !i.destroyed && i.visible;
    }
    double tile_depth(size_t t) { return room.tiles[t].depth; }
    double instance_depth(size_t k) { return room.instances[k]->depth; }
    void draw_tile(size_t t) { kelvane::draw_tile(rt.images, room.tiles[t], area); }
    void draw_instance(size_t k) {
        CInstance* i = room.instances[k].get();
        if (find_event(rt.game, i->object_index, ev_draw, 0)) {
            perform_own(rt, i, i, ev_draw, 0);
            return;
        }
        int32_t frame =
            i->image_single >= 0 ? round_int(i->image_single) : round_int(i->image_index);
        rt.images.draw_sprite(i->sprite_index, frame, round_int(i->x), round_int(i->y),
                              i->image_scale, i->image_scale, i->image_alpha);
    }
};

void draw_content(Runtime& rt, CRoom& room, RRect area) {
    draw_room_backgrounds(rt.images, room.backgrounds, false, area);
    ContentSource src{rt, room, area};
    merge_by_depth(src);
    draw_room_backgrounds(rt.images, room.backgrounds, true, area);
}

} // namespace

void draw_room(Runtime& rt) {
    CRoom* room = rt.run.room();
    if (!room) return;
    update_views(rt, *room);
    room->sort_by_depth();
    room->sort_tiles_by_depth();
    // Filling the buffer is wasted when a background paints all of it right after.
    if (room->background_showcolor && !room->view_enabled &&
        rt.display.buffer_width() <= room->width && rt.display.buffer_height() <= room->height &&
        backgrounds_cover(rt.images, room->backgrounds))
        rt.display.buffer().will_be_painted_over();
    else
        rt.display.clear_buffer(room->background_showcolor, uint32_t(room->background_color));
    if (room->view_enabled) {
        for (int32_t i = 0; i < 8; ++i) {
            const CView& v = room->views[size_t(i)];
            if (!v.visible) continue;
            rt.run.view_current = i;
            rt.display.select_port(i);
            draw_content(rt, *room, {v.left, v.top, v.left + v.width, v.top + v.height});
            rt.display.select_port(-1);
        }
    } else {
        rt.run.view_current = 0;
        draw_content(rt, *room, {0, 0, room->width, room->height});
    }
    rt.display.set_caption(room_caption_text(room->caption, rt.run.show_score,
                                             rt.script.values.score, rt.script.values.lives));
    rt.run.view_current = 0;
}

void present_room(Runtime& rt) {
    const GameValues& v = rt.script.values;
    rt.display.refresh(v.transition_kind, v.transition_time, v.transition_steps);
}

void size_room_display(Runtime& rt) {
    CRoom* room = rt.run.room();
    if (!room) return;
    int32_t w = 0, h = 0;
    room_buffer_size(room->view_enabled, room->views, room->width, room->height, w, h);
    if (!rt.display.set_buffer_size(w, h))
        report_error(rt,
                     "Cannot make a drawing buffer of " + std::to_string(w) + " x " +
                         std::to_string(h) + " pixels for the room; the room is drawn in part.",
                     false);
}

bool room_display_fits(const CRoom& room) {
    int32_t w = 0, h = 0;
    room_buffer_size(room.view_enabled, room.views, room.width, room.height, w, h);
    return CDisplay::buffer_size_allowed(w, h);
}

void release_room_resources(Runtime& rt) {
    rt.images.discard_load_on_use();
    sound_discard_unused(rt);
}

void mouse_in_room(Runtime& rt, double& x, double& y) {
    int32_t mx = 0, my = 0;
    rt.display.mouse_position(mx, my);
    x = mx;
    y = my;
}

void show_game_cursor(Runtime& rt, bool game_runs) {
    rt.display.set_cursor_visible(game_runs ? rt.run.show_cursor : true);
}

namespace {

// Passes the game window's input on, except the key that pauses the game and shows the
// debug window.
class DebugKeyFilter : public InputSink {
  public:
    DebugKeyFilter(InputSink& to, int32_t key) : to_(to), key_(key) {}
    void key_down(int32_t vk) override { vk == key_ ? void(pressed = true) : to_.key_down(vk); }
    void key_up(int32_t vk) override {
        if (vk != key_) to_.key_up(vk);
    }
    void key_press(uint8_t ch) override { to_.key_press(ch); }
    void mouse_down(int32_t b) override { to_.mouse_down(b); }
    void mouse_up(int32_t b) override { to_.mouse_up(b); }
    void mouse_wheel(int32_t notches) override { to_.mouse_wheel(notches); }
    void close_request() override { to_.close_request(); }
    bool pressed = false;

  private:
    InputSink& to_;
    int32_t key_;
};

} // namespace

void process_window_events(Runtime& rt) {
    // The network is served with the window, so that players stay connected while a game
    // does not call the multiplayer functions.
    rt.multiplayer.poll();
    if (!rt.platform || !rt.platform->display) return;
    CWindowInput sink(rt.input);
    DebugWatcher* debugger = rt.run.debugger;
    if (debugger && rt.run.debug_key) {
        DebugKeyFilter filter(sink, rt.run.debug_key);
        rt.platform->display->process_events(filter);
        if (filter.pressed) debugger->pause_key();
    } else {
        rt.platform->display->process_events(sink);
    }
    if (debugger) debugger->window_events();
}

void process_window_events_in_step(Runtime& rt) {
    // Waiting for a key or a dialog keeps the other players' connections alive too.
    rt.multiplayer.poll();
    if (!rt.platform || !rt.platform->display) return;
    CWindowInput sink(rt.input);
    rt.platform->display->process_events_in_step(sink);
}

void sleep_keeping_connections(Runtime& rt, int64_t ms) {
    if (!rt.platform || !rt.platform->clock) return;
    constexpr int64_t slice = 100;
    while (ms > slice && rt.multiplayer.in_session()) {
        rt.platform->clock->sleep_ms(slice);
        ms -= slice;
        rt.multiplayer.poll();
    }
    rt.platform->clock->sleep_ms(ms);
}

void begin_display_step(Runtime& rt, int64_t step) {
    if (rt.platform && rt.platform->display) rt.platform->display->begin_step(step);
}

void wait_vertical_blank(Runtime& rt) {
    rt.display.wait_vertical_blank();
}

} // namespace kelvane
