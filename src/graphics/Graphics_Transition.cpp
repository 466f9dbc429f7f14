// The transition kinds, one copy rule each.
#include "graphics/Graphics_Transition.h"

namespace kelvane {

int32_t transition_copies(int32_t kind, int32_t steps) {
    if (kind < 1 || kind > 17 || steps < 1) return 0;
    if (kind >= 14) return steps > INT32_MAX / 2 ? INT32_MAX : 2 * steps;
    return steps;
}

void transition_step(DDSurface& screen, const DDSurface& picture, int32_t kind, int32_t i,
                     int32_t n, double s, int32_t ox, int32_t oy) {
    const int32_t w = picture.width, h = picture.height;
    const int32_t W = round_pixel(s * w), H = round_pixel(s * h);
    const double f = double(i) / double(n);
    auto part = [&](RRect r, int32_t x, int32_t y) { screen.copy(x, y, r, picture, true, s, s); };
    auto whole = [&](int32_t x, int32_t y) { part({0, 0, w, h}, x, y); };
    // The pushing kinds first move what is displayed, at scale 1.
    auto shift = [&](RRect r, int32_t x, int32_t y) { screen.copy(x, y, r, screen, true, 1, 1); };
    // Stripes: odd ones first (i <= n div 2), then even ones; `from_end` counts them from
    // the right or bottom edge.
    auto stripe = [&](int32_t size, bool from_end) -> int32_t {
        const int64_t b = size / n + 1, half = n / 2, k = i;
        int64_t L;
        if (!from_end)
            L = k <= half ? (2 * k - 1) * b : (2 * k - 2 * half - 2) * b;
        else
            L = k <= half ? size - 2 * k * b : size - (2 * k - 2 * half - 1) * b;
        return round_pixel(double(L));
    };
    switch (kind) {
    case 1:
        part({0, 0, round_pixel(w * f), h}, ox, oy);
        break;
    case 2:
        part({w - round_pixel(w * f), 0, w, h}, ox + W - round_pixel(W * f), oy);
        break;
    case 3:
        part({0, 0, w, round_pixel(h * f)}, ox, oy);
        break;
    case 4:
        part({0, h - round_pixel(h * f), w, h}, ox, oy + H - round_pixel(H * f));
        break;
    case 5:
        part({round_pixel((w - w * f) / 2), round_pixel((h - h * f) / 2),
              round_pixel((w + w * f) / 2), round_pixel((h + h * f) / 2)},
             ox + round_pixel((W - W * f) / 2), oy + round_pixel((H - H * f) / 2));
        break;
    case 6:
        whole(ox - W + round_pixel(W * f), oy);
        break;
    case 7:
        whole(ox + W - round_pixel(W * f), oy);
        break;
    case 8:
        whole(ox, oy - H + round_pixel(H * f));
        break;
    case 9:
        whole(ox, oy + H - round_pixel(H * f));
        break;
    case 10:
        shift({ox, oy, ox + W, oy + H}, ox + round_pixel(double(W) / n), oy);
        whole(ox - W + round_pixel(W * f), oy);
        break;
    case 11:
        shift({ox + round_pixel(double(W) / n), oy, ox + W, oy + H}, ox, oy);
        whole(ox + W - round_pixel(W * f), oy);
        break;
    case 12:
        shift({ox, oy, ox + W, oy + H}, ox, oy + round_pixel(double(H) / n));
        whole(ox, oy - H + round_pixel(H * f));
        break;
    case 13:
        shift({ox, oy + round_pixel(double(H) / n), ox + W, oy + H}, ox, oy);
        whole(ox, oy + H - round_pixel(H * f));
        break;
    case 14:
    case 15: {
        const int32_t L = stripe(w, kind == 15), b = w / n + 1;
        part({L, 0, L + b, h}, round_pixel(ox + s * L), oy);
        break;
    }
    case 16:
    case 17: {
        const int32_t L = stripe(h, kind == 17), b = h / n + 1;
        part({0, L, w, L + b}, ox, round_pixel(oy + s * L));
        break;
    }
    default:
        break;
    }
}

void perform_transition(DDSurface& screen, const DDSurface& picture, int32_t kind, int32_t time,
                        int32_t steps, double s, int32_t ox, int32_t oy,
                        const RTransitionHooks& hooks) {
    const int32_t n = transition_copies(kind, steps);
    for (int32_t i = 1; i <= n; ++i) {
        if (hooks.wait_vertical_blank) hooks.wait_vertical_blank();
        transition_step(screen, picture, kind, i, n, s, ox, oy);
        if (hooks.present) hooks.present();
        if (hooks.pause) hooks.pause(time / n);
    }
}

} // namespace kelvane
