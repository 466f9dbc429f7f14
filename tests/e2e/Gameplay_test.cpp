// Gameplay in running games: collisions of precise and box-shaped sprites through parents,
// solid instances bouncing back, moving to contact and to random free places, resource
// queries and code executed from text and files.
#include "Game_Runner.h"

#include "project/Project_Image.h"

using namespace kelvane;
using namespace kelvane::e2e;

class GameplayTest : public GameTest {
  protected:
    void write_ring(const std::string& name) {
        Bitmap24 ring(18, 18, 0);
        for (int y = 1; y <= 16; ++y)
            for (int x = 1; x <= 16; ++x)
                if (x <= 2 || x >= 15 || y <= 2 || y >= 15) ring.set_pixel(x, y, 0x0000ff);
        auto png = encode_png(ring);
        write(name, std::string(png.begin(), png.end()));
    }
    // A 10 x 10 box sprite, opaque, tested by its box.
    static constexpr const char* box_sprite =
        R"({"name": "box", "transparent": false, "precise": false, "width": 10, "height": 10})";
};

TEST_F(GameplayTest, PreciseShapesAndBoxesCollideThroughParents) {
    write_ring("ring.png");
    write("kelvane-project.json",
          R"({"sprites": [{"name": "ring", "frames": [{"file": "ring.png"}]},
        {"name": "ring_box", "precise": false, "frames": [{"file": "ring.png"}]},
        {"name": "dot", "transparent": false, "precise": false, "width": 2, "height": 2}],
      "objects": [{"name": "wall"},
        {"name": "precise_wall", "sprite": "ring", "parent": "wall"},
        {"name": "box_wall", "sprite": "ring_box", "parent": "wall"},
        {"name": "probe", "sprite": "dot", "events": [)" +
              event("collision", 0,
                    {code("global.s += object_get_name(other.object_index) + \":\" + "
                          "string(x) + \";\";")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "creation_code": "global.s = \"\";", "instances": [
        {"x": 0, "y": 0, "object": "precise_wall"}, {"x": 8, "y": 8, "object": "probe"},
        {"x": 100, "y": 0, "object": "box_wall"}, {"x": 108, "y": 8, "object": "probe"},
        {"x": 200, "y": 0, "object": "precise_wall"}, {"x": 215, "y": 8, "object": "probe"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    // The probe in the hole of the precise ring meets nothing; the box of the other ring
    // covers its hole; the probe on the precise ring's right side meets it. Pairs go by
    // object index: (probe, precise_wall) before (probe, box_wall).
    EXPECT_EQ(read("out.txt"), "precise_wall:215;box_wall:108;");
}

TEST_F(GameplayTest, SolidWallsPutMoversBackAndBouncesReverseThem) {
    // Two balls run right at speed 4 towards solid walls 20 pixels ahead of their boxes:
    // one bounces by its speeds, the other by the precise angle search.
    write("kelvane-project.json",
          std::string(R"({"sprites": [)") + box_sprite + R"(],
      "objects": [{"name": "wall", "sprite": "box", "solid": true},
        {"name": "ball", "sprite": "box", "events": [)" +
              event("create", 0, {action(7, {"4"})}) + "," +
              event("collision", 0, {action(6, {"0", "0"})}) + "," +
              event("other", 3,
                    {code("global.s += string(x) + \" \" + string(hspeed) + \";\";" +
                          std::string(write_s))}) +
              R"(]},
        {"name": "precise_ball", "sprite": "box", "events": [)" +
              event("create", 0, {code("motion_set(0, 4);")}) + "," +
              event("collision", 0, {code("move_bounce(1);")}) + "," +
              event("other", 3,
                    {code("global.s += string(x) + \" \" + string(direction) + \";\";")}) +
              R"(]}],
      "rooms": [{"name": "r", "creation_code": "global.s = \"\";", "instances": [
        {"x": 20, "y": 100, "object": "precise_ball"}, {"x": 40, "y": 100, "object": "wall"},
        {"x": 20, "y": 0, "object": "ball"}, {"x": 40, "y": 0, "object": "wall"}]}]})");
    ASSERT_EQ(run(4), 0) << err;
    // Step 3 moves both to 32, where they touch the walls: back to 28, the bounce, then the
    // move again from 28 with the new speed (24); step 4 brings them to 20. The precise
    // search finds the first free angles at -60 and 60: direction 180.
    EXPECT_EQ(read("out.txt"), "20 180;20 -4;");
}

TEST_F(GameplayTest, MovingToContactAndToRandomFreePlaces) {
    write("kelvane-project.json",
          std::string(R"({"sprites": [)") + box_sprite + R"(],
      "objects": [{"name": "wall", "sprite": "box", "solid": true},
        {"name": "o", "sprite": "box", "events": [)" +
              event("create", 0,
                    {code("move_contact(0); global.s = string(x) + \" \";"
                          "x = 45; move_contact(180); global.s += string(x) + \" \";"
                          "y = 50; move_contact(270); global.s += string(y) + \" \";"
                          "ok = 1; repeat (20) { move_random(16, 8);"
                          "  if (x mod 16 != 0 || y mod 8 != 0 || !place_free(x, y)) ok = 0; }"
                          "global.s += string(ok);" +
                          std::string(write_s))}) +
              R"(]}],
      "rooms": [{"name": "r", "width": 160, "height": 120, "instances": [
        {"x": 40, "y": 0, "object": "wall"}, {"x": 0, "y": 0, "object": "o"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    // Right up to the wall's box (30 + 9 = 39); out of the wall to the left (45 -> 30);
    // down from 50 with nothing below: the 1000 steps of the search (1050).
    EXPECT_EQ(read("out.txt"), "30 30 1050 1");
}

TEST_F(GameplayTest, ResourceQueriesAndCodeFromTextAndFiles) {
    write("more.txt", "global.s += \"file \";\nreturn 7;\n");
    write(
        "kelvane-project.json",
        std::string(R"({"sprites": [)") + box_sprite + R"(, {"name": "small", "width": 4,
        "height": 6, "xoffset": 2, "yoffset": 3, "transparent": false, "precise": true}],
      "backgrounds": [{"name": "sky", "width": 32, "height": 16}],
      "paths": [{"name": "line", "end": 0, "points": [[0, 0], [30, 40]]}],
      "scripts": [{"name": "twice", "code": "return argument0 * 2;"}],
      "objects": [{"name": "base", "depth": 5},
        {"name": "mid", "parent": "base", "solid": true},
        {"name": "o", "sprite": "box", "parent": "mid", "events": [)" +
            event("create", 0,
                  {code("global.s = object_get_name(o) + \" \" + string(object_get_parent(o)) "
                        "+ string(object_get_depth(base)) + string(object_get_solid(mid)) + "
                        "string(object_is_ancestor(o, base)) + string(object_is_ancestor(o, o)) "
                        "+ string(object_is_ancestor(99, 0)) + \" \";"
                        "global.s += object_get_name(99) + \" \" + string(object_get_sprite(99)) "
                        "+ \" \";"
                        "global.s += string(sprite_get_width(small)) + "
                        "string(sprite_get_height(small)) + string(sprite_get_xoffset(small)) + "
                        "string(sprite_get_bbox_right(small)) + "
                        "string(sprite_get_number(small)) + string(sprite_exists(5)) + \" \";"
                        "global.s += background_get_name(sky) + string(background_get_width(sky)) "
                        "+ \" \" + room_get_name(0) + \" \" + script_get_text(0) + \" \";"
                        "global.s += string(path_get_length(line)) + string(path_get_end(line)) "
                        "+ \" \" + string(path_get_length(7)) + \" \" + string(sound_exists(0)) "
                        "+ \" \";"
                        "global.s += string(execute_string(\"return twice(argument0 + 20) + "
                        "x;\")) + \" \";"
                        "global.s += string(execute_file(\"more.txt\")) + \" \";"
                        "execute_file(\"missing.txt\");" +
                        std::string(write_s))}) +
            R"(]}],
      "rooms": [{"name": "first", "instances": [{"x": 3, "y": 0, "object": "o"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"),
              "o 15110-1 <undefined> -1 462300 sky32 first return argument0 * 2; 500 -1 0 43 "
              "file 7 ")
        << err;
    EXPECT_NE(err.find("Trying to execute non-existing file."), std::string::npos);
}

TEST_F(GameplayTest, GridSleepAndMessageActions) {
    write("kelvane-project.json",
          std::string(R"({"sprites": [)") + box_sprite + R"(],
      "objects": [{"name": "o", "sprite": "box", "events": [)" +
              event("create", 0,
                    {code("x = 13; y = 27; global.s = \"\";"), action(40, {"10", "10"}),
                     action(64, {"10", "10"}), code("global.s += string(x) + \",\" + string(y);"),
                     action(64, {"10", "10"}, true), code("global.s += \" not snapped\";"),
                     action(5, {"16", "32"}),
                     code("global.s += \" \" + string(x mod 16 == 0 && y mod 32 == 0);"),
                     action(23, {"5", "1"}), action(18, {"Hello#world"}), code(write_s)}) +
              R"(]}],
      "rooms": [{"name": "r", "width": 160, "height": 120, "instances": [{"x": 0, "y": 0, "object": "o"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "10,30 1");
    // Headless, the message dialog writes its text to stderr.
    EXPECT_NE(err.find("Hello\nworld"), std::string::npos) << err;
}

TEST_F(GameplayTest, ManyInstancesCollideInListOrderAfterMoves) {
    // Thirty probes in a row and thirty targets between them, created right to left. A
    // probe sends each target it meets 20 pixels on, where later probes meet it again.
    std::string instances;
    for (int k = 29; k >= 0; --k)
        instances += R"({"x": )" + std::to_string(10 * k + 5) +
                     R"(, "y": 0, "object": "target", "id": )" + std::to_string(200000 + k) + "},";
    for (int k = 0; k < 30; ++k)
        instances += R"({"x": )" + std::to_string(10 * k) +
                     R"(, "y": 0, "object": "probe", "id": )" + std::to_string(300000 + k) + "}" +
                     (k < 29 ? "," : "");
    write(
        "kelvane-project.json",
        std::string(R"({"sprites": [)") + box_sprite + R"(],
      "objects": [{"name": "target", "sprite": "box"},
        {"name": "probe", "sprite": "box", "events": [)" +
            event(
                "collision", 0,
                {code(
                    "global.s += string(id - 300000) + \":\" + string(other.id - 200000) + \" \"; "
                    "other.x += 20;")}) +
            "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "creation_code": "global.s = \"\";", "instances": [)" +
            instances + "]}]}");
    ASSERT_EQ(run(1), 0) << err;
    // The same rule on the boxes along the row: probes in list order, for each the targets
    // in list order, as they stand at that moment.
    std::string expected;
    int left[30];
    for (int m = 0; m < 30; ++m) left[m] = 10 * m + 5;
    for (int k = 0; k < 30; ++k)
        for (int m = 29; m >= 0; --m)
            if (left[m] <= 10 * k + 9 && 10 * k <= left[m] + 9) {
                expected += std::to_string(k) + ":" + std::to_string(m) + " ";
                left[m] += 20;
            }
    EXPECT_EQ(read("out.txt"), expected);
}
