// Game functions: instance selection by object, id or all; creation and destruction; room
// changes, the end and restart of the game, saving and loading; performing events on demand.
#include "functions/Function_Game.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/Platform.h"
#include "run/Event_Main.h"
#include "run/Run_Command.h"
#include "run/Run_Draw.h"
#include "run/Run_Main.h"
#include "run/Run_Motion.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

constexpr double noone = -4;

int32_t n(const RValue& v) {
    return to_int32(v.real);
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)
#define UNUSED (void)rt, (void)self, (void)other, (void)result, (void)a

H(fn_instance_find) {
    UNUSED;
    int32_t want = n(a[1]), seen = 0;
    result = RValue(noone);
    for_selected(rt, n(a[0]), [&](CInstance* i) {
        if (seen++ != want) return true;
        result = RValue(double(i->id));
        return false;
    });
}

H(fn_instance_exists) {
    result = RValue(count_selected(rt, self, other, n(a[0])) > 0 ? 1.0 : 0.0);
}
H(fn_instance_number) {
    result = RValue(double(count_selected(rt, self, other, n(a[0]))));
}

H(fn_place_free) {
    (void)other;
    if (self) result = RValue(place_free(rt, *self, a[0].real, a[1].real) ? 1.0 : 0.0);
}
H(fn_place_empty) {
    (void)other;
    if (!self) return;
    result = RValue(meeting(rt, *self, a[0].real, a[1].real, -3) ? 0.0 : 1.0);
}
H(fn_place_meeting) {
    if (!self) return;
    int32_t sel = n(a[2]);
    if (sel == -2) sel = other ? other->id : -4;
    result = RValue(meeting(rt, *self, a[0].real, a[1].real, sel) ? 1.0 : 0.0);
}
H(fn_instance_place) {
    if (!self) return void(result = RValue(noone));
    int32_t sel = n(a[2]);
    if (sel == -2) sel = other ? other->id : -4;
    CInstance* i = meeting(rt, *self, a[0].real, a[1].real, sel);
    result = RValue(i ? double(i->id) : noone);
}
H(fn_position_empty) {
    CInstance* i = first_selected(rt, self, other, -3, [&](CInstance* c) {
        return instance_contains_point(rt.masks, *c, a[0].real, a[1].real);
    });
    result = RValue(i ? 0.0 : 1.0);
}
H(fn_position_meeting) {
    CInstance* i = first_selected(rt, self, other, n(a[2]), [&](CInstance* c) {
        return instance_contains_point(rt.masks, *c, a[0].real, a[1].real);
    });
    result = RValue(i ? 1.0 : 0.0);
}
H(fn_instance_position) {
    CInstance* i = first_selected(rt, self, other, n(a[2]), [&](CInstance* c) {
        return instance_contains_point(rt.masks, *c, a[0].real, a[1].real);
    });
    result = RValue(i ? double(i->id) : noone);
}

H(fn_move_snap) {
    UNUSED;
    if (self) move_snap(*self, a[0].real, a[1].real);
}
H(fn_place_snapped) {
    UNUSED;
    if (self) result = RValue(place_snapped(*self, a[0].real, a[1].real) ? 1.0 : 0.0);
}
H(fn_move_random) {
    UNUSED;
    if (self) move_random(rt, *self, a[0].real, a[1].real);
}
H(fn_move_contact) {
    UNUSED;
    if (self) move_contact(rt, *self, a[0].real);
}
H(fn_move_bounce) {
    UNUSED;
    if (self) move_bounce(rt, *self, a[0].real >= 0.5, false);
}
H(fn_move_bounce_all) {
    UNUSED;
    if (self) move_bounce(rt, *self, a[0].real >= 0.5, true);
}
H(fn_sleep) {
    UNUSED;
    sleep_keeping_connections(rt, to_int32(a[0].real));
}
H(fn_move_towards_point) {
    UNUSED;
    if (!self) return;
    self->set_hspeed(a[0].real - self->x);
    self->set_vspeed(a[1].real - self->y);
    self->set_speed(a[2].real);
}
H(fn_motion_set) {
    UNUSED;
    if (!self) return;
    self->set_direction(a[0].real);
    self->set_speed(a[1].real);
}
H(fn_motion_add) {
    UNUSED;
    if (self) self->motion_add(a[0].real, a[1].real);
}
H(fn_distance_to_point) {
    UNUSED;
    if (!self) return;
    double x = a[0].real, y = a[1].real, dx = 0, dy = 0;
    if (x > self->bbox_right) dx = x - self->bbox_right;
    if (x < self->bbox_left) dx = x - self->bbox_left;
    if (y > self->bbox_bottom) dy = y - self->bbox_bottom;
    if (y < self->bbox_top) dy = y - self->bbox_top;
    result = RValue(std::sqrt(dx * dx + dy * dy));
}
H(fn_distance_to_object) {
    if (!self) return;
    int32_t sel = n(a[0]);
    double best = 1000000;
    auto gap = [](int32_t a0, int32_t a1, int32_t b0, int32_t b1) {
        return a1 < b0 ? double(b0 - a1) : (b1 < a0 ? double(a0 - b1) : 0.0);
    };
    auto measure = [&](CInstance* i) {
        if (i == self || i->destroyed) return true;
        double dx = gap(self->bbox_left, self->bbox_right, i->bbox_left, i->bbox_right);
        double dy = gap(self->bbox_top, self->bbox_bottom, i->bbox_top, i->bbox_bottom);
        best = std::min(best, std::sqrt(dx * dx + dy * dy));
        return true;
    };
    CRoom* room = rt.run.room();
    if (sel == -2) {
        if (other) measure(other);
    } else if (sel >= 0 && sel < 100000) {
        // Only instances of exactly that object.
        if (room)
            for (CInstance* i : room->instances_of(sel)) measure(i);
    } else {
        for_selected(rt, sel, measure);
    }
    result = RValue(best);
}
// The instance with the smallest (nearest) or largest (furthest) squared distance; an id
// selector finds none.
CInstance* extreme(Runtime& rt, int32_t sel, double x, double y, bool nearest) {
    if (sel >= 100000) return nullptr;
    CInstance* found = nullptr;
    double best = nearest ? 1e10 : -1;
    for_selected(rt, sel, [&](CInstance* i) {
        double d = (i->x - x) * (i->x - x) + (i->y - y) * (i->y - y);
        if (nearest ? d < best : d > best) best = d, found = i;
        return true;
    });
    return found;
}
H(fn_instance_nearest) {
    UNUSED;
    CInstance* i = extreme(rt, n(a[2]), a[0].real, a[1].real, true);
    result = RValue(i ? double(i->id) : noone);
}
H(fn_instance_furthest) {
    UNUSED;
    CInstance* i = extreme(rt, n(a[2]), a[0].real, a[1].real, false);
    result = RValue(i ? double(i->id) : noone);
}
H(fn_instance_copy) {
    UNUSED;
    CRoom* room = rt.run.room();
    if (!self || !room) return;
    CInstance* copy = room->add_instance(rt.game, self->object_index, self->x, self->y,
                                         ++rt.game.last_instance_id);
    int32_t id = copy->id;
    copy->copy_from(*self);
    copy->id = id;
    if (a[0].real >= 0.5) perform_own(rt, copy, copy, ev_create, 0);
    result = RValue(double(id));
}
H(fn_instance_sprite) {
    UNUSED;
    if (self) set_instance_sprite(rt, *self, n(a[0]));
}
H(fn_position_destroy) {
    UNUSED;
    destroy_at_position(rt, a[0].real, a[1].real);
}
H(fn_position_change) {
    UNUSED;
    change_at_position(rt, a[0].real, a[1].real, n(a[2]), a[3].real >= 0.5);
}

H(fn_instance_create) {
    UNUSED;
    CInstance* inst = create_instance(rt, n(a[2]), a[0].real, a[1].real);
    result = RValue(inst ? double(inst->id) : noone);
}

H(fn_instance_destroy) {
    UNUSED;
    if (self) destroy_instance(rt, *self);
}

H(fn_instance_change) {
    UNUSED;
    if (self) change_instance(rt, *self, n(a[0]), a[1].real >= 0.5);
}

H(fn_room_goto) {
    UNUSED;
    request_goto(rt, n(a[0]));
}
H(fn_room_goto_previous) {
    UNUSED;
    request_previous(rt);
}
H(fn_room_goto_next) {
    UNUSED;
    request_next(rt);
}
H(fn_room_restart) {
    UNUSED;
    request_restart_room(rt);
}
H(fn_room_previous) {
    UNUSED;
    int32_t r = n(a[0]);
    result = RValue(double(rt.game.rooms.exists(r) ? rt.game.previous_room(r) : -1));
}
H(fn_room_next) {
    UNUSED;
    int32_t r = n(a[0]);
    result = RValue(double(rt.game.rooms.exists(r) ? rt.game.next_room(r) : -1));
}
H(fn_game_end) {
    UNUSED;
    request_end(rt);
}
H(fn_game_restart) {
    UNUSED;
    request_restart_game(rt);
}
// Saving happens at once; loading is a request the loop carries out at the end of its pass.
H(fn_game_save) {
    UNUSED;
    save_game(rt, a[0].str.str());
}
H(fn_game_load) {
    UNUSED;
    request_load(rt, a[0].str.str());
}

H(fn_event_perform) {
    (void)result;
    perform_own(rt, self, other, n(a[0]), n(a[1]));
}
H(fn_event_user) {
    (void)result;
    perform_own(rt, self, other, ev_other, 10 + n(a[0]));
}
H(fn_event_perform_object) {
    (void)result;
    perform(rt, self, other, n(a[0]), n(a[1]), n(a[2]));
}
H(fn_event_inherited) {
    (void)result, (void)a;
    perform_inherited(rt, self, other);
}

H(fn_sprite_discard) {
    UNUSED;
    rt.images.discard_sprite(n(a[0]));
}
H(fn_sprite_restore) {
    UNUSED;
    rt.images.restore_sprite(n(a[0]));
}
H(fn_background_discard) {
    UNUSED;
    rt.images.discard_background(n(a[0]));
}
H(fn_background_restore) {
    UNUSED;
    rt.images.restore_background(n(a[0]));
}
H(fn_discard_all) {
    UNUSED;
    release_room_resources(rt);
}

#undef H
#undef UNUSED

const RFunction game[] = {
    {"place_free", fn_place_free, 2},
    {"place_snapped", fn_place_snapped, 2},
    {"move_snap", fn_move_snap, 2},
    {"move_random", fn_move_random, 2},
    {"move_contact", fn_move_contact, 1},
    {"move_bounce", fn_move_bounce, 1},
    {"move_bounce_solid", fn_move_bounce, 1},
    {"move_bounce_all", fn_move_bounce_all, 1},
    {"sleep", fn_sleep, 1},
    {"move_towards_point", fn_move_towards_point, 3},
    {"motion_set", fn_motion_set, 2},
    {"motion_add", fn_motion_add, 2},
    {"distance_to_point", fn_distance_to_point, 2},
    {"distance_to_object", fn_distance_to_object, 1},
    {"instance_nearest", fn_instance_nearest, 3},
    {"instance_furthest", fn_instance_furthest, 3},
    {"instance_copy", fn_instance_copy, 1},
    {"instance_sprite", fn_instance_sprite, 1},
    {"position_destroy", fn_position_destroy, 2},
    {"position_change", fn_position_change, 4},
    {"place_empty", fn_place_empty, 2},
    {"place_meeting", fn_place_meeting, 3},
    {"instance_position", fn_instance_position, 3},
    {"instance_place", fn_instance_place, 3},
    {"position_empty", fn_position_empty, 2},
    {"position_meeting", fn_position_meeting, 3},
    {"instance_find", fn_instance_find, 2},
    {"instance_exists", fn_instance_exists, 1},
    {"instance_number", fn_instance_number, 1},
    {"instance_create", fn_instance_create, 3},
    {"instance_change", fn_instance_change, 2},
    {"instance_destroy", fn_instance_destroy, 0},
    {"room_goto", fn_room_goto, 1},
    {"room_goto_previous", fn_room_goto_previous, 0},
    {"room_goto_next", fn_room_goto_next, 0},
    {"room_previous", fn_room_previous, 1},
    {"room_next", fn_room_next, 1},
    {"room_restart", fn_room_restart, 0},
    {"game_end", fn_game_end, 0},
    {"game_restart", fn_game_restart, 0},
    {"game_load", fn_game_load, 1},
    {"game_save", fn_game_save, 1},
};

const RFunction events[] = {
    {"event_perform", fn_event_perform, 2},
    {"event_user", fn_event_user, 1},
    {"event_perform_object", fn_event_perform_object, 3},
    {"event_inherited", fn_event_inherited, 0},
};

const RFunction memory[] = {
    {"sprite_discard", fn_sprite_discard, 1},
    {"sprite_restore", fn_sprite_restore, 1},
    {"background_discard", fn_background_discard, 1},
    {"background_restore", fn_background_restore, 1},
    {"discard_all", fn_discard_all, 0},
};

} // namespace

std::span<const RFunction> game_functions() {
    return game;
}
std::span<const RFunction> event_functions() {
    return events;
}
std::span<const RFunction> resource_memory_functions() {
    return memory;
}

} // namespace kelvane
