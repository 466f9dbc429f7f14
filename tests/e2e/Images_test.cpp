// The image functions in running games: sprites and backgrounds loaded from picture files
// (drawn, colliding by their new masks, replaced and deleted), bad files, the messages for
// missing resources, the buffer saved as bitmaps, and every sprite and background drawing
// function checked on the frames, also through a view.
#include "Picture_Game.h"

using namespace kelvane;
using namespace kelvane::e2e;

namespace {
// Half of a full colour component over black: round(255 * 128 / 256), halves to even.
constexpr uint32_t half_red = 0x000080, half_green = 0x008000, half_blue = 0x800000;
} // namespace

TEST_F(GameTest, SpriteAddedFromAStripIsDrawnAndCollidesByItsMask) {
    // Three 3 x 3 frames side by side; magenta (bottom-left) is see-through.
    write("strip.png", png_of({"rkkkgkkkb", "kkkkgkkkb", "kkkkkkkkk"}));
    write("dot.png", png_of({"rkr", "kkk"}));
    write("pics/back.bmp", bmp_of({"ro", "cz"}));
    const char* create = R"(
global.spr = sprite_add("strip.png", 3, 1, 1, 0, 0, 1, 1);
global.bk = background_add("Pics\Back.BMP", 0, 0, 0);
i = instance_create(50, 50, t);
with (i) { sprite_index = global.spr; image_speed = 0; image_single = 0; }
global.s = string(global.spr) + "," + string(global.bk) + ";";
global.s += sprite_get_name(global.spr) + "," + string(sprite_get_number(global.spr)) + ","
  + string(sprite_get_width(global.spr)) + "x" + string(sprite_get_height(global.spr)) + ","
  + string(sprite_get_xoffset(global.spr)) + "," + string(sprite_get_bbox_left(global.spr))
  + string(sprite_get_bbox_top(global.spr)) + string(sprite_get_bbox_right(global.spr))
  + string(sprite_get_bbox_bottom(global.spr)) + "," + background_get_name(global.bk) + ","
  + string(background_get_width(global.bk)) + ";";
// Inside the box, only the frame's own pixels count.
global.s += string(position_meeting(49, 49, t)) + string(position_meeting(51, 49, t))
  + string(position_meeting(50, 50, t)) + ",";
with (i) image_single = 2;
global.s += string(position_meeting(51, 49, t)) + string(position_meeting(49, 49, t)) + ";";
// A replaced sprite brings its own mask and origin.
global.s += string(sprite_replace(global.spr, "dot.png", 1, 1, 1, 0, 0, 0, 0)) + ","
  + string(sprite_get_number(global.spr)) + string(sprite_get_width(global.spr))
  + string(sprite_get_height(global.spr)) + string(sprite_get_xoffset(global.spr))
  + string(sprite_get_bbox_right(global.spr)) + string(sprite_get_bbox_bottom(global.spr)) + ";";
with (i) { sprite_index = global.spr; image_single = 0; }
global.s += string(position_meeting(50, 50, t)) + string(position_meeting(51, 50, t))
  + string(position_meeting(52, 50, t)) + ";";
with (i) sprite_index = -1;
)";
    write("kelvane-project.json",
          R"({"objects": [{"name": "c", "events": [)" +
              event("create", 0, {code(create), code(write_s)}) + "," +
              event("draw", 0,
                    {code("draw_sprite(global.spr, 0, 11, 11); draw_background(global.bk, 20, 20);"
                          "draw_sprite(0, 1, 30, 5);")}) +
              R"(]}, {"name": "t"}],
      "rooms": [{"name": "r", "width": 64, "height": 64, "background_color": 0,
                 "instances": [{"object": "c"}]}]})");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    EXPECT_EQ(read("out.txt"), "0,0;__newsprite0,3,3x3,1,0021,__newbackground0,2;100,10;"
                               "1,132020;101;");
    auto f = picture_file(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(rows_at(*f, 10, 11, 4, 2), (Rows{".r.r", "...."}));
    EXPECT_EQ(rows_at(*f, 20, 20, 3, 3), (Rows{"ro.", "cz.", "..."}));
    // Sprite 0 is the one replaced: frame 1 wraps to its only frame.
    EXPECT_EQ(rows_at(*f, 29, 5, 5, 2), (Rows{".r.r.", "....."}));
}

TEST_F(GameTest, BadFilesFailQuietlyAndMissingResourcesAreReported) {
    write("red.png", png_of({"rr", "rr"}));
    write("blue.png", png_of({"bb", "bb"}));
    write("corrupt.png", std::string("\x89PNG\r\n\x1a\n", 8) + "not really a picture");
    write("corrupt.bmp", "BM" + std::string(60, '\x7f'));
    write("notes.txt", "plain text");
    const char* create = R"(
s = string(sprite_add("missing.png", 1, 0, 0, 0, 0, 0, 0)) + ","
  + string(sprite_add("corrupt.png", 1, 0, 0, 0, 0, 0, 0)) + ","
  + string(sprite_add("notes.txt", 1, 0, 0, 0, 0, 0, 0)) + ","
  + string(sprite_add("red.png", 3, 0, 0, 0, 0, 0, 0)) + ","
  + string(background_add("corrupt.bmp", 0, 0, 0)) + ","
  + string(background_add("", 0, 0, 0)) + ";";
// The failures took no ids.
global.a = sprite_add("red.png", 1, 0, 0, 0, 0, 0, 0);
global.b = sprite_add("red.png", 1, 0, 0, 0, 0, 0, 0);
global.c = sprite_add("red.png", 1, 0, 0, 0, 0, 0, 0);
global.k = background_add("red.png", 0, 0, 0);
s += string(global.a) + string(global.b) + string(global.c) + string(global.k) + ";";
// A failed replace keeps the picture; a good one changes picture and origin.
s += string(sprite_replace(global.a, "missing.png", 1, 0, 0, 0, 0, 0, 0))
  + string(sprite_replace(global.a, "corrupt.png", 1, 0, 0, 0, 0, 0, 0))
  + string(background_replace(global.k, "missing.png", 0, 0, 0))
  + string(sprite_replace(global.b, "blue.png", 1, 0, 0, 0, 0, 1, 1)) + ",";
s += string(sprite_replace(7, "blue.png", 1, 0, 0, 0, 0, 0, 0))
  + string(background_replace(7, "blue.png", 0, 0, 0)) + ",";
s += string(sprite_delete(global.c)) + string(sprite_delete(global.c))
  + string(sprite_replace(global.c, "blue.png", 1, 0, 0, 0, 0, 0, 0))
  + string(background_delete(7)) + string(background_delete(-1)) + ";";
file_open_write("out.txt"); file_write_string(s); file_close();
)";
    const char* draw = R"(
draw_sprite(global.a, 0, 0, 0);
draw_sprite(global.b, 0, 11, 1);
draw_background(global.k, 20, 0);
draw_sprite(global.c, 0, 30, 0);
draw_sprite_scaled(2.6, 0, 30, 0, 1);
draw_background_tiled(-1, 0, 0);
game_end();
)";
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true},
      "objects": [{"name": "o", "events": [)" +
              event("create", 0, {code(create)}) + "," + event("draw", 0, {code(draw)}) +
              R"(]}], "rooms": [{"name": "r", "width": 40, "height": 8, "background_color": 0,
                 "instances": [{"object": "o"}]}]})");
    fs::create_directories(dir / "frames");
    // The room is drawn once, as it starts; then the game ends.
    ASSERT_EQ(run(5, "--frames frames"), 0) << err;
    EXPECT_EQ(read("out.txt"), "-1,-1,-1,-1,-1,-1;0120;0001,00,10000;");
    EXPECT_EQ(logged_messages(read("game_errors.log")),
              (std::vector<std::string>{
                  "Trying to replace non-existing sprite.",
                  "Trying to replace non-existing background.",
                  "Trying to delete non-existing sprite.",
                  "Trying to replace non-existing sprite.",
                  "Trying to delete non-existing background.",
                  "Trying to delete non-existing background.",
                  "Trying to draw non-existing sprite number: 2",
                  "Trying to draw non-existing sprite number: 3",
                  "Trying to draw non-existing background number: -1",
              }));
    auto f = picture_file(dir / "frames" / "frame-000000.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(rows_at(*f, 0, 0, 23, 3), (Rows{"rr........bb........rr.", //
                                              "rr........bb........rr.", //
                                              "......................."}));
    EXPECT_EQ(rows_at(*f, 30, 0, 2, 2), (Rows{"..", ".."}));
}

TEST_F(GameTest, ScreenSaveWritesWindowsBitmapsOfTheBuffer) {
    write("spr.png", png_of({"rgby", "bwkc"}));
    fs::create_directories(dir / "sub");
    const char* draw = R"(
draw_sprite(spr, 0, 2, 3);
draw_sprite(spr, 0, 14, 0);
screen_save("shot.bmp");
screen_save_part("Sub\Part.bmp", 3, 3, 6, 5);
screen_save_part("edge.bmp", 14, 0, 18, 1);
screen_save_part("flat.bmp", 5, 5, 5, 9);
screen_save("nowhere\x.bmp");
screen_save("");
game_end();
)";
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true},
      "sprites": [{"name": "spr", "transparent": false, "frames": [{"file": "spr.png"}]}],
      "objects": [{"name": "o", "events": [)" +
              event("draw", 0, {code(draw)}) +
              R"(]}], "rooms": [{"name": "r", "width": 16, "height": 8, "background_color": 0,
                 "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(5), 0) << err;
    std::string shot = read("shot.bmp");
    ASSERT_GT(shot.size(), 30u);
    EXPECT_EQ(shot.substr(0, 2), "BM");
    EXPECT_EQ(shot[28], 24) << "24 bits per pixel";
    auto whole = picture_file(dir / "shot.bmp");
    ASSERT_TRUE(whole);
    EXPECT_EQ(whole->width, 16);
    EXPECT_EQ(whole->height, 8);
    EXPECT_EQ(rows_at(*whole, 0, 0, 16, 5), (Rows{"..............rg", //
                                                  "..............bw", //
                                                  "................", //
                                                  "..rgby..........", //
                                                  "..bwkc.........."}));
    auto part = picture_file(dir / "sub" / "Part.bmp");
    ASSERT_TRUE(part);
    EXPECT_EQ(rows_at(*part, 0, 0, part->width, part->height), (Rows{"gby", "wkc"}));
    auto edge = picture_file(dir / "edge.bmp");
    ASSERT_TRUE(edge);
    EXPECT_EQ(rows_at(*edge, 0, 0, edge->width, edge->height), (Rows{"rg.."}));
    EXPECT_FALSE(fs::exists(dir / "flat.bmp"));
    EXPECT_EQ(logged_messages(read("game_errors.log")),
              (std::vector<std::string>{"Trying to save screen to empty image file name."}));
}

TEST_F(GameTest, SpriteAndBackgroundDrawingFunctions) {
    write("spr0.png", png_of({"rg", "by"}));
    write("spr1.png", png_of({"ww", "ww"}));
    write("dots.png", png_of({"z..", "...", "..."}));
    const char* draw = R"(
n += 1;
if (n == 1) {
  draw_sprite(spr, 1, 0, 0);
  draw_sprite(spr, -1, 3, 0);
  draw_sprite_scaled(spr, 0, 6, 0, 2);
  draw_sprite_stretched(spr, 0, 11, 0, 4, 2);
  draw_sprite_transparent(spr, 0, 16, 0, 1, 0.5);
  draw_background(bk, 0, 5);
  draw_background_scaled(bk, 3, 5, 2);
  draw_background_stretched(bk, 8, 5, 2, 4);
  draw_background_transparent(bk, 11, 5, 1, 0.5);
} else draw_background_tiled(dots, 1, 1);
)";
    write("kelvane-project.json",
          R"({"sprites": [{"name": "spr", "transparent": false,
                   "frames": [{"file": "spr0.png"}, {"file": "spr1.png"}]}],
      "backgrounds": [{"name": "bk", "image": {"file": "spr0.png"}},
                      {"name": "dots", "image": {"file": "dots.png"}}],
      "objects": [{"name": "o", "sprite": "spr", "events": [)" +
              event("create", 0, {code("n = 0; image_speed = 0; image_index = 1;")}) + "," +
              event("draw", 0, {code(draw)}) +
              R"(]}], "rooms": [{"name": "r", "width": 40, "height": 20, "background_color": 0,
                 "instances": [{"x": 100, "y": 100, "object": "o"}]}]})");
    fs::create_directories(dir / "frames");
    // The room is drawn as it starts (frame 0) and after the first step (frame 1).
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    auto f = picture_file(dir / "frames" / "frame-000000.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(rows_at(*f, 0, 0, 16, 4), (Rows{"ww.ww.rrgg.rrgg.", //
                                              "ww.ww.rrgg.bbyy.", //
                                              "......bbyy......", //
                                              "......bbyy......"}));
    EXPECT_EQ(f->pixel(16, 0), half_red);
    EXPECT_EQ(f->pixel(17, 0), half_green);
    EXPECT_EQ(f->pixel(16, 1), half_blue);
    EXPECT_EQ(rows_at(*f, 0, 5, 11, 4), (Rows{"rg.rrgg.rg.", //
                                              "by.rrgg.rg.", //
                                              "...bbyy.by.", //
                                              "...bbyy.by."}));
    EXPECT_EQ(f->pixel(11, 5), half_red);
    EXPECT_EQ(f->pixel(12, 6), 0x008080u); // yellow at half
    // Tiled over the whole room from (1, 1): every third pixel both ways.
    auto g = picture_file(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(g);
    EXPECT_EQ(rows_at(*g, 0, 0, 8, 3), (Rows{"........", ".z..z..z", "........"}));
    EXPECT_EQ(rows_at(*g, 36, 18, 4, 2), (Rows{"....", ".z.."}));
}

TEST_F(GameTest, DrawingFunctionsUseTheViewsOffsets) {
    write("spr.png", png_of({"rg", "by"}));
    write("dots.png", png_of({"z..", "...", "..."}));
    write("kelvane-project.json",
          R"({"sprites": [{"name": "spr", "transparent": false, "frames": [{"file": "spr.png"}]}],
      "backgrounds": [{"name": "bk", "image": {"file": "spr.png"}},
                      {"name": "dots", "image": {"file": "dots.png"}}],
      "objects": [{"name": "o", "events": [)" +
              event("draw", 0,
                    {code("draw_background_tiled(dots, 1, 1); draw_sprite(spr, 0, 105, 52);"
                          "draw_background(bk, 100, 50);")}) +
              R"(]}], "rooms": [{"name": "r", "width": 200, "height": 200, "background_color": 0,
        "view_enabled": true, "views": [{"visible": true, "left": 100, "top": 50,
                                         "width": 32, "height": 16}],
        "instances": [{"object": "o"}]}]})");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    auto f = picture_file(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(f);
    ASSERT_EQ(f->width, 32);
    // Room (100, 50) is the buffer's corner; room x and y of 1 modulo 3 carry the dots.
    EXPECT_EQ(rows_at(*f, 0, 0, 8, 6), (Rows{"rg......", //
                                             "by......", //
                                             "z..z.rg.", //
                                             ".....by.", //
                                             "........", //
                                             "z..z..z."}));
}

TEST_F(GameTest, ExtremeArgumentsDrawAndSaveNothingHarmful) {
    write("spr.png", png_of({"rg", "by"}));
    const char* create = R"(
big = 1000000000000;
t = tile_add(bk, -big, -big, big, big, -big, -big, 0);
tile_set_scale(t, big, big);
tile_set_alpha(t, 0.5);
t = tile_add(bk, big, big, -big, -big, 0, 0, 0);
tile_set_region(t, -big, big, big, -big);
t = tile_add(bk, 0, 0, 2, 2, big, -big, -big);
tile_set_scale(t, -big, 1 / big);
s = string(tile_find(big, -big, 0)) + string(tile_exists(-big)) + ",";
tile_delete_at(-big, -big, 1);
s += string(sprite_add("spr.png", big, 1, 1, 0, 0, 0, 0)) + ",";
global.far = sprite_add("spr.png", 1, 1, 1, 0, 0, big, -big);
s += string(global.far) + ";";
file_open_write("out.txt"); file_write_string(s); file_close();
)";
    const char* draw = R"(
big = 1000000000000;
draw_sprite(spr, big, big, -big);
draw_sprite(global.far, -big, 0, 0);
draw_sprite_scaled(spr, 0, 0, 0, big);
draw_sprite_scaled(global.far, 0, 5, 5, -big);
draw_sprite_scaled(spr, 0, 5, 5, 1 / big);
draw_sprite_stretched(spr, 0, -big, -big, big, big);
draw_sprite_transparent(spr, 0, -big, 0, big, 0.5);
draw_sprite_transparent(global.far, 0, 0, 0, big, -big);
draw_background_scaled(bk, -big, 0, big);
draw_background_stretched(bk, big, -big, -big, big);
draw_background_transparent(bk, 0, 0, big, big);
draw_background_tiled(bk, big, -big);
screen_save_part("whole.bmp", -big, -big, big, big);
screen_save_part("wide.bmp", -2147483648, 0, 2147483647, 1);
)";
    write("kelvane-project.json",
          R"({"sprites": [{"name": "spr", "frames": [{"file": "spr.png"}]}],
      "backgrounds": [{"name": "bk", "image": {"file": "spr.png"}}],
      "objects": [{"name": "o", "events": [)" +
              event("create", 0, {code(create)}) + "," + event("draw", 0, {code(draw)}) +
              R"(]}], "rooms": [{"name": "r", "width": 32, "height": 32,
                 "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    EXPECT_EQ(read("out.txt"), "-10,-1,1;");
    EXPECT_FALSE(fs::exists(dir / "whole.bmp"));
    EXPECT_FALSE(fs::exists(dir / "wide.bmp"));
}
