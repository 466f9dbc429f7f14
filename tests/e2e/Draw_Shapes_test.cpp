// Shapes and text drawn by games, checked on the written frames against the same calls
// made directly on a canvas: a health bar, a score and shapes from code, the drawing
// actions, port offsets of a view, the caption inside the picture, and the rules of the
// drawing functions (colours, pixels, polygons, measures).
#include "Game_Runner.h"

#include "graphics/Graphics_GDI.h"
#include "project/Project_Image.h"

using namespace kelvane;
using namespace kelvane::e2e;

namespace {

std::optional<Bitmap24> frame(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                               std::istreambuf_iterator<char>()};
    return decode_picture(bytes, nullptr);
}

// The first pixel where two pictures differ, as text; empty when they are the same.
std::string first_difference(const Bitmap24& a, const Bitmap24& b) {
    if (a.width != b.width || a.height != b.height)
        return "sizes " + std::to_string(a.width) + "x" + std::to_string(a.height) + " and " +
               std::to_string(b.width) + "x" + std::to_string(b.height);
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x)
            if (a.pixel(x, y) != b.pixel(x, y))
                return "at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                       std::to_string(a.pixel(x, y)) + " and " + std::to_string(b.pixel(x, y));
    return "";
}

std::string relative(std::string action) {
    action.pop_back();
    return action + R"(, "relative": true})";
}

// A game of one instance at (x, y) with the given draw event, in a black room.
std::string drawing_game(const std::string& draw_event, int w, int h, int x = 0, int y = 0,
                         const std::string& create = "") {
    return R"({"objects": [{"name": "o", "events": [)" + event("draw", 0, {draw_event}) +
           (create.empty() ? "" : ", " + event("create", 0, {code(create)})) +
           R"(]}], "rooms": [{"name": "r", "width": )" + std::to_string(w) + R"(, "height": )" +
           std::to_string(h) + R"(, "background_color": 0, "instances": [{"x": )" +
           std::to_string(x) + R"(, "y": )" + std::to_string(y) + R"(, "object": "o"}]}]})";
}

constexpr uint32_t red = 255, lime = 65280, blue = 16711680, yellow = 65535, aqua = 16776960,
                   white = 16777215, black = 0;

class DrawTest : public GameTest {
  protected:
    CFonts fonts;
    DDSurface expected;
    std::optional<CCanvas> c;

    // A black reference picture with a canvas in the drawing state's defaults.
    void reference(int w, int h) {
        expected.create(w, h, false, 0, false);
        c.emplace(expected, &fonts);
        c->font.spec = {"Arial", font_height_for_points(12), false, false};
    }
    void run_and_compare(const std::string& project) {
        write("kelvane-project.json", project);
        fs::create_directories(dir / "frames");
        ASSERT_EQ(run(1, "--frames frames"), 0) << err;
        auto f = frame(dir / "frames" / "frame-000001.png");
        ASSERT_TRUE(f);
        EXPECT_EQ(first_difference(*f, to_bitmap24(expected.surface)), "");
    }
};

} // namespace

TEST_F(DrawTest, HealthBarScoreAndShapesMatchTheSameCallsMadeDirectly) {
    // The room is drawn on entering it and after the step: the drawing state lasts.
    const std::string draw = R"(
        font_angle = 0; font_align = fa_left;
        brush_color = c_red; pen_color = c_black; draw_rectangle(10, 10, 110, 20);
        brush_color = c_lime; draw_rectangle(10, 10, 10 + global.health, 20);
        font_color = c_white; font_size = 10; draw_text(10, 26, 'Score: ' + string(score));
        pen_color = c_yellow; pen_size = 2; brush_style = bs_diagcross; brush_color = c_aqua;
        draw_circle(150, 40.4, 20);
        pen_size = 1; brush_style = bs_solid; brush_color = c_blue;
        draw_triangle(120, 100, 160, 70, 190, 110);
        draw_roundrect(10, 60, 60, 90);
        pen_color = c_red; draw_line(70, 60, 110, 99.5);
        draw_pie(60, 70, 100, 110, 100, 90, 80, 70);
        font_angle = 90; font_align = fa_right; draw_text_ext(180, 10, 'up#and up', 12, -1);)";
    reference(200, 120);
    c->pen = {black, 1};
    c->brush = {red, brush_solid};
    c->rectangle(10, 10, 110, 20);
    c->brush.colour = lime;
    c->rectangle(10, 10, 75, 20);
    c->font = {{"Arial", font_height_for_points(10), false, false}, white, false, false};
    c->brush.style = brush_hollow;
    draw_text_block(*c, 10, 26, "Score: 1250", -1, -1, 0, 0);
    c->pen = {yellow, 2};
    c->brush = {aqua, brush_diagcross};
    c->ellipse(130, 20, 170, 60);
    c->pen.width = 1;
    c->brush = {blue, brush_solid};
    const RPoint triangle[3] = {{120, 100}, {160, 70}, {190, 110}};
    c->polygon(triangle);
    c->round_rect(10, 60, 60, 90, 10, 10);
    c->pen.colour = red;
    c->line(70, 60, 110, 100);
    c->pie(60, 70, 100, 110, 100, 90, 80, 70);
    c->brush.style = brush_hollow;
    draw_text_block(*c, 180, 10, "up#and up", 12, -1, 90, 2);
    run_and_compare(drawing_game(code(draw), 200, 120, 0, 0, "global.health = 65; score = 1250;"));
}

TEST_F(DrawTest, DrawingActionsTakeTheirArgumentsRelativeToTheInstance) {
    const std::string actions = action(47, {"255"}) + ", " + action(48, {"65280"}) + ", " +
                                relative(action(44, {"0", "0", "20", "10"})) + ", " +
                                relative(action(45, {"30", "0", "50", "20"})) + ", " +
                                relative(action(46, {"0", "30", "40", "30"})) + ", " +
                                action(38, {"Courier New", "14", "16777215", "1", "0", "1", "0"}) +
                                ", " + relative(action(37, {"Hi#there", "0", "40"})) + ", " +
                                action(37, {"'quoted' + 'text'", "100", "40"}) + ", " +
                                action(69, {"5 / 2", "100", "0"}) + ", " +
                                action(69, {"4 * 2", "100", "20"});
    const std::string project =
        R"({"objects": [{"name": "o", "events": [{"type": "draw", "number": 0, "actions": [)" +
        actions + R"(]}]}], "rooms": [{"name": "r", "width": 160, "height": 120,
      "background_color": 0, "instances": [{"x": 40, "y": 30, "object": "o"}]}]})";
    reference(160, 120);
    c->pen = {lime, 1};
    c->brush = {red, brush_solid};
    c->rectangle(40, 30, 60, 40);
    c->ellipse(70, 30, 90, 50);
    c->line(40, 60, 80, 60);
    c->font = {{"Courier New", font_height_for_points(14), true, false}, white, true, false};
    c->brush.style = brush_hollow;
    draw_text_block(*c, 40, 70, "Hi#there", -1, -1, 0, 0);
    draw_text_block(*c, 100, 40, "quotedtext", -1, -1, 0, 0);
    draw_text_block(*c, 100, 0, "2.50", -1, -1, 0, 0);
    draw_text_block(*c, 100, 20, "8", -1, -1, 0, 0);
    run_and_compare(project);
}

TEST_F(DrawTest, EachViewsPortOffsetsAndClipsWhatIsDrawnInIt) {
    // View 0 shows the room from (100, 50) in a 100 x 80 port at the buffer's corner; view 1
    // shows it from (0, 0) in the port beside it. The draw event runs once for each.
    const std::string draw = R"(
        brush_color = c_red; pen_color = c_red;
        draw_rectangle(110, 60, 120, 70); draw_rectangle(195, 60, 205, 70);
        draw_rectangle(20, 20, 30, 30);
        brush_color = c_lime; draw_pixel(99, 50); draw_pixel(100, 50);
        global.seen += string(view_current) + ':' + string(draw_getpixel(115, 65)) + ','
                       + string(draw_getpixel(99, 50)) + ' ';)";
    const std::string project =
        R"({"objects": [{"name": "o", "events": [)" + event("draw", 0, {code(draw)}) + ", " +
        event("create", 0, {code("global.seen = '';")}) + ", " +
        event("other", 3, {code("global.s = global.seen; " + std::string(write_s))}) + R"(]}],
      "rooms": [{"name": "r", "width": 300, "height": 200, "background_color": 0, "view_enabled": true,
        "views": [{"visible": true, "left": 100, "top": 50, "width": 100, "height": 80, "x": 0, "y": 0},
                  {"visible": true, "left": 0, "top": 0, "width": 100, "height": 80, "x": 100, "y": 0}],
        "instances": [{"x": 150, "y": 100, "object": "o"}]}]})";
    reference(200, 80);
    c->pen = {red, 1};
    c->brush = {red, brush_solid};
    expected.clip = {0, 0, 100, 80};
    CCanvas port0(expected, nullptr);
    port0.pen = c->pen, port0.brush = c->brush;
    port0.rectangle(10, 10, 20, 20);
    port0.rectangle(95, 10, 105, 20); // cut at the port's edge
    port0.set_pixel(0, 0, lime);
    expected.clip = {100, 0, 200, 80};
    CCanvas port1(expected, nullptr);
    port1.pen = c->pen, port1.brush = c->brush;
    port1.rectangle(120, 20, 130, 30);
    port1.set_pixel(199, 50, lime);
    run_and_compare(project);
    EXPECT_EQ(read("out.txt").substr(0, 20), "0:255,-1 1:-1,65280 ");
}

TEST_F(DrawTest, TheCaptionIsDrawnInsideThePictureOnlyWithoutABorder) {
    auto game = [](bool no_border) {
        return std::string(R"({"options": {"no_border": )") + (no_border ? "true" : "false") +
               R"(, "show_score": false}, "rooms": [{"name": "r", "caption": "Level 1", "width": 100, "height": 60, "background_color": 0}]})";
    };
    reference(100, 60);
    draw_caption(fonts, expected, "Level 1");
    run_and_compare(game(true));
    expected.fill(0);
    run_and_compare(game(false));
}

TEST_F(GameTest, DrawingFunctionRulesInAGame) {
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true},
      "objects": [{"name": "o", "events": [)" +
              event("draw", 0, {code(R"(
        screen_redraw(); // inside the drawing: left out, never endless
        if (global.done) exit;
        global.done = true;
        s = string(make_color(255, 128, 0)) + ' ' + string(make_color(300, 0, -1));
        brush_color = 12345; draw_pixel(5, 5);
        s += ' ' + string(draw_getpixel(5, 5)) + ' ' + string(draw_getpixel(-1, 0));
        s += ' ' + string(string_width('abc')) + ' ' + string(string_height('abc'));
        font_size = 24; s += ' ' + string(string_width('abc'));
        draw_polygon_begin();
        repeat (1025) draw_polygon_vertex(1, 1);
        draw_polygon_end();
        draw_polygon_vertex(1, 1); draw_polygon_vertex(5, 1); draw_polygon_end();
        draw_polygon_end();
        global.s = s;)")}) +
              "," + event("create", 0, {code("global.done = false;")}) + "," +
              event("other", 3, {code(write_s)}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    CFonts fonts;
    CFont* arial12 = fonts.font({"Arial", font_height_for_points(12), false, false});
    CFont* arial24 = fonts.font({"Arial", font_height_for_points(24), false, false});
    ASSERT_TRUE(arial12 && arial24);
    const int32_t w12 = arial12->text_width("abc"), h12 = arial12->metrics().height();
    const int32_t w24 = arial24->text_width("abc");
    EXPECT_EQ(read("out.txt"), "33023 -65236 12345 -1 " + std::to_string(w12) + " " +
                                   std::to_string(h12) + " " + std::to_string(w24));
    const std::string log = read("game_errors.log");
    // The 1025th vertex empties the polygon, so the next end finds none; the two points
    // after it make a polygon, and the end after that finds none again.
    const size_t many = log.find("Polygon has too many vertices.");
    const size_t none = log.find("Drawing polygon with no vertices.");
    ASSERT_NE(many, std::string::npos) << log;
    ASSERT_NE(none, std::string::npos) << log;
    EXPECT_LT(many, none);
    EXPECT_EQ(log.find("Polygon has too many vertices.", many + 1), std::string::npos) << log;
    const size_t again = log.find("Drawing polygon with no vertices.", none + 1);
    ASSERT_NE(again, std::string::npos) << log;
    EXPECT_EQ(log.find("Drawing polygon with no vertices.", again + 1), std::string::npos) << log;
}

TEST_F(GameTest, ButtonsHaveTwoPixelBevelsSwappedWhenDown) {
    write("kelvane-project.json", drawing_game(code(R"(
        brush_color = c_blue; pen_color = c_red;
        draw_button(10, 10, 20, 18, 0); draw_button(30, 10, 40, 18, 1);)"),
                                               60, 30));
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    auto f = frame(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(f);
    const uint32_t grey = 0x808080, face = blue;
    for (int down = 0; down < 2; ++down) {
        const int x = 10 + 20 * down;
        const uint32_t light = down ? grey : white, dark = down ? white : grey;
        SCOPED_TRACE(down ? "down" : "up");
        // Outer and inner lines of the upper left, then of the lower right, which also
        // takes the lower left corner; the corner at the upper right stays outside.
        for (auto [dx, dy] : {std::pair{0, 0}, {5, 0}, {0, 4}, {1, 4}, {5, 1}, {1, 1}})
            EXPECT_EQ(f->pixel(x + dx, 10 + dy), light) << dx << "," << dy;
        for (auto [dx, dy] : {std::pair{5, 8}, {10, 4}, {9, 4}, {5, 7}, {0, 8}, {10, 8}})
            EXPECT_EQ(f->pixel(x + dx, 10 + dy), dark) << dx << "," << dy;
        EXPECT_EQ(f->pixel(x + 5, 14), face);
        EXPECT_EQ(f->pixel(x + 10, 10), 0u);
    }
}
