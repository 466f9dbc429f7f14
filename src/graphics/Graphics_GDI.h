// The shape and text drawing layer: the drawing state (pen, brush, font) set through the
// built-in variables, a GDI-style canvas that draws shapes, pixels, flood fills and text
// into a surface the way the old graphics interface did (no anti-aliasing), and the layer
// that follows the selected port and keeps the polygon under construction.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "graphics/Graphics_DDraw.h"
#include "platform/Fonts.h"

namespace kelvane {

// Brush styles, numbered as the constants bs_hollow ... bs_vertical.
enum BrushStyle : int32_t {
    brush_hollow = 0,
    brush_solid = 1,
    brush_bdiagonal = 2,
    brush_fdiagonal = 3,
    brush_cross = 4,
    brush_diagcross = 5,
    brush_horizontal = 6,
    brush_vertical = 7,
};

struct RDrawingState {
    int32_t pen_color = 0; // black
    int32_t pen_size = 1;
    int32_t brush_color = 16777215; // white
    int32_t brush_style = brush_solid;
    int32_t font_color = 0;
    int32_t font_size = 12;
    int32_t font_style = 0; // 0 normal, 1 bold, 2 italic, 3 bold italic
    double font_angle = 0;
    std::string font_name = "Arial";
    int32_t font_align = 0; // 0 left, 1 centre, 2 right
    // Underline and strike-out: set by the font action only.
    bool font_underline = false, font_strikeout = false;
};

struct RPoint {
    int32_t x = 0, y = 0;
    bool operator==(const RPoint&) const = default;
};

struct RPen {
    uint32_t colour = 0; // a Windows colour
    int32_t width = 1;   // 0 or less draws as 1
};

struct RBrush {
    uint32_t colour = 0xFFFFFF;
    int32_t style = brush_solid;
};

struct RCanvasFont {
    RFontSpec spec;
    uint32_t colour = 0;
    bool underline = false, strikeout = false;
};

// A canvas on a surface: positions are surface pixels; nothing is drawn outside the
// surface's clip rectangle. Shapes follow the old graphics interface's rules:
// - rectangles, ellipses and rounded rectangles fill the box (left, top, right, bottom)
//   without its right column and bottom row, outlined with the pen on the box's edge;
// - lines leave out their end point; polygons are filled with the alternate rule and
//   outlined along every edge (so they do include their right and bottom edges);
// - a pen wider than 1 is centred on the outline with round ends and joins;
// - hatch brushes draw 8 x 8 patterns aligned to the surface's corner in the brush colour
//   and leave the pixels between the hatch lines alone.
class CCanvas {
  public:
    // Text needs `fonts` (the cache of the run); without it no text is drawn.
    CCanvas(DDSurface& surface, CFonts* fonts);

    RPen pen;
    RBrush brush;
    RCanvasFont font;

    void rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void round_rect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t corner_width,
                    int32_t corner_height);
    // The part of the ellipse in the box from the direction of (x3, y3) to that of (x4, y4),
    // seen from the box's centre, counter-clockwise; the same two directions give the whole
    // ellipse. An arc is only outlined; a chord is closed by a straight line, a pie by two
    // lines to the centre, and both are filled.
    void arc(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
             int32_t x4, int32_t y4);
    void chord(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
               int32_t x4, int32_t y4);
    void pie(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
             int32_t x4, int32_t y4);
    void polygon(std::span<const RPoint> points);
    // Lines from point to point with the pen (the last point left out for a thin pen).
    void polyline(std::span<const RPoint> points);
    void line(int32_t x1, int32_t y1, int32_t x2, int32_t y2);

    void set_pixel(int32_t x, int32_t y, uint32_t colour);
    // The colour of the pixel, or -1 outside the clip rectangle.
    int64_t get_pixel(int32_t x, int32_t y) const;
    // Fills with the brush the 4-connected area, inside the clip rectangle, of pixels that
    // have the colour of the pixel at (x, y).
    void flood_fill(int32_t x, int32_t y);

    // One line of Windows-1252 text: (x, y) is the top-left corner of its cell, the text is
    // turned around that point by `escapement` tenths of a degree counter-clockwise. A solid
    // brush paints the cell behind upright text; other brushes leave the background.
    void text_out(int32_t x, int32_t y, std::string_view text, int32_t escapement = 0);
    // The size of the text's cell in the canvas font (0 when no font can be had).
    int32_t text_width(std::string_view text);
    int32_t text_height(std::string_view text);

    const RRect& clip() const { return clip_; }

  private:
    DDSurface& surface_;
    CFonts* fonts_;
    RRect clip_;

    struct Shape;
    void pixel(int64_t x, int64_t y, uint32_t colour);
    void span(int64_t y, int64_t x0, int64_t x1, uint32_t colour);
    void brush_pixel(int64_t x, int64_t y);
    void brush_span(int64_t y, int64_t x0, int64_t x1);
    void thin_line(RPoint a, RPoint b, uint32_t colour);
    void wide_stroke(std::span<const double> xy, bool closed);
    void stroke_points(std::span<const RPoint> points, bool closed);
    void fill_area(std::span<const double> xy, bool brush, uint32_t colour);
    void convex(const Shape& shape, bool fill, bool outline);
    void curve(int32_t kind, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3,
               int32_t y3, int32_t x4, int32_t y4);
    int32_t pen_width() const { return pen.width > 1 ? pen.width : 1; }
    CFont* current_font();
};

// The lines of a text: cut at every "#", carriage return and line feed, each of which
// ends a line (so CR LF gives an empty line between).
std::vector<std::string_view> text_lines(std::string_view text);
// The pieces a line is drawn in at width w: a word runs up to and including the first
// blank or hyphen; a piece is one word, with more added while it is narrower than w and
// the next word still fits.
std::vector<std::string_view> wrap_line(CCanvas& canvas, std::string_view line, int32_t w);

// Draws a text of several lines at (x, y) in the canvas font: lines `sep` apart (the
// height of "M" when sep < 0), wrapped at width w when w >= 0, turned by `angle` degrees
// and aligned 0 left, 1 centred, 2 right on (x, y).
void draw_text_block(CCanvas& canvas, double x, double y, std::string_view text, int32_t sep,
                     int32_t w, double angle, int32_t align);

// The caption drawn inside the picture when the window shows none: black Times New Roman
// of 10 points on white at the buffer's corner.
void draw_caption(CFonts& fonts, DDSurface& buffer, const std::string& caption);

// The drawing layer of the shape and text functions: it draws into the selected port's
// surface with that port's offsets, makes canvases with the drawing state, keeps the
// polygon under construction and the run's font cache.
class CGraphicsGDI : public DrawingLayer {
  public:
    static constexpr size_t max_polygon_points = 1024;

    void set_target(DDSurface* target, int32_t x_offset, int32_t y_offset) override;
    DDSurface* target() const { return target_; }
    int32_t x_offset() const { return x_offset_; }
    int32_t y_offset() const { return y_offset_; }
    CFonts& fonts() { return fonts_; }

    // A canvas on the target with the state's pen, brush and font; none without a target.
    std::optional<CCanvas> canvas(const RDrawingState& state);

    std::vector<RPoint> polygon;
    // Set while screen_redraw draws the room, whose draw events must not start another.
    bool redrawing = false;

  private:
    DDSurface* target_ = nullptr;
    int32_t x_offset_ = 0, y_offset_ = 0;
    CFonts fonts_;
};

// The font of the drawing state.
RCanvasFont canvas_font(const RDrawingState& state);

} // namespace kelvane
