// The tile functions in running games: lookups and their messages, the game-wide tile
// counter, the hit rules of finding and deleting at a point, and changed tiles as drawn.
#include "Picture_Game.h"

using namespace kelvane;
using namespace kelvane::e2e;

namespace {

// Two designed tiles over the same 20 x 10 area at (10, 20): a at depth 0, b at depth -5.
const char* tile_rules_code = R"(
a = 10000005; b = 10000006;
global.s = string(tile_get_x(a)) + "," + string(tile_get_y(a)) + "," + string(tile_get_left(a))
  + "," + string(tile_get_top(a)) + "," + string(tile_get_width(a)) + ","
  + string(tile_get_height(a)) + "," + string(tile_get_depth(b)) + ","
  + string(tile_get_visible(a)) + "," + string(tile_get_xscale(a)) + ","
  + string(tile_get_yscale(a)) + "," + string(tile_get_alpha(a)) + ","
  + string(tile_get_background(a)) + ";";
// Right and bottom edges are outside; coordinates round; depth 0 is not foreground.
global.s += string(tile_find(29, 29, 0) == a) + "," + string(tile_find(30, 20, 0)) + ","
  + string(tile_find(10, 30, 0)) + "," + string(tile_find(9.6, 20, 0) == a) + ","
  + string(tile_find(10, 20, 1) == b) + "," + string(tile_find(10, 20, 0.4) == a) + ";";
// The counter goes up first and never back; a failed add takes no number.
t1 = tile_add(back, 0, 0, 2, 2, 100, 100, 3);
tile_delete(t1);
t2 = tile_add(back, 0, 0, 2, 2, 100, 100, 3);
bad = tile_add(7, 0, 0, 2, 2, 100, 100, 3);
t3 = tile_add(back, 0, 0, 2, 2, 100, 100, 3);
global.s += string(t1) + "," + string(t2) + "," + string(bad) + "," + string(t3) + ";";
// Missing tiles and backgrounds.
global.s += string(tile_get_x(123)) + "," + string(tile_exists(123)) + ","
  + string(tile_exists(a)) + "," + string(tile_exists(t1)) + ";";
tile_set_background(a, 7);
tile_set_background(123, 7);
tile_set_alpha(123, 0.5);
tile_delete(t1);
global.s += string(tile_get_background(a)) + ";";
// Deleting at a point includes the edges; depth 0 counts for both classes.
c = tile_add(back, 0, 0, 4, 4, 50, 50, 0);
d = tile_add(back, 0, 0, 4, 4, 50, 50, 2);
tile_delete_at(54, 54, 1);
global.s += string(tile_exists(c)) + string(tile_exists(d)) + ",";
tile_delete_at(30, 30, 0);
global.s += string(tile_exists(a)) + string(tile_exists(b)) + ";";
// Two tiles on one spot: found in list order, which drawing sorts by depth.
e = tile_add(back, 0, 0, 4, 4, 200, 200, 1);
f = tile_add(back, 0, 0, 4, 4, 200, 200, 2);
global.s += string(tile_find(201, 201, 0) == e);
n = 0;
)";

const char* tile_order_code = R"(
n += 1;
if (n == 1) {
  global.s += string(tile_find(201, 201, 0) == f);
  tile_set_depth(f, 0);
  global.s += string(tile_find(201, 201, 0) == f);
}
if (n == 2) { global.s += string(tile_find(201, 201, 0) == e) + ";"; room_goto_next(); }
)";

} // namespace

TEST_F(GameTest, TileRulesCounterAndMessages) {
    write("back.png", png_of({"rgby", "bwkc"}));
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true},
      "backgrounds": [{"name": "back", "image": {"file": "back.png"}}],
      "objects": [{"name": "o", "events": [)" +
              event("create", 0, {code(tile_rules_code)}) + "," +
              event("step", 0, {code(tile_order_code)}) + R"(]},
        {"name": "p", "events": [)" +
              event("create", 0,
                    {code("global.s += string(tile_add(back, 0, 0, 1, 1, 0, 0, 0)) + \",\" + "
                          "string(tile_exists(10000005));"),
                     code(write_s)}) +
              R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}], "tiles": [
          {"x": 10, "y": 20, "background": "back", "left": 1, "width": 20, "height": 10,
           "depth": 0, "id": 10000005},
          {"x": 10, "y": 20, "background": "back", "width": 20, "height": 10, "depth": -5,
           "id": 10000006}]},
        {"name": "r2", "instances": [{"object": "p"}]}]})");
    ASSERT_EQ(run(5), 0) << err;
    EXPECT_EQ(read("out.txt"), "10,20,1,0,20,10,-5,1,1,1,1,0;"
                               "1,-1,-1,1,1,1;"
                               "10000007,10000008,0,10000009;"
                               "0,0,1,0;0;"
                               "01,01;"
                               "1"  // in the order added
                               "11" // sorted as the room was drawn; a new depth only stored
                               "1;" // sorted again at the next drawing
                               "10000014,0") // the counter is the game's; tiles the room's
        << err;
    EXPECT_EQ(logged_messages(read("game_errors.log")),
              (std::vector<std::string>{"Background does not exist.", "Tile does not exist.",
                                        "Background does not exist.", "Tile does not exist.",
                                        "Tile does not exist.", "Tile does not exist."}));
}

TEST_F(GameTest, ChangedTilesAreDrawn) {
    write("back.png", png_of({"rgby", "bwkc"}));
    write("green.png", png_of({"g"}));
    const char* setup = R"(
t = tile_add(back, 1, 0, 2, 2, 0, 0, 10);          // the part gb / wk
t = tile_add(back, 0, 0, 4, 2, 10, 0, 10);
tile_set_region(t, 2, 1, 2, 1);                     // kc, one row
t = tile_add(back, 0, 0, 1, 1, 20, 0, 10);
tile_set_scale(t, 3, 2);                            // red, 3 x 2
t = tile_add(back, 0, 0, 1, 1, 30, 0, 10);
tile_set_visible(t, 0);
t = tile_add(back, 0, 0, 1, 1, 0, 10, 10);
tile_set_position(t, 5, 12);
t = tile_add(back, 3, 0, 1, 1, 0, 20, 10);
tile_set_alpha(t, 0.5);                             // yellow half over black
t = tile_add(back, 0, 1, 1, 1, 30, 20, 5);          // blue
t = tile_add(back, 1, 1, 1, 1, 30, 20, 1);          // white, deeper, drawn first
tile_set_depth(t, 9);
t = tile_add(back, 0, 0, 1, 1, 35, 20, 10);
tile_set_background(t, green);
)";
    write("kelvane-project.json",
          R"({"backgrounds": [{"name": "back", "image": {"file": "back.png"}},
                       {"name": "green", "image": {"file": "green.png"}}],
      "objects": [{"name": "o", "events": [)" +
              event("create", 0, {code(setup)}) + R"(]}],
      "rooms": [{"name": "r", "width": 40, "height": 30, "background_color": 0,
                 "instances": [{"object": "o"}]}]})");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    auto f = picture_file(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(rows_at(*f, 0, 0, 24, 2), (Rows{"gb........kc........rrr.", //
                                              "wk..................rrr."}));
    EXPECT_EQ(rows_at(*f, 29, 0, 3, 1), (Rows{"..."}));
    EXPECT_EQ(rows_at(*f, 4, 11, 3, 3), (Rows{"...", ".r.", "..."}));
    EXPECT_EQ(f->pixel(0, 10), 0u);
    EXPECT_EQ(f->pixel(0, 20), 0x008080u); // round(255 * 128 / 256) halves to even
    EXPECT_EQ(rows_at(*f, 30, 20, 6, 1), (Rows{"b....g"}));
}
