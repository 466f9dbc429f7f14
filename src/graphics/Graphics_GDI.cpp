// The GDI-style canvas: pixels, lines, polygons, the box shapes and their arcs, flood fill
// and text; the layout of a text block; the drawing layer with its polygon and fonts.
#include "graphics/Graphics_GDI.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>

namespace kelvane {

namespace {

constexpr double pi = std::numbers::pi;

// The hatch patterns of brush styles 2 ... 7: eight rows of eight pixels, the highest bit
// leftmost, repeated from the surface's corner.
constexpr uint8_t hatch_rows[6][8] = {
    {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80}, // bdiagonal: lines rising to the right
    {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01}, // fdiagonal: lines falling to the right
    {0x08, 0x08, 0x08, 0xFF, 0x08, 0x08, 0x08, 0x08}, // cross
    {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81}, // diagcross
    {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00}, // horizontal
    {0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08, 0x08}, // vertical
};

// Positions far outside any surface are held here so that sums and products stay in range.
constexpr int64_t far_away = int64_t(1) << 31;

int64_t floor_div(__int128 n, __int128 d) {
    __int128 q = n / d;
    if ((n % d != 0) && ((n < 0) != (d < 0))) --q;
    return int64_t(q);
}

int64_t ceil_div(__int128 n, __int128 d) {
    return -floor_div(-n, d);
}

// An angle brought into [0, 2 pi).
double wrap_angle(double a) {
    a = std::fmod(a, 2 * pi);
    return a < 0 ? a + 2 * pi : a;
}

// Normalises a box so that left <= right and top <= bottom.
void order_box(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
}

// The pixels of row y inside the ellipse that fills the box [l, r) x [t, b): those whose
// centres lie in it. The left end is computed and the right end mirrored, so the shape is
// exactly symmetric.
bool ellipse_row(double l, double t, double r, double b, int64_t y, int64_t& a, int64_t& e) {
    const double cx = (l + r) / 2, cy = (t + b) / 2, rx = (r - l) / 2, ry = (b - t) / 2;
    if (rx <= 0 || ry <= 0 || y < t || y >= b) return false;
    const double dy = (double(y) + 0.5 - cy) / ry, rest = 1 - dy * dy;
    if (rest < 0) return false;
    const double hw = rx * std::sqrt(rest);
    a = int64_t(std::ceil(cx - hw - 0.5 - 1e-9));
    a = std::max(a, int64_t(l));
    e = int64_t(l) + int64_t(r) - 1 - a;
    return a <= e;
}

} // namespace

// A shape that is one run of pixels per row, rows top ... bottom - 1.
struct CCanvas::Shape {
    int64_t top = 0, bottom = 0;
    std::function<bool(int64_t y, int64_t& a, int64_t& b)> row;

    // The ellipse that fills the box [left, right) x [top, bottom).
    static Shape ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        return {top, bottom, [=](int64_t y, int64_t& a, int64_t& b) {
                    return ellipse_row(left, top, right, bottom, y, a, b);
                }};
    }

    // The outline runs of row y (at most two): the pixels of the row without a neighbour
    // above, below, left or right in the shape.
    int outline(int64_t y, int64_t out[4]) const {
        int64_t a = 0, b = 0;
        if (!row(y, a, b)) return 0;
        int64_t ia = a + 1, ib = b - 1;
        for (int64_t ny : {y - 1, y + 1}) {
            int64_t na = 0, nb = 0;
            if (!row(ny, na, nb)) {
                ia = 1, ib = 0;
                break;
            }
            ia = std::max(ia, na), ib = std::min(ib, nb);
        }
        if (ia > ib) {
            out[0] = a, out[1] = b;
            return 1;
        }
        int n = 0;
        if (ia > a) out[n++] = a, out[n++] = ia - 1;
        if (ib < b) out[n++] = ib + 1, out[n++] = b;
        return n / 2;
    }
};

CCanvas::CCanvas(DDSurface& surface, CFonts* fonts) : surface_(surface), fonts_(fonts) {
    clip_ = surface.clip;
    clip_.left = std::max(clip_.left, 0);
    clip_.top = std::max(clip_.top, 0);
    clip_.right = std::min(clip_.right, surface.exists() ? surface.width : 0);
    clip_.bottom = std::min(clip_.bottom, surface.exists() ? surface.height : 0);
}

void CCanvas::pixel(int64_t x, int64_t y, uint32_t colour) {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
    surface_.will_change();
    surface_.surface.pixels[size_t(y) * size_t(surface_.width) + size_t(x)] =
        colour_to_pixel(colour);
}

void CCanvas::span(int64_t y, int64_t x0, int64_t x1, uint32_t colour) {
    if (y < clip_.top || y >= clip_.bottom) return;
    x0 = std::max<int64_t>(x0, clip_.left);
    x1 = std::min<int64_t>(x1, clip_.right - 1);
    if (x0 > x1) return;
    surface_.will_change();
    uint32_t* row = surface_.surface.pixels.data() + size_t(y) * size_t(surface_.width);
    std::fill(row + x0, row + x1 + 1, colour_to_pixel(colour));
}

void CCanvas::brush_pixel(int64_t x, int64_t y) {
    brush_span(y, x, x);
}

void CCanvas::brush_span(int64_t y, int64_t x0, int64_t x1) {
    if (brush.style == brush_hollow) return;
    if (brush.style < brush_bdiagonal || brush.style > brush_vertical) {
        span(y, x0, x1, brush.colour);
        return;
    }
    if (y < clip_.top || y >= clip_.bottom) return;
    x0 = std::max<int64_t>(x0, clip_.left);
    x1 = std::min<int64_t>(x1, clip_.right - 1);
    const uint8_t bits = hatch_rows[brush.style - brush_bdiagonal][y & 7];
    if (!bits || x0 > x1) return;
    surface_.will_change();
    uint32_t* row = surface_.surface.pixels.data() + size_t(y) * size_t(surface_.width);
    const uint32_t p = colour_to_pixel(brush.colour);
    for (int64_t x = x0; x <= x1; ++x)
        if (bits & (0x80 >> (x & 7))) row[x] = p;
}

// Bresenham's line without its end point. A tie between two pixels goes to the upper one
// (mostly horizontal lines) or the left one (mostly vertical lines), so that a line covers
// the same pixels drawn in either direction.
void CCanvas::thin_line(RPoint p, RPoint q, uint32_t colour) {
    const int64_t dx = int64_t(q.x) - p.x, dy = int64_t(q.y) - p.y;
    const int64_t adx = std::llabs(dx), ady = std::llabs(dy);
    if (adx == 0 && ady == 0) return;
    const bool x_major = adx >= ady;
    const int64_t sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const int bias = x_major ? (dy < 0) : (dx < 0);
    const int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
    const int64_t m0 = x_major ? p.x : p.y, n0 = x_major ? p.y : p.x;
    const int64_t sm = x_major ? sx : sy, sn = x_major ? sy : sx;
    // Only the steps whose major coordinate lies in the clip rectangle are walked.
    const int64_t lo = x_major ? clip_.left : clip_.top,
                  hi = (x_major ? clip_.right : clip_.bottom) - 1;
    int64_t i0 = 0, i1 = major - 1;
    if (sm > 0) {
        i0 = std::max(i0, lo - m0), i1 = std::min(i1, hi - m0);
    } else {
        i0 = std::max(i0, m0 - hi), i1 = std::min(i1, m0 - lo);
    }
    for (int64_t i = i0; i <= i1; ++i) {
        const int64_t k =
            floor_div(__int128(2) * i * minor + major - 1 + bias, __int128(2) * major);
        const int64_t m = m0 + i * sm, n = n0 + k * sn;
        if (x_major)
            pixel(m, n, colour);
        else
            pixel(n, m, colour);
    }
}

// Fills a polygon (x, y pairs) with the alternate rule: the pixel (x, y) belongs to it when
// the point (x, y) is inside, points on a left or top edge counting as inside. Corners are
// taken to 1/256 of a pixel and crossings computed exactly.
void CCanvas::fill_area(std::span<const double> xy, bool use_brush, uint32_t colour) {
    const size_t n = xy.size() / 2;
    if (n < 3) return;
    constexpr int64_t unit = 256;
    constexpr double limit = double(far_away) * unit;
    std::vector<int64_t> v(n * 2);
    for (size_t i = 0; i < n * 2; ++i)
        v[i] = int64_t(std::llround(std::clamp(xy[i] * unit, -limit, limit)));
    int64_t ymin = v[1], ymax = v[1];
    for (size_t i = 1; i < n; ++i)
        ymin = std::min(ymin, v[i * 2 + 1]), ymax = std::max(ymax, v[i * 2 + 1]);
    const int64_t row0 = std::max<int64_t>(ceil_div(ymin, unit), clip_.top);
    const int64_t row1 = std::min<int64_t>(ceil_div(ymax, unit) - 1, clip_.bottom - 1);
    if (row0 > row1) return;
    struct Edge {
        int64_t x0, y0, x1, y1;
    };
    std::vector<Edge> edges;
    edges.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const size_t j = (i + 1) % n;
        int64_t x0 = v[i * 2], y0 = v[i * 2 + 1], x1 = v[j * 2], y1 = v[j * 2 + 1];
        if (y0 == y1) continue;
        if (y0 > y1) std::swap(x0, x1), std::swap(y0, y1);
        edges.push_back({x0, y0, x1, y1});
    }
    std::vector<int64_t> cross;
    for (int64_t py = row0; py <= row1; ++py) {
        const int64_t Y = py * unit;
        cross.clear();
        for (const Edge& e : edges) {
            if (Y < e.y0 || Y >= e.y1) continue;
            // The first pixel column at or right of the crossing.
            const __int128 num =
                __int128(e.x0) * (e.y1 - e.y0) + __int128(Y - e.y0) * (e.x1 - e.x0);
            cross.push_back(ceil_div(num, __int128(e.y1 - e.y0) * unit));
        }
        std::sort(cross.begin(), cross.end());
        for (size_t k = 0; k + 1 < cross.size(); k += 2) {
            if (cross[k] >= cross[k + 1]) continue;
            if (use_brush)
                brush_span(py, cross[k], cross[k + 1] - 1);
            else
                span(py, cross[k], cross[k + 1] - 1, colour);
        }
    }
}

// A pen wider than one pixel: a band of the pen's width along every segment, and a disc at
// each end of an open path and at each bend that the bands leave open. An even width lies half a
// pixel up and left of the path, so that a band of width w covers exactly w rows or columns.
void CCanvas::wide_stroke(std::span<const double> xy, bool closed) {
    const int32_t w = pen_width();
    const double half = w / 2.0, o = (w % 2) ? 0.0 : -0.5;
    struct P {
        double x, y;
        bool operator==(const P&) const = default;
    };
    std::vector<P> p;
    for (size_t i = 0; i + 1 < xy.size(); i += 2) {
        const P q{xy[i] + o, xy[i + 1] + o};
        if (p.empty() || !(p.back() == q)) p.push_back(q);
    }
    if (closed && p.size() > 1 && p.front() == p.back()) p.pop_back();
    const size_t n = p.size();
    if (n < 2) return; // a pen that does not move draws nothing
    const size_t segments = closed ? n : n - 1;
    for (size_t i = 0; i < segments; ++i) {
        const P a = p[i], b = p[(i + 1) % n];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        const double nx = -(b.y - a.y) / len * half, ny = (b.x - a.x) / len * half;
        const double quad[8] = {a.x + nx, a.y + ny, b.x + nx, b.y + ny,
                                b.x - nx, b.y - ny, a.x - nx, a.y - ny};
        fill_area(quad, false, pen.colour);
    }
    auto disc = [&](P c) {
        const int64_t y0 = std::max<int64_t>(int64_t(std::floor(c.y - half)), clip_.top);
        const int64_t y1 = std::min<int64_t>(int64_t(std::ceil(c.y + half)), clip_.bottom - 1);
        for (int64_t y = y0; y <= y1; ++y) {
            const double dy = double(y) - c.y, rest = half * half - dy * dy;
            if (rest < 0) continue;
            const double hw = std::sqrt(rest);
            span(y, int64_t(std::ceil(c.x - hw - 1e-9)), int64_t(std::floor(c.x + hw + 1e-9)),
                 pen.colour);
        }
    };
    for (size_t i = 0; i < n; ++i) {
        if (!closed && (i == 0 || i + 1 == n)) {
            disc(p[i]);
            continue;
        }
        // A bend leaves a gap on its outer side; a disc fills it when it is more than a
        // quarter of a pixel deep (never along a smooth curve drawn in short chords).
        const P a = p[(i + n - 1) % n], b = p[i], c = p[(i + 1) % n];
        const double ax = b.x - a.x, ay = b.y - a.y, bx = c.x - b.x, by = c.y - b.y;
        const double cosine = (ax * bx + ay * by) / (std::hypot(ax, ay) * std::hypot(bx, by));
        const double turn = std::acos(std::clamp(cosine, -1.0, 1.0));
        if (half * (1 - std::cos(turn / 2)) > 0.25) disc(b);
    }
}

void CCanvas::stroke_points(std::span<const RPoint> points, bool closed) {
    if (points.empty()) return;
    if (pen_width() > 1) {
        std::vector<double> xy;
        for (const RPoint& p : points) xy.push_back(p.x), xy.push_back(p.y);
        wide_stroke(xy, closed);
        return;
    }
    for (size_t i = 0; i + 1 < points.size(); ++i) thin_line(points[i], points[i + 1], pen.colour);
    if (closed && points.size() > 1) thin_line(points.back(), points.front(), pen.colour);
}

void CCanvas::convex(const Shape& shape, bool fill, bool outline) {
    const int64_t y0 = std::max<int64_t>(shape.top, clip_.top);
    const int64_t y1 = std::min<int64_t>(shape.bottom, clip_.bottom);
    for (int64_t y = y0; y < y1; ++y) {
        int64_t a = 0, b = 0;
        if (!shape.row(y, a, b)) continue;
        if (fill) brush_span(y, a, b);
        if (!outline) continue;
        int64_t runs[4];
        const int count = shape.outline(y, runs);
        for (int k = 0; k < count; ++k) span(y, runs[k * 2], runs[k * 2 + 1], pen.colour);
    }
}

void CCanvas::rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    order_box(left, top, right, bottom);
    if (left == right || top == bottom) return;
    const Shape box{top, bottom, [&](int64_t y, int64_t& a, int64_t& b) {
                        a = left, b = int64_t(right) - 1;
                        return y >= top && y < bottom;
                    }};
    convex(box, true, pen_width() <= 1);
    if (pen_width() > 1) {
        const RPoint corners[4] = {
            {left, top}, {right - 1, top}, {right - 1, bottom - 1}, {left, bottom - 1}};
        stroke_points(corners, true);
    }
}

namespace {

// Points of the ellipse through the centres of the box's outermost pixels, from parameter
// angle p0 over `sweep` (radians, counter-clockwise on the screen), appended to xy.
void ellipse_path(std::vector<double>& xy, double cx, double cy, double rx, double ry, double p0,
                  double sweep) {
    const double r = std::max({rx, ry, 1.0});
    // Enough points that the chords stay within a quarter of a pixel of the curve.
    const int steps = std::max(2, int(std::ceil(std::abs(sweep) / (2 * pi) *
                                                std::max(16.0, 1.5 * pi * std::sqrt(2 * r)))));
    for (int i = 0; i <= steps; ++i) {
        const double p = p0 + sweep * i / steps;
        xy.push_back(cx + rx * std::cos(p));
        xy.push_back(cy - ry * std::sin(p));
    }
}

} // namespace

void CCanvas::ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    order_box(left, top, right, bottom);
    if (left == right || top == bottom) return;
    convex(Shape::ellipse(left, top, right, bottom), true, pen_width() <= 1);
    if (pen_width() > 1) {
        std::vector<double> xy;
        ellipse_path(xy, (double(left) + right - 1) / 2, (double(top) + bottom - 1) / 2,
                     (double(right) - left - 1) / 2, (double(bottom) - top - 1) / 2, 0, 2 * pi);
        xy.resize(xy.size() - 2); // the last point repeats the first
        wide_stroke(xy, true);
    }
}

void CCanvas::round_rect(int32_t left, int32_t top, int32_t right, int32_t bottom,
                         int32_t corner_width, int32_t corner_height) {
    order_box(left, top, right, bottom);
    if (left == right || top == bottom) return;
    // Sizes in 64 bits: a box may span the whole 32-bit range, a corner may be INT32_MIN.
    const int64_t cw = std::min(std::abs(int64_t(corner_width)), int64_t(right) - left);
    const int64_t ch = std::min(std::abs(int64_t(corner_height)), int64_t(bottom) - top);
    if (cw == 0 || ch == 0) return rectangle(left, top, right, bottom);
    const Shape rounded{
        top, bottom, [&](int64_t y, int64_t& a, int64_t& b) {
            if (y < top || y >= bottom) return false;
            a = left;
            const double yc = double(y) + 0.5;
            // In the corner bands the row ends where the corner ellipse ends.
            int64_t ea = 0, eb = 0;
            if (yc < top + ch / 2.0) {
                if (!ellipse_row(left, top, double(left) + cw, double(top) + ch, y, ea, eb))
                    return false;
                a = ea;
            } else if (yc > bottom - ch / 2.0) {
                if (!ellipse_row(left, double(bottom) - ch, double(left) + cw, bottom, y, ea, eb))
                    return false;
                a = ea;
            }
            b = int64_t(left) + right - 1 - a;
            return a <= b;
        }};
    convex(rounded, true, pen_width() <= 1);
    if (pen_width() > 1) {
        // Four quarter ellipses joined by the straight sides.
        const double rx = (cw - 1) / 2.0, ry = (ch - 1) / 2.0;
        const double l = left + rx, r = right - 1 - rx, t = top + ry, b = bottom - 1 - ry;
        std::vector<double> xy;
        ellipse_path(xy, r, t, rx, ry, 0, pi / 2);
        ellipse_path(xy, l, t, rx, ry, pi / 2, pi / 2);
        ellipse_path(xy, l, b, rx, ry, pi, pi / 2);
        ellipse_path(xy, r, b, rx, ry, 3 * pi / 2, pi / 2);
        wide_stroke(xy, true);
    }
}

// kind 0 arc, 1 chord, 2 pie.
void CCanvas::curve(int32_t kind, int32_t left, int32_t top, int32_t right, int32_t bottom,
                    int32_t x3, int32_t y3, int32_t x4, int32_t y4) {
    order_box(left, top, right, bottom);
    if (left == right || top == bottom) return;
    const double cx = (double(left) + right) / 2, cy = (double(top) + bottom) / 2;
    const double rx = (double(right) - left) / 2, ry = (double(bottom) - top) / 2;
    // The two directions, y upwards (a point at the centre points right).
    double ux = x3 - cx, uy = cy - y3, vx = x4 - cx, vy = cy - y4;
    if (ux == 0 && uy == 0) ux = 1;
    if (vx == 0 && vy == 0) vx = 1;
    auto cross = [](double ax, double ay, double bx, double by) { return ax * by - ay * bx; };
    // Exact for whole-pixel points: the same direction twice is the whole ellipse.
    const bool whole = cross(ux, uy, vx, vy) == 0 && ux * vx + uy * vy > 0;
    const bool over_half = cross(ux, uy, vx, vy) < 0;
    const double start = wrap_angle(std::atan2(uy, ux));
    const double sweep = whole ? 2 * pi : wrap_angle(std::atan2(vy, vx) - start);
    // Whether a point lies in the part swept from the first direction to the second.
    auto in_sweep = [&](double x, double y) {
        const double px = x - cx, py = cy - y;
        if (whole) return true;
        if (!over_half) return cross(ux, uy, px, py) >= 0 && cross(px, py, vx, vy) >= 0;
        return !(cross(vx, vy, px, py) > 0 && cross(px, py, ux, uy) > 0);
    };
    // Where a direction meets the ellipse.
    auto meet = [&](double angle, double& x, double& y) {
        const double dx = std::cos(angle), dy = -std::sin(angle);
        const double t = 1 / std::sqrt((dx / rx) * (dx / rx) + (dy / ry) * (dy / ry));
        x = cx + t * dx, y = cy + t * dy;
    };
    double sx = 0, sy = 0, ex = 0, ey = 0;
    meet(start, sx, sy);
    meet(start + sweep, ex, ey);
    const Shape s = Shape::ellipse(left, top, right, bottom);
    // The outline pixel nearest the pixel that holds a point of the curve (so that a line
    // along a row or column boundary stays on one side of it).
    auto nearest = [&](double x, double y) {
        const int64_t tx = int64_t(std::floor(x)), ty = int64_t(std::floor(y));
        RPoint best{int32_t(tx), int32_t(ty)};
        // Squared distances in doubles: far-out shapes put the two points over 2^32 apart.
        double best_d = -1;
        for (int64_t row : {ty, ty - 1, ty + 1}) {
            int64_t runs[4];
            const int count = s.outline(row, runs);
            for (int k = 0; k < count; ++k) {
                const int64_t px = std::clamp(tx, runs[k * 2], runs[k * 2 + 1]);
                const double dx = double(px - tx), dy = double(row - ty);
                const double d = dx * dx + dy * dy;
                if (best_d < 0 || d < best_d) best_d = d, best = {int32_t(px), int32_t(row)};
            }
        }
        return best;
    };
    const RPoint ps = nearest(sx, sy), pe = nearest(ex, ey);
    // A chord keeps the side of the line between its end pixels where the arc's middle
    // lies, so that the fill meets the line drawn there.
    double mx = 0, my = 0;
    meet(start + sweep / 2, mx, my);
    auto side = [&](double x, double y) {
        return (double(pe.x) - ps.x) * (y - ps.y) - (double(pe.y) - ps.y) * (x - ps.x);
    };
    const bool mid_side = side(mx - 0.5, my - 0.5) >= 0;
    const int64_t y0 = std::max<int64_t>(top, clip_.top),
                  y1 = std::min<int64_t>(bottom, clip_.bottom);
    if (kind != 0 && brush.style != brush_hollow) {
        for (int64_t y = y0; y < y1; ++y) {
            int64_t a = 0, b = 0;
            if (!s.row(y, a, b)) continue;
            for (int64_t x = std::max<int64_t>(a, clip_.left);
                 x <= std::min<int64_t>(b, clip_.right - 1); ++x) {
                const bool inside = kind == 2
                                        ? in_sweep(double(x) + 0.5, double(y) + 0.5)
                                        : whole || (side(double(x), double(y)) >= 0) == mid_side;
                if (inside) brush_pixel(x, y);
            }
        }
    }
    if (pen_width() > 1) {
        // The path runs through the centres of the outermost pixels, as the ellipse's does.
        const double pcx = cx - 0.5, pcy = cy - 0.5, prx = rx - 0.5, pry = ry - 0.5;
        auto parameter = [&](double angle) {
            return std::atan2(prx * std::sin(angle), pry * std::cos(angle));
        };
        double p0 = parameter(start), p1 = parameter(start + sweep);
        double psweep = whole ? 2 * pi : wrap_angle(p1 - p0);
        if (psweep == 0) psweep = 2 * pi;
        std::vector<double> xy;
        ellipse_path(xy, pcx, pcy, prx, pry, p0, psweep);
        if (kind == 2) xy.push_back(std::floor(cx)), xy.push_back(std::floor(cy));
        wide_stroke(xy, kind != 0);
        return;
    }
    for (int64_t y = y0; y < y1; ++y) {
        int64_t runs[4];
        const int count = s.outline(y, runs);
        for (int k = 0; k < count; ++k)
            for (int64_t x = std::max<int64_t>(runs[k * 2], clip_.left);
                 x <= std::min<int64_t>(runs[k * 2 + 1], clip_.right - 1); ++x)
                if (in_sweep(double(x) + 0.5, double(y) + 0.5)) pixel(x, y, pen.colour);
    }
    pixel(ps.x, ps.y, pen.colour);
    pixel(pe.x, pe.y, pen.colour);
    if (kind == 1 && !whole) thin_line(pe, ps, pen.colour);
    if (kind == 2) {
        const RPoint c{int32_t(std::floor(cx)), int32_t(std::floor(cy))};
        thin_line(pe, c, pen.colour);
        thin_line(c, ps, pen.colour);
    }
}

void CCanvas::arc(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4,
                  int32_t y4) {
    curve(0, l, t, r, b, x3, y3, x4, y4);
}
void CCanvas::chord(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4,
                    int32_t y4) {
    curve(1, l, t, r, b, x3, y3, x4, y4);
}
void CCanvas::pie(int32_t l, int32_t t, int32_t r, int32_t b, int32_t x3, int32_t y3, int32_t x4,
                  int32_t y4) {
    curve(2, l, t, r, b, x3, y3, x4, y4);
}

void CCanvas::polygon(std::span<const RPoint> points) {
    if (points.empty()) return;
    std::vector<double> xy;
    xy.reserve(points.size() * 2);
    for (const RPoint& p : points) xy.push_back(p.x), xy.push_back(p.y);
    fill_area(xy, true, 0);
    stroke_points(points, true);
}

void CCanvas::polyline(std::span<const RPoint> points) {
    stroke_points(points, false);
}

void CCanvas::line(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const RPoint p[2] = {{x1, y1}, {x2, y2}};
    polyline(p);
}

void CCanvas::set_pixel(int32_t x, int32_t y, uint32_t colour) {
    pixel(x, y, colour);
}

int64_t CCanvas::get_pixel(int32_t x, int32_t y) const {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return -1;
    return surface_.get_pixel(x, y);
}

void CCanvas::flood_fill(int32_t x, int32_t y) {
    if (x < clip_.left || x >= clip_.right || y < clip_.top || y >= clip_.bottom) return;
    if (brush.style == brush_hollow) return;
    const int64_t w = clip_.width(), h = clip_.height();
    const uint32_t* px = surface_.surface.pixels.data();
    const size_t stride = size_t(surface_.width);
    const uint32_t colour = px[size_t(y) * stride + size_t(x)] & 0xFFFFFF;
    auto same = [&](int64_t cx, int64_t cy) {
        return (px[size_t(cy) * stride + size_t(cx)] & 0xFFFFFF) == colour;
    };
    // The area is found first (runs of a row at a time, with a stack of seeds, never
    // recursion), then painted, so a brush of the same colour cannot mislead the search.
    std::vector<uint8_t> in(size_t(w * h), 0);
    auto mark = [&](int64_t cx, int64_t cy) -> uint8_t& {
        return in[size_t((cy - clip_.top) * w + (cx - clip_.left))];
    };
    std::vector<RPoint> seeds{{x, y}};
    while (!seeds.empty()) {
        const RPoint s = seeds.back();
        seeds.pop_back();
        if (mark(s.x, s.y) || !same(s.x, s.y)) continue;
        int64_t a = s.x, b = s.x;
        while (a > clip_.left && !mark(a - 1, s.y) && same(a - 1, s.y)) --a;
        while (b < clip_.right - 1 && !mark(b + 1, s.y) && same(b + 1, s.y)) ++b;
        for (int64_t cx = a; cx <= b; ++cx) mark(cx, s.y) = 1;
        for (int64_t ny : {int64_t(s.y) - 1, int64_t(s.y) + 1}) {
            if (ny < clip_.top || ny >= clip_.bottom) continue;
            bool run = false;
            for (int64_t cx = a; cx <= b; ++cx) {
                const bool open = !mark(cx, ny) && same(cx, ny);
                if (open && !run) seeds.push_back({int32_t(cx), int32_t(ny)});
                run = open;
            }
        }
    }
    for (int64_t cy = clip_.top; cy < clip_.bottom; ++cy) {
        int64_t cx = clip_.left;
        while (cx < clip_.right) {
            if (!mark(cx, cy)) {
                ++cx;
                continue;
            }
            const int64_t a = cx;
            while (cx < clip_.right && mark(cx, cy)) ++cx;
            brush_span(cy, a, cx - 1);
        }
    }
}

CFont* CCanvas::current_font() {
    return fonts_ ? fonts_->font(font.spec) : nullptr;
}

int32_t CCanvas::text_width(std::string_view text) {
    CFont* f = current_font();
    return f ? f->text_width(text) : 0;
}

int32_t CCanvas::text_height(std::string_view) {
    CFont* f = current_font();
    return f ? f->metrics().height() : 0;
}

void CCanvas::text_out(int32_t x, int32_t y, std::string_view text, int32_t escapement) {
    CFont* f = current_font();
    if (!f || !surface_.exists()) return;
    const RFontMetrics m = f->metrics();
    const double a = escapement * pi / 1800, c = std::cos(a), s = std::sin(a);
    // The baseline starts the ascent below the cell's corner, "below" turned with the text.
    const double bx = x + m.ascent * s, by = y + m.ascent * c;
    const int32_t width = f->text_width(text);
    // A band of the text's own frame (u along the baseline, v down from it) on the screen.
    auto band = [&](double u0, double u1, double v0, double v1, bool use_brush, uint32_t colour) {
        auto at = [&](double u, double v, double* out) {
            out[0] = bx + u * c + v * s, out[1] = by - u * s + v * c;
        };
        double quad[8];
        at(u0, v0, quad), at(u1, v0, quad + 2), at(u1, v1, quad + 4), at(u0, v1, quad + 6);
        fill_area(quad, use_brush, colour);
    };
    if (brush.style == brush_solid) band(0, width, -m.ascent, m.descent, true, 0);
    const uint32_t ink = colour_to_pixel(font.colour);
    int64_t pen_at = 0;
    for (char ch : text) {
        const RGlyph& g = f->glyph(uint8_t(ch), escapement);
        const int64_t gx = std::llround(bx + double(pen_at) * c),
                      gy = std::llround(by - double(pen_at) * s);
        for (int32_t row = 0; row < g.height; ++row) {
            const int64_t py = gy + g.top + row;
            if (py < clip_.top || py >= clip_.bottom) continue;
            surface_.will_change();
            uint32_t* out = surface_.surface.pixels.data() + size_t(py) * size_t(surface_.width);
            const uint8_t* in = g.ink.data() + size_t(row) * size_t(g.width);
            for (int32_t col = 0; col < g.width; ++col) {
                const int64_t pxx = gx + g.left + col;
                if (in[col] && pxx >= clip_.left && pxx < clip_.right) out[pxx] = ink;
            }
        }
        pen_at += g.advance;
    }
    if (font.underline)
        band(0, width, m.underline_offset, m.underline_offset + m.underline_size, false,
             font.colour);
    if (font.strikeout)
        band(0, width, -m.strikeout_offset, -m.strikeout_offset + m.strikeout_size, false,
             font.colour);
}

std::vector<std::string_view> text_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t begin = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '#' && text[i] != '\r' && text[i] != '\n') continue;
        lines.push_back(text.substr(begin, i - begin));
        begin = i + 1;
    }
    lines.push_back(text.substr(begin));
    return lines;
}

std::vector<std::string_view> wrap_line(CCanvas& canvas, std::string_view line, int32_t w) {
    std::vector<std::string_view> words;
    for (size_t i = 0; i < line.size();) {
        size_t end = line.find_first_of(" -", i);
        end = end == std::string_view::npos ? line.size() : end + 1;
        words.push_back(line.substr(i, end - i));
        i = end;
    }
    std::vector<std::string_view> pieces;
    // Widths add up: text is drawn without kerning.
    for (size_t k = 0; k < words.size();) {
        const size_t begin = size_t(words[k].data() - line.data());
        size_t length = words[k].size();
        int64_t width = canvas.text_width(words[k++]);
        while (k < words.size() && width < w) {
            const int32_t next = canvas.text_width(words[k]);
            if (width + next > w) break;
            width += next;
            length += words[k++].size();
        }
        pieces.push_back(line.substr(begin, length));
    }
    return pieces;
}

void draw_text_block(CCanvas& canvas, double x, double y, std::string_view text, int32_t sep,
                     int32_t w, double angle, int32_t align) {
    if (sep < 0) sep = canvas.text_height("M");
    const double a = angle * pi / 180, s = std::sin(a), c = std::cos(a);
    const int32_t escapement = round_pixel(angle * 10);
    auto draw_one = [&](std::string_view line) {
        const int32_t width = canvas.text_width(line);
        const double shift = align == 1 ? -(width / 2) : align == 2 ? -width : 0;
        canvas.text_out(round_pixel(x + c * shift), round_pixel(y - s * shift), line, escapement);
    };
    auto next_line = [&] { x += s * sep, y += c * sep; };
    for (std::string_view line : text_lines(text)) {
        if (w < 0) {
            draw_one(line);
            next_line();
            continue;
        }
        if (line.empty()) continue;
        for (std::string_view piece : wrap_line(canvas, line, w)) {
            draw_one(piece);
            next_line();
        }
    }
}

void draw_caption(CFonts& fonts, DDSurface& buffer, const std::string& caption) {
    CCanvas canvas(buffer, &fonts);
    canvas.font.spec = {"Times New Roman", font_height_for_points(10), false, false};
    canvas.font.colour = 0;
    canvas.brush = {0xFFFFFF, brush_solid};
    canvas.text_out(0, 0, caption);
}

RCanvasFont canvas_font(const RDrawingState& state) {
    RCanvasFont f;
    f.spec.name = state.font_name;
    f.spec.height = font_height_for_points(state.font_size);
    f.spec.bold = state.font_style == 1 || state.font_style == 3;
    f.spec.italic = state.font_style == 2 || state.font_style == 3;
    f.colour = uint32_t(state.font_color);
    f.underline = state.font_underline;
    f.strikeout = state.font_strikeout;
    return f;
}

void CGraphicsGDI::set_target(DDSurface* target, int32_t x_offset, int32_t y_offset) {
    target_ = target;
    x_offset_ = x_offset;
    y_offset_ = y_offset;
}

std::optional<CCanvas> CGraphicsGDI::canvas(const RDrawingState& state) {
    if (!target_ || !target_->exists()) return std::nullopt;
    std::optional<CCanvas> c(std::in_place, *target_, &fonts_);
    c->pen = {uint32_t(state.pen_color), state.pen_size};
    c->brush = {uint32_t(state.brush_color), state.brush_style};
    c->font = canvas_font(state);
    return c;
}

} // namespace kelvane
