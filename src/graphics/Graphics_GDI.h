// The drawing state of the shape and text layer: pen, brush and font, set through the
// built-in variables and used by the drawing functions.
#pragma once

#include <cstdint>
#include <string>

namespace kelvane {

struct RDrawingState {
    int32_t pen_color = 0; // black
    int32_t pen_size = 1;
    int32_t brush_color = 16777215; // white
    int32_t brush_style = 1;        // solid
    int32_t font_color = 0;
    int32_t font_size = 12;
    int32_t font_style = 0; // normal
    double font_angle = 0;
    std::string font_name = "Arial";
    int32_t font_align = 0; // left
};

} // namespace kelvane
