// The GDI-style canvas: box shapes without their right column and bottom row, lines
// without their end point and the same either way, polygons by the alternate rule, arcs,
// chords and pies, hatch brushes, wide pens, clipping, flood fill; and text: the font
// found by its Windows name, the cell it is drawn in, alignment, wrapping and turning.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <span>

#include "Pixel_Art.h"
#include "graphics/Graphics_GDI.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

CCanvas canvas_on(DDSurface& s, char pen = 'r', char brush = 'g', int32_t width = 1,
                  int32_t style = brush_solid, CFonts* fonts = nullptr) {
    CCanvas c(s, fonts);
    c.pen = {colour_of(pen), width};
    c.brush = {colour_of(brush), style};
    return c;
}

using PixelSet = std::set<std::pair<int32_t, int32_t>>;

PixelSet pixels_of(const DDSurface& s, char colour) {
    PixelSet out;
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x)
            if (s.get_pixel(x, y) == colour_of(colour)) out.insert({x, y});
    return out;
}

// The smallest box (left, top, right, bottom, all inclusive) around the pixels that are
// not black; all -1 when there are none.
RRect ink_box(const DDSurface& s) {
    RRect box{-1, -1, -1, -1};
    for (int32_t y = 0; y < s.height; ++y)
        for (int32_t x = 0; x < s.width; ++x) {
            if (s.get_pixel(x, y) == 0) continue;
            if (box.left < 0) box = {x, y, x, y};
            box.left = std::min(box.left, x), box.right = std::max(box.right, x);
            box.top = std::min(box.top, y), box.bottom = std::max(box.bottom, y);
        }
    return box;
}

} // namespace

TEST(Canvas, RectangleLeavesOutItsRightColumnAndBottomRow) {
    DDSurface s = blank(8, 6);
    canvas_on(s).rectangle(1, 1, 6, 5);
    const Rows expected{"........", ".rrrrr..", ".rgggr..", ".rgggr..", ".rrrrr..", "........"};
    EXPECT_EQ(rows_of(s), expected);
    // Corners given the other way round make the same box; a hollow brush only outlines.
    DDSurface t = blank(8, 6);
    canvas_on(t).rectangle(6, 5, 1, 1);
    EXPECT_EQ(rows_of(t), expected);
    DDSurface u = blank(8, 6);
    canvas_on(u, 'r', 'g', 1, brush_hollow).rectangle(1, 1, 6, 5);
    EXPECT_EQ(rows_of(u),
              (Rows{"........", ".rrrrr..", ".r...r..", ".r...r..", ".rrrrr..", "........"}));
    // A box without width or height draws nothing.
    DDSurface v = blank(4, 4);
    canvas_on(v).rectangle(1, 1, 1, 3);
    EXPECT_EQ(ink_box(v).left, -1);
}

TEST(Canvas, WidePensAreCentredOnTheOutlineAndWidthZeroDrawsAsOne) {
    DDSurface s = blank(10, 10);
    canvas_on(s, 'r', 'g', 3).rectangle(2, 2, 8, 8);
    EXPECT_EQ(rows_of(s),
              (Rows{"..........", ".rrrrrrrr.", ".rrrrrrrr.", ".rrrrrrrr.", ".rrrggrrr.",
                    ".rrrggrrr.", ".rrrrrrrr.", ".rrrrrrrr.", ".rrrrrrrr.", ".........."}));
    // An even width puts its extra row above; round ends reach past both end points.
    DDSurface line = blank(9, 5);
    canvas_on(line, 'r', 'g', 2).line(2, 3, 7, 3);
    EXPECT_EQ(rows_of(line),
              (Rows{".........", ".........", ".rrrrrrr.", ".rrrrrrr.", "........."}));
    DDSurface zero = blank(8, 6), one = blank(8, 6);
    canvas_on(zero, 'r', 'g', 0).rectangle(1, 1, 6, 5);
    canvas_on(one, 'r', 'g', 1).rectangle(1, 1, 6, 5);
    EXPECT_EQ(rows_of(zero), rows_of(one));
}

TEST(Canvas, ThinLinesLeaveOutTheEndPointAndCoverTheSamePixelsEitherWay) {
    struct Case {
        RPoint a, b;
        PixelSet expected;
    };
    const Case cases[] = {
        {{0, 0}, {4, 2}, {{0, 0}, {1, 0}, {2, 1}, {3, 1}}},
        {{4, 2}, {0, 0}, {{4, 2}, {3, 1}, {2, 1}, {1, 0}}},
        {{1, 0}, {1, 3}, {{1, 0}, {1, 1}, {1, 2}}},
        {{3, 3}, {0, 0}, {{3, 3}, {2, 2}, {1, 1}}},
        {{2, 2}, {2, 2}, {}},
    };
    for (const Case& c : cases) {
        DDSurface s = blank(6, 6);
        canvas_on(s).line(c.a.x, c.a.y, c.b.x, c.b.y);
        EXPECT_EQ(pixels_of(s, 'r'), c.expected)
            << c.a.x << "," << c.a.y << " to " << c.b.x << "," << c.b.y;
    }
    std::mt19937 random(7);
    std::uniform_int_distribution<int32_t> at(0, 23);
    for (int i = 0; i < 400; ++i) {
        const RPoint a{at(random), at(random)}, b{at(random), at(random)};
        DDSurface forth = blank(24, 24), back = blank(24, 24);
        canvas_on(forth).line(a.x, a.y, b.x, b.y);
        canvas_on(back).line(b.x, b.y, a.x, a.y);
        PixelSet f = pixels_of(forth, 'r'), r = pixels_of(back, 'r');
        if (!(a == b)) {
            EXPECT_TRUE(f.count({a.x, a.y}) && !f.count({b.x, b.y}));
            EXPECT_EQ(f.size(), size_t(std::max(std::abs(a.x - b.x), std::abs(a.y - b.y))));
        }
        f.insert({b.x, b.y}), r.insert({a.x, a.y});
        EXPECT_EQ(f, r) << a.x << "," << a.y << " - " << b.x << "," << b.y;
    }
}

TEST(Canvas, LinesFarOutsideAreClippedToTheSurface) {
    DDSurface s = blank(10, 4);
    canvas_on(s).line(-1000000000, 2, 1000000000, 2);
    canvas_on(s).line(3, -1000000000, 3, 1000000000);
    EXPECT_EQ(rows_of(s), (Rows{"...r......", "...r......", "rrrrrrrrrr", "...r......"}));
}

TEST(Canvas, PolygonsAreFilledByTheAlternateRuleAndOutlinedOnEveryEdge) {
    DDSurface s = blank(7, 7);
    const RPoint triangle[3] = {{0, 0}, {5, 0}, {0, 5}};
    canvas_on(s, 'r', 'g').polygon(triangle);
    // The outline runs through every corner, the right and bottom ones included.
    EXPECT_EQ(rows_of(s),
              (Rows{"rrrrrr.", "rgggr..", "rggr...", "rgr....", "rr.....", "r......", "......."}));
    // A five-pointed star drawn in one stroke leaves its middle empty.
    DDSurface star = blank(21, 21);
    const RPoint points[5] = {{10, 0}, {16, 20}, {0, 7}, {20, 7}, {4, 20}};
    canvas_on(star, 'r', 'g').polygon(points);
    EXPECT_EQ(star.get_pixel(10, 11), 0u);
    EXPECT_EQ(star.get_pixel(10, 4), colour_of('g'));
    EXPECT_EQ(star.get_pixel(3, 8), colour_of('g'));
}

TEST(Canvas, EllipsesFillTheirBoxSymmetricallyInsideAClosedOutline) {
    const RRect boxes[] = {{0, 0, 21, 11}, {3, 2, 13, 12}, {1, 1, 41, 8}, {0, 0, 2, 2},
                           {2, 0, 3, 9},   {0, 0, 4, 4},   {5, 5, 30, 29}};
    for (const RRect& b : boxes) {
        SCOPED_TRACE(::testing::Message()
                     << b.left << "," << b.top << "," << b.right << "," << b.bottom);
        DDSurface s = blank(45, 35);
        canvas_on(s).ellipse(b.left, b.top, b.right, b.bottom);
        EXPECT_EQ(ink_box(s), (RRect{b.left, b.top, b.right - 1, b.bottom - 1}));
        for (int32_t y = 0; y < s.height; ++y)
            for (int32_t x = 0; x < s.width; ++x) {
                const uint32_t p = s.get_pixel(x, y);
                if (x >= b.left && x < b.right && y >= b.top && y < b.bottom) {
                    EXPECT_EQ(p, s.get_pixel(b.left + b.right - 1 - x, y));
                    EXPECT_EQ(p, s.get_pixel(x, b.top + b.bottom - 1 - y));
                }
                // The fill never touches the outside.
                if (p != colour_of('g')) continue;
                for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}})
                    EXPECT_NE(s.get_pixel(x + dx, y + dy), 0u) << x << "," << y;
            }
        if (b.width() >= 3 && b.height() >= 3) {
            EXPECT_EQ(s.get_pixel((b.left + b.right) / 2, (b.top + b.bottom) / 2), colour_of('g'));
        }
    }
}

TEST(Canvas, RoundRectanglesCutTheirCornersWithTheCornerEllipse) {
    DDSurface s = blank(32, 22);
    canvas_on(s).round_rect(1, 1, 31, 21, 10, 10);
    EXPECT_EQ(ink_box(s), (RRect{1, 1, 30, 20}));
    for (auto [x, y] : {std::pair{1, 1}, {30, 1}, {1, 20}, {30, 20}, {2, 1}, {1, 2}})
        EXPECT_EQ(s.get_pixel(x, y), 0u) << x << "," << y;
    for (auto [x, y] : {std::pair{16, 1}, {1, 11}, {30, 11}, {16, 20}, {6, 1}, {1, 6}})
        EXPECT_EQ(s.get_pixel(x, y), colour_of('r')) << x << "," << y;
    EXPECT_EQ(s.get_pixel(16, 11), colour_of('g'));
    // A corner larger than the box is the box's own ellipse.
    DDSurface big = blank(32, 22), ellipse = blank(32, 22);
    canvas_on(big).round_rect(1, 1, 31, 21, 100, 100);
    canvas_on(ellipse).ellipse(1, 1, 31, 21);
    EXPECT_EQ(rows_of(big), rows_of(ellipse));
}

TEST(Canvas, ArcsChordsAndPiesRunCounterClockwiseFromTheFirstDirection) {
    // The circle in (0, 0, 40, 40), from the right (0 degrees) to the top (90 degrees).
    DDSurface pie = blank(41, 41), chord = blank(41, 41), arc = blank(41, 41);
    canvas_on(pie).pie(0, 0, 40, 40, 40, 20, 20, 0);
    canvas_on(chord).chord(0, 0, 40, 40, 40, 20, 20, 0);
    canvas_on(arc).arc(0, 0, 40, 40, 40, 20, 20, 0);
    // The pie: the upper right quarter, with lines to the centre.
    EXPECT_EQ(pie.get_pixel(30, 10), colour_of('g'));
    EXPECT_EQ(pie.get_pixel(20, 10), colour_of('r'));
    EXPECT_EQ(pie.get_pixel(30, 20), colour_of('r'));
    for (auto [x, y] : {std::pair{10, 10}, {30, 30}, {10, 30}, {30, 21}})
        EXPECT_EQ(pie.get_pixel(x, y), 0u) << x << "," << y;
    // The chord: only the part beyond the line between the two ends.
    EXPECT_EQ(chord.get_pixel(33, 7), colour_of('g'));
    EXPECT_EQ(chord.get_pixel(25, 15), 0u);
    EXPECT_EQ(chord.get_pixel(29, 10), colour_of('r')); // on the closing line
    // The arc: only the curve of that quarter, no fill.
    EXPECT_TRUE(pixels_of(arc, 'g').empty());
    for (auto [x, y] : pixels_of(arc, 'r')) EXPECT_TRUE(x >= 19 && y <= 20) << x << "," << y;
    EXPECT_EQ(arc.get_pixel(39, 20), colour_of('r'));
    EXPECT_EQ(arc.get_pixel(20, 0), colour_of('r'));
    // The other way round: the three other quarters.
    DDSurface rest = blank(41, 41);
    canvas_on(rest).pie(0, 0, 40, 40, 20, 0, 40, 20);
    EXPECT_EQ(rest.get_pixel(10, 10), colour_of('g'));
    EXPECT_EQ(rest.get_pixel(30, 10), 0u);
    // The same direction twice is the whole ellipse.
    DDSurface whole = blank(41, 41), ellipse = blank(41, 41);
    canvas_on(whole, 'r', 'g', 1, brush_hollow).arc(0, 0, 40, 40, 40, 20, 40, 20);
    canvas_on(ellipse, 'r', 'g', 1, brush_hollow).ellipse(0, 0, 40, 40);
    EXPECT_EQ(rows_of(whole), rows_of(ellipse));
}

TEST(Canvas, HatchBrushesRepeatFromTheSurfaceCornerAndLeaveTheRestAlone) {
    struct Case {
        int32_t style;
        bool (*hatched)(int32_t x, int32_t y);
    };
    const Case cases[] = {
        {brush_horizontal, [](int32_t, int32_t y) { return y % 8 == 3; }},
        {brush_vertical, [](int32_t x, int32_t) { return x % 8 == 4; }},
        {brush_fdiagonal, [](int32_t x, int32_t y) { return x % 8 == y % 8; }},
        {brush_bdiagonal, [](int32_t x, int32_t y) { return (x + y) % 8 == 7; }},
        {brush_cross, [](int32_t x, int32_t y) { return x % 8 == 4 || y % 8 == 3; }},
        {brush_diagcross, [](int32_t x, int32_t y) { return x % 8 == y % 8 || (x + y) % 8 == 7; }},
    };
    for (const Case& c : cases) {
        DDSurface s = blank(19, 17);
        canvas_on(s, 'r', 'b', 1, c.style).flood_fill(5, 5);
        for (int32_t y = 0; y < s.height; ++y)
            for (int32_t x = 0; x < s.width; ++x)
                EXPECT_EQ(s.get_pixel(x, y), c.hatched(x, y) ? colour_of('b') : 0u)
                    << "style " << c.style << " at " << x << "," << y;
    }
}

TEST(Canvas, DrawingStaysInsideTheClipRectangle) {
    DDSurface s = blank(30, 30);
    s.clip = {10, 10, 20, 20};
    CCanvas c = canvas_on(s);
    c.rectangle(0, 0, 30, 30);
    c.line(0, 15, 30, 15);
    c.set_pixel(5, 5, colour_of('b'));
    EXPECT_EQ(ink_box(s), (RRect{10, 10, 19, 19}));
    EXPECT_EQ(s.get_pixel(10, 10), colour_of('g'));
    EXPECT_EQ(s.get_pixel(12, 15), colour_of('r'));
    EXPECT_EQ(c.get_pixel(5, 5), -1);
    EXPECT_EQ(c.get_pixel(19, 19), int64_t(colour_of('g')));
}

TEST(Canvas, FloodFillTakesTheFourConnectedAreaOfOneColour) {
    DDSurface s = surface_of({".r......", "r.rrrrr.", ".r.r..r.", "..rr..r.", "...rrrr."});
    CCanvas c = canvas_on(s, 'r', 'g');
    c.flood_fill(1, 1); // walled in on four sides; its corners touch the outside
    c.flood_fill(4, 2);
    EXPECT_EQ(rows_of(s), (Rows{".r......", "rgrrrrr.", ".r.rggr.", "..rrggr.", "...rrrr."}));
    // A brush of the area's own colour changes nothing and ends.
    DDSurface same = surface_of({"....", ".rr.", "...."});
    canvas_on(same, 'r', 'g').flood_fill(0, 0);
    canvas_on(same, 'r', 'r').flood_fill(1, 1);
    EXPECT_EQ(rows_of(same), (Rows{"gggg", "grrg", "gggg"}));
    // Only inside the clip rectangle, and not at all from a point outside it.
    DDSurface clipped = blank(6, 3);
    clipped.clip = {2, 0, 4, 3};
    canvas_on(clipped, 'r', 'g').flood_fill(3, 1);
    canvas_on(clipped, 'r', 'b').flood_fill(0, 1);
    EXPECT_EQ(rows_of(clipped), (Rows{"..gg..", "..gg..", "..gg.."}));
}

// ---- text ----

class Text : public ::testing::Test {
  protected:
    CFonts fonts;
    DDSurface s = blank(200, 120);

    CCanvas writer(const char* name = "Arial", int32_t points = 12) {
        CCanvas c = canvas_on(s, 'r', 'g', 1, brush_hollow, &fonts);
        c.font.spec = {name, font_height_for_points(points), false, false};
        c.font.colour = colour_of('w');
        return c;
    }
    void SetUp() override {
        ASSERT_NE(fonts.font({"Arial", -16, false, false}), nullptr)
            << "the Liberation fonts are needed (scripts/install-deps)";
    }
};

TEST_F(Text, WindowsFaceNamesFindTheirMetricCompatibleFonts) {
    EXPECT_EQ(CFonts::family_for("ARIAL"), "Liberation Sans");
    EXPECT_EQ(CFonts::family_for("Times New Roman"), "Liberation Serif");
    EXPECT_EQ(CFonts::family_for("courier new"), "Liberation Mono");
    EXPECT_EQ(CFonts::family_for("Verdana"), "Verdana");
    struct Case {
        RFontSpec spec;
        const char* file;
    };
    const Case cases[] = {
        {{"Arial", -16, false, false}, "LiberationSans-Regular"},
        {{"arial", -16, true, false}, "LiberationSans-Bold."},
        {{"Arial", -16, true, true}, "LiberationSans-BoldItalic"},
        {{"Times New Roman", -13, false, true}, "LiberationSerif-Italic"},
        {{"Courier New", -13, false, false}, "LiberationMono-Regular"},
    };
    for (const Case& c : cases) {
        CFont* f = fonts.font(c.spec);
        ASSERT_NE(f, nullptr);
        EXPECT_NE(f->file().find(c.file), std::string::npos) << f->file();
    }
    // Any other name gets fontconfig's best match.
    EXPECT_NE(fonts.font({"No Such Face At All", -16, false, false}), nullptr);
    EXPECT_EQ(font_height_for_points(12), -16);
    EXPECT_EQ(font_height_for_points(10), -13);
    EXPECT_EQ(font_height_for_points(11), -15);
    EXPECT_EQ(font_height_for_points(-12), 16);
}

TEST_F(Text, TextSitsInItsCellBelowAndRightOfThePoint) {
    CCanvas c = writer();
    const int32_t w = c.text_width("Hxg"), h = c.text_height("Hxg");
    CFont* f = fonts.font(c.font.spec);
    EXPECT_EQ(h, f->metrics().ascent + f->metrics().descent);
    EXPECT_GE(h, 16);
    EXPECT_LE(h, 20);
    EXPECT_EQ(w, c.text_width("H") + c.text_width("x") + c.text_width("g"));
    EXPECT_EQ(c.text_width(""), 0);
    c.text_out(10, 20, "Hxg");
    const RRect ink = ink_box(s);
    EXPECT_GE(ink.left, 10);
    EXPECT_LT(ink.right, 10 + w);
    EXPECT_GE(ink.top, 20);
    EXPECT_LT(ink.bottom, 20 + h);
    // "g" reaches below the baseline, "H" stands on it.
    EXPECT_GT(ink.bottom, 20 + f->metrics().ascent - 1);
    for (const auto& [x, y] : pixels_of(s, 'w')) EXPECT_TRUE(x >= 10 && y >= 20);
    EXPECT_TRUE(pixels_of(s, 'g').empty()) << "no background box with a hollow brush";
}

TEST_F(Text, ASolidBrushPaintsTheCellBehindTheText) {
    CCanvas c = writer();
    c.brush = {colour_of('b'), brush_solid};
    const int32_t w = c.text_width("Hi"), h = c.text_height("Hi");
    c.text_out(10, 20, "Hi");
    EXPECT_EQ(ink_box(s), (RRect{10, 20, 10 + w - 1, 20 + h - 1}));
    EXPECT_EQ(s.get_pixel(10, 20), colour_of('b'));
    EXPECT_FALSE(pixels_of(s, 'w').empty());
}

TEST_F(Text, UnderlineAndStrikeOutRunTheWholeWidth) {
    CCanvas c = writer();
    c.font.underline = true;
    c.font.strikeout = true;
    const int32_t w = c.text_width("a b");
    const RFontMetrics m = fonts.font(c.font.spec)->metrics();
    c.text_out(10, 20, "a b");
    const int32_t baseline = 20 + m.ascent;
    for (int32_t x = 10; x < 10 + w; ++x) {
        EXPECT_EQ(s.get_pixel(x, baseline + m.underline_offset), colour_of('w')) << x;
        EXPECT_EQ(s.get_pixel(x, baseline - m.strikeout_offset), colour_of('w')) << x;
    }
    EXPECT_EQ(s.get_pixel(10 + w, baseline + m.underline_offset), 0u);
    EXPECT_GE(m.underline_offset, 0);
    EXPECT_GT(m.strikeout_offset, 0);
}

TEST_F(Text, TurnedTextRunsUpwardsAt90Degrees) {
    CCanvas c = writer();
    const int32_t w = c.text_width("HHHH"), h = c.text_height("HHHH");
    c.text_out(30, 100, "HHHH", 900);
    const RRect ink = ink_box(s);
    // The cell turns about its top-left corner: "down" becomes "right", the text goes up.
    EXPECT_GE(ink.left, 30);
    EXPECT_LT(ink.right, 30 + h + 1);
    EXPECT_LE(ink.bottom, 100);
    EXPECT_GE(ink.top, 100 - w - 1);
    EXPECT_GT(ink.bottom - ink.top, w - 4);
    EXPECT_LT(ink.right - ink.left, h);
}

TEST_F(Text, CharactersAreWindows1252) {
    CCanvas c = writer();
    // e acute, the euro sign and the right single quote have their own glyphs.
    for (const char* t : {"\xE9", "\x80", "\x92"}) {
        s.fill(0);
        c.text_out(10, 10, t);
        EXPECT_NE(ink_box(s).left, -1) << int(uint8_t(t[0]));
        EXPECT_GT(c.text_width(t), 0);
    }
}

TEST(TextLayout, LinesEndAtEveryHashCarriageReturnAndLineFeed) {
    using V = std::vector<std::string_view>;
    EXPECT_EQ(text_lines("a#b\r\nc"), (V{"a", "b", "", "c"}));
    EXPECT_EQ(text_lines("one"), (V{"one"}));
    EXPECT_EQ(text_lines(""), (V{""}));
    EXPECT_EQ(text_lines("#\n"), (V{"", "", ""}));
}

TEST_F(Text, WrappingTakesWordsUpToAndIncludingABlankOrHyphen) {
    CCanvas c = writer();
    using V = std::vector<std::string_view>;
    EXPECT_EQ(wrap_line(c, "aaa bbb ccc", c.text_width("aaa bbb ")), (V{"aaa bbb ", "ccc"}));
    EXPECT_EQ(wrap_line(c, "aaa bbb cccc", c.text_width("aaa bbb")), (V{"aaa ", "bbb ", "cccc"}));
    // A word wider than the width stands alone on its line.
    EXPECT_EQ(wrap_line(c, "aaaaaaaaaa bb", 5), (V{"aaaaaaaaaa ", "bb"}));
    EXPECT_EQ(wrap_line(c, "well-known fact", c.text_width("well-")),
              (V{"well-", "known ", "fact"}));
    EXPECT_EQ(wrap_line(c, "x y", 1000), (V{"x y"}));
    // A piece already as wide as the width takes no more.
    EXPECT_EQ(wrap_line(c, "ab c", c.text_width("ab ")), (V{"ab ", "c"}));
}

TEST_F(Text, BlocksAdvanceLineByLineAndSkipEmptyLinesOnlyWhenWrapping) {
    CCanvas c = writer();
    const int32_t sep = 30;
    auto rows_with_ink = [&] {
        std::set<int32_t> bands;
        for (const auto& [x, y] : pixels_of(s, 'w')) bands.insert(y / sep);
        return bands;
    };
    draw_text_block(c, 10, 0, "H##H", sep, -1, 0, 0);
    EXPECT_EQ(rows_with_ink(), (std::set<int32_t>{0, 2}));
    s.fill(0);
    draw_text_block(c, 10, 0, "H##H", sep, 1000, 0, 0);
    EXPECT_EQ(rows_with_ink(), (std::set<int32_t>{0, 1}));
    // sep < 0: lines are the height of "M" apart.
    s.fill(0);
    draw_text_block(c, 10, 0, "H#H", -1, -1, 0, 0);
    const int32_t h = c.text_height("M");
    const RRect ink = ink_box(s);
    EXPECT_GE(ink.bottom, h);
    EXPECT_LT(ink.bottom, 2 * h);
}

TEST_F(Text, AlignmentShiftsTheLineAlongItsDirection) {
    CCanvas c = writer();
    const int32_t w = c.text_width("HH");
    draw_text_block(c, 100, 10, "HH", -1, -1, 0, 2);
    RRect ink = ink_box(s);
    EXPECT_LT(ink.right, 100);
    EXPECT_GE(ink.right, 100 - 4);
    EXPECT_GE(ink.left, 100 - w);
    s.fill(0);
    draw_text_block(c, 100, 10, "HH", -1, -1, 0, 1);
    ink = ink_box(s);
    EXPECT_LT(ink.left, 100);
    EXPECT_GT(ink.right, 100);
    EXPECT_LE(std::abs((ink.left + ink.right) / 2 - 100), 2);
    // At 90 degrees the lines follow one another to the right and right alignment moves
    // the text down.
    s.fill(0);
    draw_text_block(c, 20, 60, "H#H", 40, -1, 90, 2);
    ink = ink_box(s);
    EXPECT_GE(ink.left, 20);
    EXPECT_GE(ink.right, 60);
    EXPECT_GE(ink.top, 60);
    EXPECT_LE(ink.bottom, 60 + w + 1);
}

TEST_F(Text, TheCaptionIsBlackTimesOnWhiteAtTheCorner) {
    draw_caption(fonts, s, "Caption");
    const RRect ink = ink_box(s);
    EXPECT_EQ(ink.left, 0);
    EXPECT_EQ(ink.top, 0);
    CCanvas c(s, &fonts);
    c.font.spec = {"Times New Roman", font_height_for_points(10), false, false};
    EXPECT_EQ(ink.right, c.text_width("Caption") - 1);
    EXPECT_EQ(ink.bottom, c.text_height("Caption") - 1);
    EXPECT_EQ(s.get_pixel(0, 0), colour_of('w'));
    int32_t black = 0;
    for (int32_t y = 0; y <= ink.bottom; ++y)
        for (int32_t x = 0; x <= ink.right; ++x) black += s.get_pixel(x, y) == 0;
    EXPECT_GT(black, 10) << "the letters";
}

// Coordinates at the ends of the 32-bit range, as a game may pass them: every shape draws
// what it can of itself without overflowing any sum or product (run under UBSan this
// table stops at the first overflow).
TEST(Canvas, ExtremeCoordinatesNeverOverflow) {
    const int32_t lo = INT32_MIN, hi = INT32_MAX;
    const int32_t all[] = {lo, lo + 1, -1000000000, -1, 0, 3, 1000000000, hi - 1, hi};
    // A wide pen strokes the whole outline of each huge shape: the ends of the range only.
    const int32_t ends[] = {lo, 0, 3, hi};
    for (int32_t width : {1, 3}) {
        const std::span<const int32_t> values =
            width == 1 ? std::span<const int32_t>(all) : std::span<const int32_t>(ends);
        DDSurface s = blank(8, 6);
        CCanvas c = canvas_on(s, 'r', 'g', width);
        for (int32_t a : values)
            for (int32_t b : values) {
                c.rectangle(a, a, b, b);
                c.rectangle(a, 0, b, 5);
                c.ellipse(a, 0, b, 5);
                c.round_rect(a, a, b, b, a, b);
                c.round_rect(a, 0, b, 5, b, a);
                c.arc(a, a, b, b, a, b, b, a);
                c.chord(a, 0, b, 5, 0, a, b, 0);
                c.pie(a, a, b, b, b, b, a, a);
                c.line(a, b, b, a);
                const RPoint poly[] = {{a, a}, {b, a}, {b, b}, {a, 3}};
                c.polygon(poly);
                c.polyline(poly);
                c.set_pixel(a, b, colour_of('r'));
                c.get_pixel(a, b);
            }
        // The widest box and the widest rounded box cover the surface with their brush;
        // their outlines lie far outside.
        const Rows green(6, std::string(8, 'g'));
        for (int32_t corner : {0, hi}) {
            DDSurface t = blank(8, 6);
            canvas_on(t, 'r', 'g', width).round_rect(lo, lo, hi, hi, corner, corner);
            EXPECT_EQ(rows_of(t), green) << corner;
        }
    }
}
