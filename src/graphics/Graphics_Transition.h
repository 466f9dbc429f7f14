// The 17 transitions between the displayed picture and a new one: each step copies a part
// of the new picture (and for the pushing kinds first moves the displayed one) onto the
// screen, waiting for the vertical blank before and pausing after.
#pragma once

#include <cstdint>
#include <functional>

#include "graphics/Graphics_DDraw.h"

namespace kelvane {

// How many copies a transition makes: steps for kinds 1 to 13, twice that for the stripe
// kinds 14 to 17, and 0 (nothing happens at all) for another kind or steps below 1.
int32_t transition_copies(int32_t kind, int32_t steps);

// Step i (1 ... n) of a transition: copies onto `screen` (whose clip rectangle must be the
// placed picture's rectangle) from the new picture, placed at (ox, oy) with scale s.
void transition_step(DDSurface& screen, const DDSurface& picture, int32_t kind, int32_t i,
                     int32_t n, double s, int32_t ox, int32_t oy);

struct RTransitionHooks {
    std::function<void()> wait_vertical_blank; // before each step's copy
    std::function<void()> present;             // after each step's copy
    std::function<void(int64_t ms)> pause;     // after each step: time div n milliseconds
};

// A whole transition: n steps of wait, copy, present and pause. The picture itself is not
// changed.
void perform_transition(DDSurface& screen, const DDSurface& picture, int32_t kind, int32_t time,
                        int32_t steps, double s, int32_t ox, int32_t oy,
                        const RTransitionHooks& hooks);

} // namespace kelvane
