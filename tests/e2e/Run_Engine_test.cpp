// Whole games run headless: event order, alarms, motion, action lists, error reports.
#include "Game_Runner.h"

using namespace kelvane::e2e;

TEST_F(GameTest, EventOrderWithinSteps) {
    auto ev = [](const std::string& type, int number, const std::string& text) {
        return R"({"type": ")" + type + R"(", "number": )" + std::to_string(number) +
               R"(, "actions": [)" + code(text) + "]}";
    };
    write("kelvane-project.json",
          R"({
      "objects": [
        {"name": "init", "events": [)" +
              ev("create", 0, "global.log = \"\";") + R"(]},
        {"name": "a", "events": [)" +
              ev("create", 0, "global.log += \"create\" + string(id) + \";\"; alarm[0] = 2;") +
              "," + ev("step", 1, "global.log += \"b;\";") + "," +
              ev("step", 0, "global.log += \"s;\";") + "," +
              ev("step", 2, "global.log += \"e;\";") + "," +
              ev("alarm", 0, "global.log += \"a\" + string(id) + \";\";") + "," +
              ev("draw", 0, "global.log += \"d;\";") + "," +
              ev("other", 2, "global.log += \"gs;\";") + "," +
              ev("other", 4, "global.log += \"rs;\";") + "," +
              ev("other", 5, "global.log += \"re;\";") + "," +
              ev("other", 3, "global.log += \"ge;\";") + R"(]},
        {"name": "z", "events": [)" +
              ev("other", 3,
                 "file_open_write(\"out.txt\"); file_write_string(global.log); file_close();") +
              R"(]}
      ],
      "rooms": [{"name": "r", "instances": [
        {"x": 0, "y": 0, "object": "init", "id": 100001},
        {"x": 0, "y": 0, "object": "a", "id": 100002},
        {"x": 0, "y": 0, "object": "a", "id": 100003},
        {"x": 0, "y": 0, "object": "z", "id": 100004}]}]
    })");
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_EQ(read("out.txt"), "create100002;create100003;gs;gs;rs;rs;d;d;"
                               "b;b;s;s;e;e;d;d;"
                               "b;b;a100002;a100003;s;s;e;e;d;d;"
                               "b;b;s;s;e;e;d;d;"
                               "re;re;ge;ge;");
}
