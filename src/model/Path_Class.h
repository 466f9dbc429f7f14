// A path: control points joined by straight lines or a smooth curve, turned into the
// polyline of computed points that instances follow, with a rule for its end.
#pragma once

#include <cstdint>
#include <vector>

#include "stream/Support_Stream.h"

namespace kelvane {

struct RPathPoint {
    double x = 0, y = 0, speed = 100;
};

struct RComputedPoint {
    double x = 0, y = 0, speed = 100, length = 0;
};

class CPath {
  public:
    std::vector<RPathPoint> points;
    int32_t kind = 0;      // 0 straight, otherwise smooth
    int32_t end = 2;       // 0 stop, 1 restart, 2 closed, 3 return, 4 continue
    int32_t precision = 4; // subdivision depth of smooth curves
    std::vector<RComputedPoint> computed;
    double length = 0;

    // Largest subdivision depth and number of computed points accepted.
    static constexpr int32_t max_precision = 12;
    static constexpr size_t max_computed = size_t(1) << 20;

    CPath() { build(); }
    // Reads the record and builds the computed points; false for a wrong version.
    bool read(CStream& s);
    void write(CStream& s) const;
    void clear();
    // Rebuilds the computed points and the length from the control points.
    void build();
    // The point at a position (0 start, 1 end; beyond follows the end rule).
    RPathPoint point_at(double t) const;
    double speed_at(double t) const { return point_at(t).speed; }
};

} // namespace kelvane
