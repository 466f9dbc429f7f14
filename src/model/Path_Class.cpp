// Paths: the record, the computed polyline and the point at a position.
#include "model/Path_Class.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

bool CPath::read(CStream& s) {
    if (ReadInt(s) != 420) return false;
    kind = ReadInt(s);
    end = ReadInt(s);
    size_t at = s.file_offset();
    precision = ReadInt(s);
    if (kind != 0 && (precision < 0 || precision > max_precision))
        throw StreamError("impossible path precision " + std::to_string(precision), at);
    int32_t n = ReadCount(s, "path point count", 1 << 20, 24);
    if (kind != 0 && (size_t(n) << precision) > max_computed)
        throw StreamError("path would have too many computed points", at);
    points.resize(size_t(n));
    for (auto& p : points) {
        p.x = ReadReal(s);
        p.y = ReadReal(s);
        p.speed = ReadReal(s);
    }
    build();
    return true;
}

void CPath::write(CStream& s) const {
    WriteInt(s, 420);
    WriteInt(s, kind);
    WriteInt(s, end);
    WriteInt(s, precision);
    WriteInt(s, static_cast<int32_t>(points.size()));
    for (const auto& p : points) {
        WriteReal(s, p.x);
        WriteReal(s, p.y);
        WriteReal(s, p.speed);
    }
}

void CPath::clear() {
    points.clear();
    build();
}

namespace {

struct V3 {
    double x, y, s;
};
V3 mid(V3 a, V3 b) {
    return {(a.x + b.x) / 2, (a.y + b.y) / 2, (a.s + b.s) / 2};
}

void subdivide(std::vector<RComputedPoint>& out, V3 s, V3 k, V3 e, int32_t depth) {
    if (depth <= 0) return;
    V3 m{(s.x + 2 * k.x + e.x) / 4, (s.y + 2 * k.y + e.y) / 4, (s.s + 2 * k.s + e.s) / 4};
    subdivide(out, s, mid(s, k), m, depth - 1);
    out.push_back({m.x, m.y, m.s, 0});
    subdivide(out, m, mid(k, e), e, depth - 1);
}

} // namespace

void CPath::build() {
    computed.clear();
    length = 0;
    const size_t n = points.size();
    if (n == 0) return;
    auto P = [&](size_t k) {
        const RPathPoint& p = points[k % n];
        return V3{p.x, p.y, p.speed};
    };
    auto append = [&](V3 v) { computed.push_back({v.x, v.y, v.s, 0}); };
    if (kind == 0) {
        for (size_t i = 0; i < n; ++i) append(P(i));
        if (end == 2) append(P(0));
    } else {
        // Depths beyond the bound would only multiply points; they are refused on reading.
        const int32_t depth = std::clamp(precision, 0, max_precision);
        if (end != 2) append(P(0));
        size_t curves = end == 2 ? n : (n >= 2 ? n - 2 : 0);
        for (size_t i = 0; i < curves; ++i)
            subdivide(computed, mid(P(i), P(i + 1)), P(i + 1), mid(P(i + 1), P(i + 2)), depth);
        if (end != 2)
            append(P(n - 1));
        else
            computed.push_back(computed.front());
    }
    if (end == 3) {
        size_t m = computed.size();
        for (size_t k = m - 1; k-- > 0;) computed.push_back(computed[k]);
    }
    computed[0].length = 0;
    for (size_t i = 1; i < computed.size(); ++i)
        computed[i].length = computed[i - 1].length + std::hypot(computed[i].x - computed[i - 1].x,
                                                                 computed[i].y - computed[i - 1].y);
    length = computed.back().length;
}

RPathPoint CPath::point_at(double t) const {
    if (computed.empty()) return {0, 0, 100};
    const RComputedPoint& first = computed.front();
    const RComputedPoint& last = computed.back();
    if (computed.size() == 1 || length == 0) return {first.x, first.y, first.speed};
    double dx = 0, dy = 0;
    if (end == 4 && (t < 0 || t > 1)) {
        dx = std::floor(t) * (last.x - first.x);
        dy = std::floor(t) * (last.y - first.y);
    }
    if (end == 0) t = t < 0 ? 0 : (t > 1 ? 1 : t);
    if (t < 0 || t > 1) t = t - std::floor(t);
    if (t <= 0) return {first.x + dx, first.y + dy, first.speed};
    if (t >= 1) return {last.x + dx, last.y + dy, last.speed};
    double d = length * t;
    size_t i = 0;
    while (i + 2 < computed.size() && d >= computed[i + 1].length) ++i;
    const RComputedPoint& a = computed[i];
    const RComputedPoint& b = computed[i + 1];
    if (b.length == a.length) return {a.x + dx, a.y + dy, a.speed};
    double f = (d - a.length) / (b.length - a.length);
    return {a.x + dx + f * (b.x - a.x), a.y + dy + f * (b.y - a.y),
            a.speed + f * (b.speed - a.speed)};
}

} // namespace kelvane
