// Motions that search the room for free places: jumping to a random free position, moving
// until contact, and bouncing off instances (solid ones or all), with and without the
// precise angle search.
#pragma once

#include <cstdint>

namespace kelvane {

struct Runtime;
class CInstance;

// Rounds self's position to the grid (an axis whose snap is not positive stays).
void move_snap(CInstance& self, double hsnap, double vsnap);
// Whether self's position lies on the grid (within 0.001).
bool place_snapped(const CInstance& self, double hsnap, double vsnap);
// Up to 100 random tries on the grid; the first position where self meets no solid
// instance is taken, otherwise self stays.
void move_random(Runtime& rt, CInstance& self, double hsnap, double vsnap);
// Moves self in steps of one pixel in direction `dir` up to contact with a solid instance,
// or out of the solid instances it is in.
void move_contact(Runtime& rt, CInstance& self, double dir);
// Bounces self off solid instances (or off any instance when `all`), searching the free
// angles in steps of ten degrees when `precise`.
void move_bounce(Runtime& rt, CInstance& self, bool precise, bool all);

} // namespace kelvane
