// A game made of actions only: motion, alarms, score, questions on instance counts.
#include "Game_Runner.h"

using namespace kelvane::e2e;

TEST_F(GameTest, AGameMadeOfActions) {
    auto relative = [](std::string a) { return a.insert(a.size() - 1, R"(, "relative": true)"); };
    write(
        "kelvane-project.json",
        R"({"objects": [{"name": "o", "events": [)" +
            event("create", 0, {action(11, {"0", "2"}), action(12, {"3", "0"})}) + "," +
            event("alarm", 0, {relative(action(19, {"5"})), action(7, {"0"})}) + "," +
            event("step", 0,
                  {action(26, {"o", "1", "0"}), relative(action(19, {"1"})),
                   action(26, {"o", "1", "2"}), action(19, {"1000"})}) +
            "," +
            event("other", 3,
                  {code("global.s = string(score) + \" \" + string(x);" + std::string(write_s))}) +
            R"(]}], "rooms": [{"name": "r", "instances": [{"x": 10, "y": 10, "object": "o"}]}]})");
    ASSERT_EQ(run(5), 0) << err;
    // +1 in every step, +5 when the alarm fires in step 3, which also stops the motion.
    EXPECT_EQ(read("out.txt"), "10 14");
}

TEST_F(GameTest, NearestFurthestDistancesSnappingAndCopies) {
    write(
        "kelvane-project.json",
        R"({"sprites": [{"name": "box", "transparent": false, "precise": false, "width": 10, "height": 10}],
      "objects": [{"name": "t", "sprite": "box"}, {"name": "o", "sprite": "box", "events": [)" +
            event("create", 0,
                  {code("global.s = string(instance_nearest(0, 0, t)) + \" \" + "
                        "string(instance_furthest(0, 0, t)) + \" \";"
                        "global.s += string(instance_nearest(0, 0, 100003)) + \" \";"
                        "global.s += string(distance_to_point(x + 15, y)) + \" \" + "
                        "string(distance_to_object(t)) + \" \";"
                        "x = 13; move_snap(10, 10); global.s += string(x) + "
                        "string(place_snapped(10, 10)) + \" \";"
                        "c = instance_copy(false); global.s += string(c) + \" \" + "
                        "string(instance_number(o));" +
                        std::string(write_s))}) +
            R"(]}], "rooms": [{"name": "r", "instances": [
        {"x": 100, "y": 0, "object": "t", "id": 100002}, {"x": 30, "y": 0, "object": "t", "id": 100003},
        {"x": 0, "y": 40, "object": "o", "id": 100004}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    // Boxes are 10 x 10 (0 ... 9 from the origin): o's box (0..9, 40..49) is 21 beside and
    // 31 below the box of t at (30, 0): sqrt(21^2 + 31^2) = 37.44.
    EXPECT_EQ(read("out.txt"), "100003 100002 -4 6 37.44 101 100005 2");
}
