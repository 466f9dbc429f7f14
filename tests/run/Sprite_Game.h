// A game's one sprite and one object for the run tests.
#pragma once

#include <memory>

#include "run/Game.h"

namespace kelvane::testing {

// Adds a sprite, a 4 x 4 frame whose see-through colour fills all but the top-left 2 x 2
// pixels (precise or not), and an object showing it: an instance's box is then
// (x, y) ... (x + 1, y + 1).
inline void add_sprite_and_object(Game& g, bool precise) {
    auto s = std::make_unique<CSprite>();
    s->width = s->height = 4;
    Bitmap24 frame(4, 4, 0x00ff00);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) frame.set_pixel(x, y, 0x0000ff);
    s->frames.push_back(frame);
    s->number = 1;
    s->precise = precise;
    s->compute_bounding_box();
    g.sprites.add("spr", std::move(s));
    auto o = std::make_unique<CObject>();
    o->sprite = 0;
    g.objects.add("obj", std::move(o));
}

} // namespace kelvane::testing
