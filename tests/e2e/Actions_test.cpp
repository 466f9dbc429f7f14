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
