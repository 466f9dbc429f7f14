// The main loop: game start and end, room entry and exit, the requests, and the work of
// one step in its fixed order, paced by a millisecond tick count and sleep.
#include "run/Run_Main.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "graphics/Help_Form.h"
#include "platform/Platform.h"
#include "run/Event_Main.h"
#include "run/Run_Command.h"
#include "run/Run_Draw.h"
#include "run/Runtime.h"
#include "sound/Sound_Main.h"

namespace kelvane {

namespace {

bool pending(const Runtime& rt) {
    return rt.run.pending != pending_none;
}

// ---- dispatch tables ----

void build_tables(Runtime& rt) {
    DispatchTables& t = rt.run.tables;
    if (t.built) return;
    const Game& g = rt.game;
    auto has = [&](int32_t o, int32_t type, int32_t n) {
        return g.objects.exists(o) && find_event(g, o, type, n) != nullptr;
    };
    for (int32_t o = 0; o < g.objects.count(); ++o) {
        if (!g.objects.exists(o)) continue;
        for (int32_t i = 0; i < 8; ++i)
            if (has(o, ev_alarm, i)) t.alarm[size_t(i)].push_back(o);
        for (int32_t i = 0; i < 3; ++i)
            if (has(o, ev_step, i)) t.step[size_t(i)].push_back(o);
        for (int32_t k = 0; k <= 200; ++k) {
            if (has(o, ev_keyboard, k)) t.keyboard[size_t(k)].push_back(o);
            if (has(o, ev_keypress, k)) t.keypress[size_t(k)].push_back(o);
            if (has(o, ev_keyrelease, k)) t.keyrelease[size_t(k)].push_back(o);
        }
        for (int32_t m = 0; m < 10; ++m)
            if (has(o, ev_mouse, m)) t.mouse[size_t(m)].push_back(o);
        if (has(o, ev_other, 0)) t.outside.push_back(o);
        if (has(o, ev_other, 1)) t.boundary.push_back(o);
        for (int32_t b = 0; b < g.objects.count(); ++b)
            if (g.objects.exists(b) && has(o, ev_collision, b))
                t.collision_pairs.emplace_back(o, b);
    }
    t.built = true;
}

// ---- rooms and the game ----

void room_entry(Runtime& rt, int32_t r, bool game_start) {
    RunState& run = rt.run;
    run.pending = pending_none;
    input_clear(rt.input);
    if (r < 0 || size_t(r) >= run.rooms.size()) return;
    run.current_room = r;
    bool fresh = !run.rooms[size_t(r)];
    if (fresh) {
        auto room = std::make_unique<CRoom>();
        if (const CRoom* designed = rt.game.rooms.get(r)) room->copy_from(*designed, rt.game);
        run.rooms[size_t(r)] = std::move(room);
    }
    CRoom& room = *run.rooms[size_t(r)];
    size_t from_resource = room.instances.size();
    for (auto& c : run.carried) {
        CInstance* inst = room.add_instance(rt.game, c->object_index, c->x, c->y, c->id);
        inst->copy_from(*c);
    }
    run.carried.clear();
    if (fresh) {
        for (size_t i = 0; i < from_resource && i < room.instances.size(); ++i) {
            CInstance* inst = room.instances[i].get();
            if (!inst->destroyed) perform_own(rt, inst, inst, ev_create, 0);
        }
    }
    size_room_display(rt);
    if (game_start) perform_for_all(rt, ev_other, 2);
    if (fresh && !room.creation_code.empty() && !pending(rt)) {
        CCode code(room.creation_code, rt);
        CInstance temp(rt.game, 0, 0, 0, 0);
        run_program(rt, &temp, &temp, code);
    }
    perform_for_all(rt, ev_other, 4);
    if (!pending(rt)) {
        draw_room(rt);
        present_room(rt);
        // The transition has been shown: the room's own code starts from none.
        rt.script.values.transition_kind = 0;
    }
}

void room_exit(Runtime& rt, bool game_end) {
    RunState& run = rt.run;
    CRoom* room = run.room();
    if (!room) return;
    room->purge(rt.game);
    int32_t saved = run.pending;
    run.pending = pending_none;
    perform_for_all(rt, ev_other, 5);
    if (game_end) perform_for_all(rt, ev_other, 3);
    run.pending = saved;
    for (auto& p : room->instances) {
        if (p->destroyed || !p->persistent) continue;
        auto copy = std::make_unique<CInstance>(rt.game, p->id, p->object_index, p->x, p->y);
        copy->copy_from(*p);
        run.carried.push_back(std::move(copy));
        p->destroyed = true;
    }
    if (!room->persistent) run.rooms[size_t(run.current_room)].reset();
    release_room_resources(rt);
}

void game_start(Runtime& rt) {
    RunState& run = rt.run;
    start_game_values(rt);
    // A virtual clock's tick count makes the seed of a deterministic run repeatable.
    Clock* clock = rt.platform ? rt.platform->clock.get() : nullptr;
    uint32_t seed = run.fixed_seed ? *run.fixed_seed
                    : clock && clock->is_virtual()
                        ? uint32_t(clock->ticks_ms())
                        : uint32_t(std::chrono::steady_clock::now().time_since_epoch().count());
    seed_random(rt, seed);
    show_game_cursor(rt, true);
    run.rooms.clear();
    run.rooms.resize(size_t(std::max(0, rt.game.rooms.count())));
    run.carried.clear();
    build_tables(rt);
    room_entry(rt, rt.game.first_room(), true);
}

void game_end(Runtime& rt) {
    room_exit(rt, true);
    rt.run.rooms.clear();
    rt.run.current_room = -1;
    show_game_cursor(rt, false);
}

void goto_room(Runtime& rt, int32_t r) {
    room_exit(rt, false);
    room_entry(rt, r, false);
}

void handle_pending(Runtime& rt) {
    RunState& run = rt.run;
    int32_t p = run.pending;
    if (p == pending_end || p == pending_error_end) {
        run.running = false;
    } else if (p == pending_restart) {
        game_end(rt);
        run.pending = pending_none;
        game_start(rt);
    } else if (p == pending_load) {
        run.pending = pending_none;
        input_clear(rt.input);
        load_game(rt, run.load_file_name);
    } else if (p >= 0) {
        goto_room(rt, p);
    }
}

// ---- the parts of one step ----

void alarms(Runtime& rt) {
    CRoom* room = rt.run.room();
    for (int32_t i = 0; i < 8; ++i) {
        for (int32_t o : rt.run.tables.alarm[size_t(i)]) {
            if (pending(rt)) return;
            const auto& list = room->instances_of(o);
            size_t n = list.size();
            for (size_t k = 0; k < n; ++k) {
                CInstance* inst = list[k];
                if (inst->destroyed) continue;
                int32_t& a = inst->alarm[size_t(i)];
                if (a >= 0) {
                    --a;
                    if (a == 0) perform_own(rt, inst, inst, ev_alarm, i);
                }
            }
        }
    }
}

void keyboard(Runtime& rt) {
    RunState& run = rt.run;
    RInputState& in = rt.input;
    const DispatchTables& t = run.tables;
    bool continuous = run.keyboard_continuous;
    bool any = false;
    for (int32_t k = 8; k <= 127 && !pending(rt); ++k) {
        int32_t s = in.key_state[size_t(k)];
        if ((s & 1) || (continuous && s != 0)) {
            any = true;
            perform_for_objects(rt, t.keyboard[size_t(k)], ev_keyboard, k);
        }
    }
    perform_for_objects(rt, t.keyboard[any ? 1 : 0], ev_keyboard, any ? 1 : 0);
    auto flags = [&](std::array<bool, 256>& flag,
                     const std::array<std::vector<int32_t>, 201>& table, int32_t type) {
        bool fired = false;
        for (int32_t k = 8; k <= 127 && !pending(rt); ++k) {
            if (!flag[size_t(k)]) continue;
            fired = true;
            perform_for_objects(rt, table[size_t(k)], type, k);
            flag[size_t(k)] = false;
        }
        perform_for_objects(rt, table[fired ? 1 : 0], type, fired ? 1 : 0);
    };
    flags(in.key_pressed, t.keypress, ev_keypress);
    flags(in.key_released, t.keyrelease, ev_keyrelease);
}

// Joystick 1 acts as the keypad: its direction as a keypad digit's code, a held button
// 1 ... 4 as the code 64 + button (the highest wins).
void joystick(Runtime& rt) {
    if (!rt.platform || !rt.platform->display) return;
    auto js = rt.platform->display->joystick(1);
    if (!js) return;
    // The centre (keypad 5) gives no event unless a button is down.
    int32_t key = joystick_keypad_code(*js);
    if (key == 101) key = 0;
    for (int32_t b = 1; b <= 4; ++b)
        if (js->buttons & (1u << (b - 1))) key = 64 + b;
    if (key != 0) perform_for_objects(rt, rt.run.tables.keyboard[size_t(key)], ev_keyboard, key);
}

// Mouse events go to the instances under the mouse.
void mouse(Runtime& rt) {
    RunState& run = rt.run;
    RInputState& in = rt.input;
    CRoom* room = run.room();
    double mx = 0, my = 0;
    mouse_in_room(rt, mx, my);
    auto fire = [&](int32_t number) {
        for (int32_t o : run.tables.mouse[size_t(number)]) {
            if (pending(rt)) return;
            const auto& list = room->instances_of(o);
            size_t n = list.size();
            for (size_t k = 0; k < n; ++k) {
                CInstance* inst = list[k];
                if (!inst->destroyed && instance_contains_point(rt.masks, *inst, mx, my))
                    perform_own(rt, inst, inst, ev_mouse, number);
            }
        }
    };
    bool continuous = run.mouse_continuous;
    bool any = false;
    for (int32_t b = 0; b < 3; ++b) {
        int32_t s = in.mouse_state[size_t(b + 1)];
        if ((s & 1) || (continuous && s != 0)) {
            any = true;
            fire(b);
        }
    }
    if (!any) fire(3);
    for (int32_t b = 0; b < 3; ++b)
        if (in.mouse_pressed[size_t(b + 1)]) {
            fire(4 + b);
            in.mouse_pressed[size_t(b + 1)] = false;
        }
    for (int32_t b = 0; b < 3; ++b)
        if (in.mouse_released[size_t(b + 1)]) {
            fire(7 + b);
            in.mouse_released[size_t(b + 1)] = false;
        }
}

void path_motion(Runtime& rt, CInstance& inst) {
    const CPath* path = rt.game.paths.get(inst.path_index);
    if (!path || path->length <= 0) return;
    RPathPoint p0 = path->point_at(inst.path_position);
    double f = p0.speed / 100;
    double w = inst.path_scale != 0 ? f / inst.path_scale : 0;
    double c0 = std::floor(inst.path_position);
    inst.path_position += inst.speed * w / path->length;
    double c1 = std::floor(inst.path_position);
    RPathPoint p1 = path->point_at(inst.path_position);
    double th = inst.path_orientation * 3.14159265358979323846 / 180, k = inst.path_scale;
    auto mx = [&](const RPathPoint& p) { return k * (std::cos(th) * p.x + std::sin(th) * p.y); };
    auto my = [&](const RPathPoint& p) { return k * (std::cos(th) * p.y - std::sin(th) * p.x); };
    double speed = inst.speed;
    inst.set_hspeed(mx(p1) - mx(p0));
    inst.set_vspeed(my(p1) - my(p0));
    inst.speed = speed;
    if (c0 != c1) perform_own(rt, &inst, &inst, ev_other, 8);
}

void motion(Runtime& rt) {
    CRoom* room = rt.run.room();
    size_t n = room->instances.size();
    for (size_t i = 0; i < n; ++i) {
        CInstance& inst = *room->instances[i];
        if (inst.friction != 0) {
            double s = inst.speed;
            double nv = s > 0 ? s - inst.friction : s + inst.friction;
            if ((s > 0 && nv < 0) || (s < 0 && nv > 0))
                inst.set_speed(0);
            else if (s != 0)
                inst.set_speed(nv);
        }
        if (inst.gravity != 0) inst.motion_add(inst.gravity_direction, inst.gravity);
        if (inst.path_index >= 0) path_motion(rt, inst);
        inst.set_position(inst.x + inst.hspeed, inst.y + inst.vspeed);
    }
}

void outside_and_boundary(Runtime& rt) {
    CRoom* room = rt.run.room();
    auto walk = [&](const std::vector<int32_t>& objects, int32_t number, auto condition) {
        for (int32_t o : objects) {
            if (pending(rt)) return;
            const auto& list = room->instances_of(o);
            size_t n = list.size();
            for (size_t k = 0; k < n; ++k) {
                CInstance* inst = list[k];
                if (!inst->destroyed && condition(*inst))
                    perform_own(rt, inst, inst, ev_other, number);
            }
        }
    };
    walk(rt.run.tables.outside, 0, [&](const CInstance& i) {
        return i.bbox_right < 0 || i.bbox_left > room->width || i.bbox_bottom < 0 ||
               i.bbox_top > room->height;
    });
    walk(rt.run.tables.boundary, 1, [&](const CInstance& i) {
        return i.bbox_left < 0 || i.bbox_right > room->width || i.bbox_top < 0 ||
               i.bbox_bottom > room->height;
    });
}

// One collision of I with J: the solid rule around both collision events.
void collide(Runtime& rt, CInstance* I, CInstance* J) {
    bool solid = I->solid || J->solid;
    if (solid) {
        I->set_position(I->xprevious, I->yprevious);
        J->set_position(J->xprevious, J->yprevious);
    }
    perform_own(rt, I, J, ev_collision, J->object_index);
    perform_own(rt, J, I, ev_collision, I->object_index);
    if (solid) {
        I->set_position(I->xprevious + I->hspeed, I->yprevious + I->vspeed);
        J->set_position(J->xprevious + J->hspeed, J->yprevious + J->vspeed);
        if (instances_collide(rt.masks, *I, *J)) {
            I->set_position(I->xprevious, I->yprevious);
            J->set_position(J->xprevious, J->yprevious);
        }
    }
}

// Lists shorter than this are simply walked; longer ones are searched through a grid of
// their boxes, which gives the same instances in the same order.
constexpr size_t grid_from = 24;

void collisions(Runtime& rt) {
    CRoom* room = rt.run.room();
    CollisionGrid grid;
    std::vector<uint32_t> candidates;
    for (auto [a, b] : rt.run.tables.collision_pairs) {
        if (pending(rt)) return;
        const auto& as = room->instances_of(a);
        const auto& bs = room->instances_of(b);
        bool built = false;
        uint64_t built_at = 0;
        size_t built_count = 0;
        // The grid describes the list as it is now: rebuilt after anything moved or joined.
        auto look = [&](const CInstance& I, size_t nb) {
            if (!built || built_at != room->layout_changes || built_count != bs.size()) {
                built_count = bs.size();
                grid.build(bs, built_count);
                built_at = room->layout_changes;
                built = true;
            }
            grid.query(I, candidates);
            // Instances that joined while I's collisions ran wait for the next I.
            candidates.erase(std::lower_bound(candidates.begin(), candidates.end(), uint32_t(nb)),
                             candidates.end());
        };
        size_t na = as.size();
        for (size_t i = 0; i < na && !pending(rt); ++i) {
            CInstance* I = as[i];
            if (I->destroyed) continue;
            size_t nb = bs.size();
            if (nb < grid_from) {
                for (size_t j = 0; j < nb && !pending(rt); ++j)
                    if (instances_collide(rt.masks, *I, *bs[j])) collide(rt, I, bs[j]);
                continue;
            }
            look(*I, nb);
            for (size_t c = 0; c < candidates.size() && !pending(rt); ++c) {
                uint32_t j = candidates[c];
                if (!instances_collide(rt.masks, *I, *bs[j])) continue;
                uint64_t before = room->layout_changes;
                size_t listed = bs.size();
                collide(rt, I, bs[j]);
                if (before != room->layout_changes || listed != bs.size()) {
                    // Look again from the next position on, with the boxes as they are now.
                    look(*I, nb);
                    c = size_t(std::upper_bound(candidates.begin(), candidates.end(), j) -
                               candidates.begin()) -
                        1;
                }
            }
        }
    }
}

void animation(Runtime& rt) {
    CRoom* room = rt.run.room();
    size_t n = room->instances.size();
    for (size_t i = 0; i < n; ++i) {
        CInstance& inst = *room->instances[i];
        if (inst.image_single >= 0) continue;
        inst.image_index += inst.image_speed;
        if (round_int(inst.image_index) >= inst.image_number()) {
            perform_own(rt, &inst, &inst, ev_other, 7);
            inst.image_index = 0;
        }
    }
}

void function_keys(Runtime& rt) {
    int32_t key = rt.input.last_key;
    rt.input.last_key = 0;
    const GameOptions& o = rt.game.options;
    if (key == 27 && o.let_esc_end) request_end(rt);
    if (key == 115 && o.let_f4_switch && !o.exclusive_mode)
        rt.display.set_full_screen(!rt.display.is_full_screen());
    // F5 saves and F6 loads at once, in the working directory.
    if ((key == 116 || key == 117) && o.let_f5_save) {
        std::string file = "_save" + std::to_string(rt.game.header.game_id) + ".sav";
        if (key == 116)
            save_game(rt, file);
        else
            load_game(rt, file);
    }
    if (key == 112 && o.let_f1_info && !o.exclusive_mode) {
        show_game_information(rt);
        input_clear_states(rt.input);
    }
}

} // namespace

// ---- requests ----

void request_goto(Runtime& rt, int32_t room) {
    if (!rt.game.rooms.exists(room)) {
        report_error(rt, "Unexisting room number: " + std::to_string(room), true);
        rt.run.pending = pending_error_end;
        return;
    }
    rt.run.pending = room;
}

void request_previous(Runtime& rt) {
    if (rt.run.current_room == rt.game.first_room()) {
        report_error(rt, "Moving to previous room before the first room.", true);
        rt.run.pending = pending_error_end;
        return;
    }
    request_goto(rt, rt.game.previous_room(rt.run.current_room));
}

void request_next(Runtime& rt) {
    if (rt.run.current_room == rt.game.last_room()) {
        report_error(rt, "Moving to next room after the last room.", true);
        rt.run.pending = pending_error_end;
        return;
    }
    request_goto(rt, rt.game.next_room(rt.run.current_room));
}

void request_restart_room(Runtime& rt) {
    request_goto(rt, rt.run.current_room);
}
void request_end(Runtime& rt) {
    rt.run.pending = pending_end;
}
void request_restart_game(Runtime& rt) {
    rt.run.pending = pending_restart;
}

void set_lives(Runtime& rt, int32_t lives) {
    int32_t old = rt.script.values.lives;
    rt.script.values.lives = lives;
    if (old > 0 && lives <= 0) perform_for_all(rt, ev_other, 6);
}

// ---- instances ----

CInstance* create_instance(Runtime& rt, int32_t object, double x, double y) {
    if (!rt.game.objects.exists(object)) {
        report_error(rt, "Creating instance for non-existing object: " + std::to_string(object),
                     false);
        return nullptr;
    }
    CRoom* room = rt.run.room();
    if (!room) return nullptr;
    CInstance* inst = room->add_instance(rt.game, object, x, y, ++rt.game.last_instance_id);
    perform_own(rt, inst, inst, ev_create, 0);
    return inst;
}

void destroy_instance(Runtime& rt, CInstance& inst) {
    perform_own(rt, &inst, &inst, ev_destroy, 0);
    inst.destroyed = true;
}

void change_instance(Runtime& rt, CInstance& inst, int32_t object, bool perform_events) {
    if (!rt.game.objects.exists(object)) {
        report_error(rt, "Asking to change into non-existing object: " + std::to_string(object),
                     false);
        return;
    }
    CRoom* room = rt.run.room();
    if (!room) return;
    if (perform_events) perform_own(rt, &inst, &inst, ev_destroy, 0);
    // The new instance joins the lists of its new object; it takes every field of the old
    // one (its id too), then the new object's settings.
    CInstance* fresh =
        room->add_instance(rt.game, object, inst.x, inst.y, ++rt.game.last_instance_id);
    fresh->copy_from(inst);
    fresh->set_object(object);
    inst.destroyed = true;
    if (perform_events) perform_own(rt, fresh, fresh, ev_create, 0);
}

void set_instance_sprite(Runtime& rt, CInstance& inst, int32_t sprite) {
    if (!rt.game.sprites.exists(sprite)) {
        report_error(rt, "Setting instance to non-existing sprite: " + std::to_string(sprite),
                     false);
        return;
    }
    inst.set_sprite_index(sprite);
}

// ---- one step and the loop ----

void run_step(Runtime& rt) {
    RunState& run = rt.run;
    CRoom* room = run.room();
    if (!room) return;
    // A game that freezes while its window is inactive does nothing in such a step.
    if (rt.game.options.freeze_inactive && rt.platform && rt.platform->display &&
        !rt.platform->display->has_focus())
        return;
    function_keys(rt);
    room = run.room(); // F6 may have loaded other rooms
    if (!room) return;
    for (auto& p : room->instances) {
        p->xprevious = p->x;
        p->yprevious = p->y;
    }
    const DispatchTables& t = run.tables;
    if (!pending(rt)) perform_for_objects(rt, t.step[1], ev_step, 1);
    if (!pending(rt)) alarms(rt);
    if (!pending(rt)) keyboard(rt);
    if (!pending(rt)) joystick(rt);
    if (!pending(rt)) mouse(rt);
    if (!pending(rt)) perform_for_objects(rt, t.step[0], ev_step, 0);
    if (!pending(rt)) {
        motion(rt);
        outside_and_boundary(rt);
    }
    if (!pending(rt)) collisions(rt);
    if (!pending(rt)) perform_for_objects(rt, t.step[2], ev_step, 2);
    if (!pending(rt)) room->purge(rt.game);
    if (!pending(rt)) draw_room(rt);
    if (!pending(rt)) room->scroll_backgrounds();
    if (!pending(rt)) animation(rt);
    if (!pending(rt) && run.debugger) run.debugger->refresh();
    if (!pending(rt)) input_end_step(rt.input);
}

namespace {

// The game end after the loop: errors are no longer reported.
void end_after_loop(Runtime& rt) {
    rt.script.reporter.game_running = false;
    game_end(rt);
}

// A step with the clock and the sound that follow it; the room speed it ran at.
int32_t timed_step(Runtime& rt) {
    RunState& run = rt.run;
    begin_display_step(rt, run.steps_done + 1);
    run_step(rt);
    ++run.steps_done;
    if (run.after_step) run.after_step(run.steps_done);
    if (rt.game.options.wait_vsync) wait_vertical_blank(rt);
    CRoom* room = run.room();
    int32_t speed = room && room->speed > 0 ? room->speed : 30;
    rt.platform->clock->step_passed(speed);
    sound_step(rt, speed);
    return speed;
}

void present_step(Runtime& rt) {
    if (pending(rt)) return;
    present_room(rt);
    rt.script.values.transition_kind = 0;
}

} // namespace

void step_paused_game(Runtime& rt) {
    RunState& run = rt.run;
    if (!run.running || !run.paused) return;
    rt.script.reporter.game_running = true;
    timed_step(rt);
    present_step(rt);
    handle_pending(rt);
    if (!run.running) {
        run.paused = false;
        end_after_loop(rt);
    }
    rt.script.reporter.game_running = run.running;
}

void stop_game(Runtime& rt) {
    RunState& run = rt.run;
    if (!run.running) return;
    const bool was_paused = run.paused;
    run.running = false;
    run.paused = false;
    if (was_paused) end_after_loop(rt);
}

void run_game_loop(Runtime& rt) {
    RunState& run = rt.run;
    // The game reads time from `clock`; a window is paced by the real clock behind it.
    Clock& clock = *rt.platform->clock;
    Clock& pace = clock.pacing();
    rt.script.reporter.game_running = true;
    if (!run.running) {
        run.running = true;
        game_start(rt);
    }
    run.running = true;
    run.paused = false;
    handle_pending(rt);
    int64_t last = pace.ticks_ms(), second = clock.ticks_ms();
    int32_t count = 0;
    while (run.running && !run.paused) {
        process_window_events(rt);
        if (run.max_steps && run.steps_done >= *run.max_steps) request_end(rt);
        if (!pending(rt)) {
            int32_t speed = timed_step(rt);
            int64_t game_now = clock.ticks_ms();
            int64_t now = pace.ticks_ms();
            if (!run.headless) {
                int64_t wait = int64_t(std::nearbyint(1000.0 / speed - double(now - last)));
                if (wait <= 0) {
                    last = now;
                } else {
                    pace.sleep_ms(wait);
                    last = now + wait;
                }
            }
            if (game_now / 1000 != second / 1000) {
                run.fps = count;
                count = 0;
                second = game_now;
            }
            present_step(rt);
        }
        handle_pending(rt);
        process_window_events(rt);
        ++count;
    }
    // The loop has ended: errors of the game end are neither shown, logged nor kept.
    if (!run.running) end_after_loop(rt);
    rt.script.reporter.game_running = false;
}

} // namespace kelvane
