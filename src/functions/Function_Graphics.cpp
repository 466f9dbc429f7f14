// The drawing functions: each takes a canvas on the selected port with the drawing state,
// turns room positions into port pixels and draws; without a canvas they do nothing.
#include "functions/Function_Graphics.h"

#include <algorithm>
#include <optional>

#include "code/Code_Main.h"
#include "functions/Function_Math.h"
#include "graphics/Graphics_GDI.h"
#include "run/Run_Draw.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// A room position as a pixel of the selected port.
int32_t port_x(Runtime& rt, double v) {
    return int32_t(
        std::clamp<int64_t>(int64_t(round_pixel(v)) - rt.gdi.x_offset(), -(1 << 30), 1 << 30));
}
int32_t port_y(Runtime& rt, double v) {
    return int32_t(
        std::clamp<int64_t>(int64_t(round_pixel(v)) - rt.gdi.y_offset(), -(1 << 30), 1 << 30));
}

std::optional<CCanvas> canvas(Runtime& rt) {
    return rt.gdi.canvas(rt.drawing);
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)
#define UNUSED (void)rt, (void)self, (void)other, (void)result, (void)a

H(fn_make_color) {
    UNUSED;
    // No clamping: components beyond 255 run into the next one, as the sum says.
    result =
        RValue(round_even(a[0].real) + 256 * round_even(a[1].real) + 65536 * round_even(a[2].real));
}

H(fn_screen_redraw) {
    UNUSED;
    // A redraw from inside the room's drawing (a draw event) would never end: it is left
    // out there.
    if (rt.gdi.redrawing) return;
    rt.gdi.redrawing = true;
    draw_room(rt);
    present_room(rt);
    rt.gdi.redrawing = false;
}
H(fn_screen_refresh) {
    UNUSED;
    rt.display.refresh(0, 0, 0);
}
H(fn_screen_gamma) {
    UNUSED;
    rt.display.set_gamma(a[0].real, a[1].real, a[2].real);
}

H(fn_draw_pixel) {
    UNUSED;
    if (auto c = canvas(rt))
        c->set_pixel(port_x(rt, a[0].real), port_y(rt, a[1].real),
                     uint32_t(rt.drawing.brush_color));
}
H(fn_draw_getpixel) {
    UNUSED;
    if (auto c = canvas(rt))
        result = RValue(double(c->get_pixel(port_x(rt, a[0].real), port_y(rt, a[1].real))));
}
H(fn_draw_fill) {
    UNUSED;
    if (auto c = canvas(rt)) c->flood_fill(port_x(rt, a[0].real), port_y(rt, a[1].real));
}
H(fn_draw_line) {
    UNUSED;
    draw_box_shape(rt, BoxShape::line, a[0].real, a[1].real, a[2].real, a[3].real);
}
H(fn_draw_rectangle) {
    UNUSED;
    draw_box_shape(rt, BoxShape::rectangle, a[0].real, a[1].real, a[2].real, a[3].real);
}
H(fn_draw_ellipse) {
    UNUSED;
    draw_box_shape(rt, BoxShape::ellipse, a[0].real, a[1].real, a[2].real, a[3].real);
}
H(fn_draw_circle) {
    UNUSED;
    const double x = a[0].real, y = a[1].real, r = a[2].real;
    draw_box_shape(rt, BoxShape::ellipse, x - r, y - r, x + r, y + r);
}
H(fn_draw_roundrect) {
    UNUSED;
    if (auto c = canvas(rt))
        c->round_rect(port_x(rt, a[0].real), port_y(rt, a[1].real), port_x(rt, a[2].real),
                      port_y(rt, a[3].real), 10, 10);
}
H(fn_draw_triangle) {
    UNUSED;
    if (auto c = canvas(rt)) {
        const RPoint p[3] = {{port_x(rt, a[0].real), port_y(rt, a[1].real)},
                             {port_x(rt, a[2].real), port_y(rt, a[3].real)},
                             {port_x(rt, a[4].real), port_y(rt, a[5].real)}};
        c->polygon(p);
    }
}

// The arc, chord and pie share their eight arguments.
template <void (CCanvas::*shape)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                                 int32_t)>
H(fn_curve) {
    UNUSED;
    if (auto c = canvas(rt))
        ((*c).*shape)(port_x(rt, a[0].real), port_y(rt, a[1].real), port_x(rt, a[2].real),
                      port_y(rt, a[3].real), port_x(rt, a[4].real), port_y(rt, a[5].real),
                      port_x(rt, a[6].real), port_y(rt, a[7].real));
}

H(fn_draw_button) {
    UNUSED;
    auto c = canvas(rt);
    if (!c) return;
    const int32_t x1 = port_x(rt, a[0].real), y1 = port_y(rt, a[1].real);
    const int32_t x2 = port_x(rt, a[2].real), y2 = port_y(rt, a[3].real);
    const bool down = to_int32(a[4].real) != 0;
    // The face in the brush, edged with a plain pen; then two-pixel bevels, dark on the
    // upper left when pressed, light when not.
    c->pen = RPen();
    c->rectangle(x1, y1, x2, y2);
    const uint32_t grey = 0x808080, white = 0xFFFFFF;
    const uint32_t upper_left = down ? grey : white, lower_right = down ? white : grey;
    c->pen.colour = upper_left;
    const RPoint outer_ul[3] = {{x1, y2}, {x1, y1}, {x2, y1}};
    const RPoint inner_ul[3] = {{x1 + 1, y2 - 1}, {x1 + 1, y1 + 1}, {x2 - 1, y1 + 1}};
    c->polyline(outer_ul);
    c->polyline(inner_ul);
    c->pen.colour = lower_right;
    const RPoint outer_lr[3] = {{x1, y2}, {x2, y2}, {x2, y1}};
    const RPoint inner_lr[3] = {{x1 + 1, y2 - 1}, {x2 - 1, y2 - 1}, {x2 - 1, y1 + 1}};
    c->polyline(outer_lr);
    c->polyline(inner_lr);
}

H(fn_draw_polygon_begin) {
    UNUSED;
    rt.gdi.polygon.clear();
}
H(fn_draw_polygon_vertex) {
    UNUSED;
    if (rt.gdi.polygon.size() >= CGraphicsGDI::max_polygon_points) {
        rt.gdi.polygon.clear();
        report_error(rt, "Polygon has too many vertices.", false);
        return;
    }
    rt.gdi.polygon.push_back({round_pixel(a[0].real), round_pixel(a[1].real)});
}
H(fn_draw_polygon_end) {
    UNUSED;
    if (rt.gdi.polygon.empty()) {
        report_error(rt, "Drawing polygon with no vertices.", false);
        return;
    }
    if (auto c = canvas(rt)) {
        std::vector<RPoint> points;
        points.reserve(rt.gdi.polygon.size());
        for (const RPoint& p : rt.gdi.polygon) points.push_back({port_x(rt, p.x), port_y(rt, p.y)});
        c->polygon(points);
    }
    rt.gdi.polygon.clear();
}

H(fn_draw_text) {
    UNUSED;
    draw_text_at(rt, a[0].real, a[1].real, drawn_text(a[2]), -1, -1);
}
H(fn_draw_text_ext) {
    UNUSED;
    draw_text_at(rt, a[0].real, a[1].real, drawn_text(a[2]), to_int32(a[3].real),
                 to_int32(a[4].real));
}
H(fn_string_width) {
    UNUSED;
    auto c = canvas(rt);
    result = RValue(c ? double(c->text_width(a[0].str.view())) : 1.0);
}
H(fn_string_height) {
    UNUSED;
    auto c = canvas(rt);
    result = RValue(c ? double(c->text_height(a[0].str.view())) : 1.0);
}

#undef H
#undef UNUSED

constexpr RFunction functions[] = {
    {"screen_redraw", fn_screen_redraw, 0},
    {"screen_refresh", fn_screen_refresh, 0},
    {"make_color", fn_make_color, 3},
    {"draw_pixel", fn_draw_pixel, 2},
    {"draw_getpixel", fn_draw_getpixel, 2},
    {"draw_fill", fn_draw_fill, 2},
    {"draw_line", fn_draw_line, 4},
    {"draw_text", fn_draw_text, 3},
    {"draw_text_ext", fn_draw_text_ext, 5},
    {"draw_circle", fn_draw_circle, 3},
    {"draw_ellipse", fn_draw_ellipse, 4},
    {"draw_rectangle", fn_draw_rectangle, 4},
    {"draw_roundrect", fn_draw_roundrect, 4},
    {"draw_triangle", fn_draw_triangle, 6},
    {"draw_arc", fn_curve<&CCanvas::arc>, 8},
    {"draw_chord", fn_curve<&CCanvas::chord>, 8},
    {"draw_pie", fn_curve<&CCanvas::pie>, 8},
    {"draw_button", fn_draw_button, 5},
    {"draw_polygon_begin", fn_draw_polygon_begin, 0},
    {"draw_polygon_vertex", fn_draw_polygon_vertex, 2},
    {"draw_polygon_end", fn_draw_polygon_end, 0},
    {"string_width", fn_string_width, 1},
    {"string_height", fn_string_height, 1},
    {"screen_gamma", fn_screen_gamma, 3},
};

} // namespace

std::span<const RFunction> drawing_functions() {
    return functions;
}

std::string drawn_text(const RValue& value) {
    return value.is_string() ? value.str.str() : format_real(value.real);
}

void draw_text_at(Runtime& rt, double x, double y, const std::string& text, int32_t sep,
                  int32_t w) {
    auto c = canvas(rt);
    if (!c) return;
    c->brush.style = brush_hollow;
    draw_text_block(*c, port_x(rt, x), port_y(rt, y), text, sep, w, rt.drawing.font_angle,
                    rt.drawing.font_align);
}

void draw_box_shape(Runtime& rt, BoxShape shape, double x1, double y1, double x2, double y2) {
    auto c = canvas(rt);
    if (!c) return;
    const int32_t l = port_x(rt, x1), t = port_y(rt, y1), r = port_x(rt, x2), b = port_y(rt, y2);
    switch (shape) {
    case BoxShape::rectangle:
        c->rectangle(l, t, r, b);
        break;
    case BoxShape::ellipse:
        c->ellipse(l, t, r, b);
        break;
    case BoxShape::line:
        c->line(l, t, r, b);
        break;
    }
}

} // namespace kelvane
