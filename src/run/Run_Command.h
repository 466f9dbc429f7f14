// Run-time instance operations shared by the game functions and the actions: choosing
// instances by selector, and the placement tests that put an instance somewhere only for
// the test. Also saving and loading the running game.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "run/Collision_Main.h"
#include "run/Instance_Class.h"
#include "run/Run_Main.h"
#include "run/Runtime.h"

namespace kelvane {

// Calls f for every instance the selector chooses (-3 all, an object with its
// descendants, an instance id), skipping destroyed ones, until f returns false.
template <typename F> void for_selected(Runtime& rt, int32_t sel, F f) {
    CRoom* room = rt.run.room();
    if (!room) return;
    if (sel == -3) {
        size_t count = room->instances.size();
        for (size_t i = 0; i < count; ++i)
            if (!room->instances[i]->destroyed && !f(room->instances[i].get())) return;
    } else if (sel >= 100000) {
        for (const auto& p : room->instances)
            if (p->id == sel) {
                if (!p->destroyed) f(p.get());
                return;
            }
    } else if (sel >= 0) {
        const auto& list = room->instances_of_family(sel);
        size_t count = list.size();
        for (size_t i = 0; i < count; ++i)
            if (!list[i]->destroyed && !f(list[i])) return;
    }
}

// Runs f with self put at (x, y) for the test only.
template <typename F> auto at_place(CInstance& self, double x, double y, F f) {
    double ox = self.x, oy = self.y;
    self.set_position(x, y);
    auto r = f();
    self.set_position(ox, oy);
    return r;
}

// The first instance the selector chooses (-1 self, -2 other) that meets `test`, or null.
template <typename Test>
CInstance* first_selected(Runtime& rt, CInstance* self, CInstance* other, int32_t sel, Test test) {
    if (sel == -1) sel = self ? self->id : -4;
    if (sel == -2) sel = other ? other->id : -4;
    CInstance* found = nullptr;
    for_selected(rt, sel, [&](CInstance* i) {
        if (!test(i)) return true;
        found = i;
        return false;
    });
    return found;
}

// The first instance colliding with self at (x, y) that `wanted` accepts.
inline CInstance* meeting(Runtime& rt, CInstance& self, double x, double y, int32_t sel) {
    return at_place(self, x, y, [&] {
        return first_selected(rt, &self, nullptr, sel,
                              [&](CInstance* i) { return instances_collide(rt.masks, self, *i); });
    });
}

// Self at (x, y) meets no solid instance.
inline bool place_free(Runtime& rt, CInstance& self, double x, double y) {
    return at_place(self, x, y, [&] {
        return first_selected(rt, &self, nullptr, -3, [&](CInstance* i) {
                   return i->solid && instances_collide(rt.masks, self, *i);
               }) == nullptr;
    });
}

// Self at (x, y) meets no instance at all.
inline bool place_empty(Runtime& rt, CInstance& self, double x, double y) {
    return meeting(rt, self, x, y, -3) == nullptr;
}

// The number of instances the selector chooses (-1 and -2: self and other, when alive).
inline int32_t count_selected(Runtime& rt, CInstance* self, CInstance* other, int32_t sel) {
    if (sel == -1) return self && !self->destroyed ? 1 : 0;
    if (sel == -2) return other && !other->destroyed ? 1 : 0;
    int32_t count = 0;
    for_selected(rt, sel, [&](CInstance*) {
        ++count;
        return true;
    });
    return count;
}

// Every instance whose shape contains the point, taken before any of them changes.
inline std::vector<CInstance*> instances_at_point(Runtime& rt, double x, double y) {
    std::vector<CInstance*> found;
    for_selected(rt, -3, [&](CInstance* i) {
        if (instance_contains_point(rt.masks, *i, x, y)) found.push_back(i);
        return true;
    });
    return found;
}

inline void destroy_at_position(Runtime& rt, double x, double y) {
    for (CInstance* i : instances_at_point(rt, x, y)) destroy_instance(rt, *i);
}

// The object is checked once, before any instance changes.
inline void change_at_position(Runtime& rt, double x, double y, int32_t object, bool events) {
    if (!rt.game.objects.exists(object)) {
        report_error(rt, "Asking to change into non-existing object: " + std::to_string(object),
                     false);
        return;
    }
    for (CInstance* i : instances_at_point(rt, x, y)) change_instance(rt, *i, object, events);
}

// Saves the game at once to the file the game names (secure mode refuses a name with a
// path). The file is replaced only when the whole save was written.
void save_game(Runtime& rt, const std::string& name);
// The bytes of a save file of the game as it is now.
std::vector<uint8_t> save_game_bytes(const Runtime& rt);
// Loads the game at once from the file; nothing happens when there is no such file. A
// file that is not a complete save of this game is reported and changes nothing.
void load_game(Runtime& rt, const std::string& name);
// Remembers the file name and requests the load, which the loop performs at the end of
// its pass.
void request_load(Runtime& rt, const std::string& name);

// Compares as the comparing questions do: 1 smaller than, 2 larger than, otherwise equal.
inline bool compare_by(double v, double w, int32_t how) {
    return how == 1 ? v < w : how == 2 ? v > w : v == w;
}

} // namespace kelvane
