// The drawing family of built-in functions: colours, screen redraw and refresh, gamma,
// pixels, flood fill, lines, shapes, polygons, buttons and text in the drawing state's
// pen, brush and font, at room positions in the selected port.
#pragma once

#include <span>
#include <string>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> drawing_functions();

// A value as the text functions draw it: a string as it is, a whole number as an integer,
// any other number with two decimals.
std::string drawn_text(const RValue& value);

// Draws a text block (lines cut at "#", CR and LF; wrapped at w when w >= 0; sep < 0 is
// the height of "M") at a room position in the drawing state's font, angle and
// alignment, without a background.
void draw_text_at(Runtime& rt, double x, double y, const std::string& text, int32_t sep, int32_t w);

// A rectangle, an ellipse in that box, or a line between the two corners, at room
// positions in the drawing state's pen and brush.
enum class BoxShape { rectangle, ellipse, line };
void draw_box_shape(Runtime& rt, BoxShape shape, double x1, double y1, double x2, double y2);

} // namespace kelvane
