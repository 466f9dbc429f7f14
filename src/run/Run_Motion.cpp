// Motions that search the room for free places.
#include "run/Run_Motion.h"

#include <cmath>
#include <numbers>

#include "code/Code_Main.h"
#include "functions/Function_Math.h"
#include "run/Run_Command.h"

namespace kelvane {

namespace {

constexpr double to_radians = std::numbers::pi / 180.0;

// A random integer in 0 ... range - 1, lowered to a multiple of the snap when it is set.
double random_on_grid(Runtime& rt, int32_t range, double snap) {
    double v = std::floor(next_random(rt.script.random_seed) * std::max(range, 0));
    if (snap > 0) v = std::floor(v / snap) * snap;
    return v;
}

} // namespace

void move_snap(CInstance& self, double hsnap, double vsnap) {
    double x = self.x, y = self.y;
    if (hsnap > 0) x = hsnap * round_even(x / hsnap);
    if (vsnap > 0) y = vsnap * round_even(y / vsnap);
    self.set_position(x, y);
}

bool place_snapped(const CInstance& self, double hsnap, double vsnap) {
    return (hsnap <= 0 || std::fabs(self.x - hsnap * round_even(self.x / hsnap)) < 0.001) &&
           (vsnap <= 0 || std::fabs(self.y - vsnap * round_even(self.y / vsnap)) < 0.001);
}

void move_random(Runtime& rt, CInstance& self, double hsnap, double vsnap) {
    CRoom* room = rt.run.room();
    if (!room) return;
    for (int32_t tries = 0; tries < 100; ++tries) {
        double x = random_on_grid(rt, room->width, hsnap);
        double y = random_on_grid(rt, room->height, vsnap);
        if (place_free(rt, self, x, y)) {
            self.set_position(x, y);
            return;
        }
    }
}

void move_contact(Runtime& rt, CInstance& self, double dir) {
    double dx = std::cos(dir * to_radians), dy = -std::sin(dir * to_radians);
    if (place_free(rt, self, self.x, self.y)) {
        for (int32_t i = 0; i < 1000; ++i) {
            if (!place_free(rt, self, self.x + dx, self.y + dy)) return;
            self.set_position(self.x + dx, self.y + dy);
        }
    } else {
        for (int32_t i = 0; i < 1000; ++i) {
            self.set_position(self.x + dx, self.y + dy);
            if (place_free(rt, self, self.x, self.y)) return;
        }
    }
}

void move_bounce(Runtime& rt, CInstance& self, bool precise, bool all) {
    auto free_at = [&](double x, double y) {
        return all ? place_empty(rt, self, x, y) : place_free(rt, self, x, y);
    };
    if (!free_at(self.x, self.y)) self.set_position(self.xprevious, self.yprevious);
    if (precise) {
        double d = 10 * round_even(self.direction / 10), sp = self.speed;
        // The first free angle turning one way, then the other, ten degrees at a time; the
        // last angle tried when none is free.
        auto search = [&](double step) {
            double a = d;
            for (int32_t i = 0; i < 35; ++i) {
                a += step;
                if (free_at(self.x + std::cos(a * to_radians) * sp,
                            self.y - std::sin(a * to_radians) * sp))
                    break;
            }
            return a;
        };
        double a1 = search(-10), a2 = search(10);
        self.set_direction(a1 + a2 + 180 - d);
        return;
    }
    bool h = free_at(self.x + self.hspeed, self.y);
    bool v = free_at(self.x, self.y + self.vspeed);
    if (h == v) {
        self.set_hspeed(-self.hspeed);
        self.set_vspeed(-self.vspeed);
    } else if (!h) {
        self.set_hspeed(-self.hspeed);
    } else {
        self.set_vspeed(-self.vspeed);
    }
}

} // namespace kelvane
