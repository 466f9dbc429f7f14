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

TEST_F(GameTest, ActionListsWithQuestionsElseBlocksRepeatAndExit) {
    auto add = [](const std::string& s) { return code("global.s += \"" + s + "\";"); };
    std::vector<std::string> list = {
        code("global.s = \"\";"),
        action(30, {"0"}),
        add("A"),
        action(31),
        add("B"), // false question: else runs
        action(59, {"3"}),
        action(32),
        add("C"),
        add("D"),
        action(33), // repeat a block
        action(30, {"1"}, true),
        add("E"), // NOT flag turns true to false
        action(30, {"0"}),
        action(30, {"1"}),
        add("X"),
        action(31),
        add("Y"), // else of A
        action(59, {"0"}),
        add("Z"), // repeat 0 skips
        action(24),
        add("W"), // exit
    };
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" + event("create", 0, list) + "," +
              event("other", 3, {code(write_s)}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "BCDCDCDY");
}

TEST_F(GameTest, MotionFrictionGravityAndDirection) {
    write(
        "kelvane-project.json",
        R"({"objects": [
      {"name": "f", "events": [)" +
            event("create", 0, {code("speed = 2; direction = 90; friction = 0.5;")}) + R"(]},
      {"name": "g", "events": [)" +
            event("create", 0, {code("gravity = 1;")}) + R"(]},
      {"name": "w", "events": [)" +
            event("other", 3,
                  {code("global.s = string(f.y) + \" \" + string(f.speed) + \" \" + string(g.y) + "
                        "\" \" + string(g.vspeed) + \" \";"
                        "hspeed = -3; vspeed = 3; global.s += string(direction) + \" \" + "
                        "string(speed) + \" \";"
                        "direction = -90; global.s += string(direction) + \" \" + string(vspeed);" +
                        std::string(write_s))}) +
            R"(]}],
      "rooms": [{"name": "r", "instances": [{"x": 10, "y": 100, "object": "f"}, {"x": 0, "y": 0, "object": "g"},
                                            {"object": "w"}]}]})");
    ASSERT_EQ(run(4), 0) << err;
    // f: speed 1.5, 1, 0.5, 0 moves up 3; g: falls 1 + 2 + 3 + 4.
    EXPECT_EQ(read("out.txt"), "97 0 10 4 225 4.24 270 4.24");
}

TEST_F(GameTest, ParentEventsAreInheritedUnlessOverridden) {
    std::string step = code("global.s += string(object_index);");
    write("kelvane-project.json", R"({"objects": [
      {"name": "p", "events": [)" + event("step", 0, {step}) +
                                      R"(]},
      {"name": "c", "parent": "p"},
      {"name": "d", "parent": "p", "events": [)" +
                                      event("step", 0, {code("global.s += \"d\";")}) + R"(]},
      {"name": "init", "events": [)" + event("create", 0, {code("global.s = \"\";")}) +
                                      "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "init"}, {"object": "d"}, {"object": "c"}, {"object": "p"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    // Objects in ascending order: p (0), c (1), d (2).
    EXPECT_EQ(read("out.txt"), "01d01d");
}

TEST_F(GameTest, RoomChangesStopActionListsAndCarryPersistentInstances) {
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "p", "persistent": true, "events": [)" +
              event("create", 0, {code("global.s = \"\";")}) + "," +
              event("other", 4,
                    {code("global.s += \"rs\" + string(room) + string(instance_count) + \";\";")}) +
              "," +
              event("step", 0,
                    {code("global.s += string(room) + \";\"; if room == 0 room = 1;"),
                     code("global.s += \"after;\";")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r0", "instances": [{"object": "p"}]}, {"name": "r1"}]})");
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_EQ(read("out.txt"), "rs01;0;rs11;1;after;1;after;");
}

TEST_F(GameTest, LivesDroppingToZeroRaisesNoMoreLivesOnce) {
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "o", "events": [)" +
              event("create", 0, {code("global.s = \"\"; lives = 1;")}) + "," +
              event("step", 0, {code("global.s += string(lives) + \";\"; lives -= 1;")}) + "," +
              event("other", 6, {code("global.s += \"none;\";")}) + "," +
              event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_EQ(read("out.txt"), "1;none;0;-1;");
}

TEST_F(GameTest, ErrorsAreLoggedAndAbortEndsTheGameWithStatusTwo) {
    auto project = [&](bool abort) {
        write("kelvane-project.json",
              std::string(
                  R"({"options": {"show_errors": false, "log_errors": true, "abort_on_error": )") +
                  (abort ? "true" : "false") + R"(}, "objects": [
          {"name": "obj_err", "events": [)" +
                  event("step", 0, {code("global.s = 1;"), code("x = nosuch;")}) + R"(]}],
          "rooms": [{"name": "r", "instances": [{"object": "obj_err"}]}]})");
    };
    project(false);
    ASSERT_EQ(run(2), 0) << err;
    std::string log = read("game_errors.log");
    std::string head =
        "ERROR in\r\naction number 2\r\nof Step Event\r\nfor object obj_err:\r\n\r\n";
    EXPECT_EQ(log.substr(0, head.size()), head) << log;
    EXPECT_NE(log.find("Unknown variable or function: nosuch"), std::string::npos) << log;
    // Two steps, two entries; the first error of the run replaced any old log.
    EXPECT_EQ(log.find(head, head.size()) != std::string::npos, true);

    project(true);
    EXPECT_EQ(run(5), 2) << err;
    log = read("game_errors.log");
    EXPECT_EQ(log.substr(0, 15), "FATAL ERROR in\r");
    EXPECT_EQ(log.find("FATAL", 5), std::string::npos) << "one fatal error ends the game";
}

TEST_F(GameTest, CreationIdsDestroyAndPurge) {
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "spawner", "events": [)" +
              event("create", 0,
                    {code("global.s = \"\"; a = instance_create(0, 0, b); global.s += string(a) + "
                          "\";\";")}) +
              "," +
              event("step", 0,
                    {code("global.s += string(instance_number(b)) + string(instance_count) + "
                          "\";\"; with (b) instance_destroy();")}) +
              "," +
              event("step", 2, {code("global.s += \"e\" + string(instance_count) + \";\";")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]},
      {"name": "b", "events": [)" +
              event("create", 0, {code("global.s += \"bc\" + string(id) + \";\";")}) + "," +
              event("destroy", 0, {code("global.s += \"bd;\";")}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "spawner", "id": 100001}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    // Destroyed instances count until the purge at the end of the step.
    EXPECT_EQ(read("out.txt"), "bc100002;100002;12;bd;e2;01;e1;");
}

TEST_F(GameTest, InheritedEventsRunTheParentsEvent) {
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "p", "events": [)" +
              event("step", 0, {code("global.s += \"P\" + string(event_object);")}) + R"(]},
      {"name": "c", "parent": "p", "events": [)" +
              event("create", 0, {code("global.s = \"\";")}) + "," +
              event("step", 0,
                    {code("global.s += \"C\"; event_inherited(); global.s += \"c\" + "
                          "string(event_object);")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "c"}]}]})");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "CP0c1");
}

TEST_F(GameTest, InstancesFollowPathsAndRaiseTheEndOfPath) {
    write("kelvane-project.json",
          R"({"paths": [{"name": "line", "end": 0, "points": [[0, 0], [100, 0]]}],
      "objects": [{"name": "o", "events": [)" +
              event("create", 0, {code("global.s = \"\"; path_index = line; speed = 10;")}) + "," +
              event("other", 8, {code("global.s += \"end\" + string(x) + \";\";")}) + "," +
              event("other", 3,
                    {code("global.s += string(x) + \" \" + string(path_position);" +
                          std::string(write_s))}) +
              R"(]}],
      "rooms": [{"name": "r", "instances": [{"x": 50, "y": 50, "object": "o"}]}]})");
    ASSERT_EQ(run(12), 0) << err;
    // Ten additions of 0.1 stay just below 1, so the end is crossed in the 11th step,
    // before that step's move; the path is clamped at its end after that.
    EXPECT_EQ(read("out.txt"), "end150;150 1.20");
}

TEST_F(GameTest, PersistentRoomsKeepTheirInstances) {
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "counter", "events": [)" +
              event("create", 0, {code("n = 0; global.s += \"c;\";")}) + "," +
              event("other", 4,
                    {code("n += 1; global.s += string(room) + \":\" + string(n) + \";\";")}) +
              R"(]},
      {"name": "boss", "persistent": true, "events": [)" +
              event("create", 0, {code("global.s = \"\"; t = 0;")}) + "," +
              event("step", 0, {code("t += 1; if t == 1 room_goto(1); if t == 2 room_goto(0);")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "kept", "persistent": true, "instances": [{"object": "boss"}, {"object": "counter"}]},
                {"name": "other", "instances": [{"object": "counter"}]}]})");
    ASSERT_EQ(run(3), 0) << err;
    // Room 0 is kept: back in it, its counter has no new creation event and counts on.
    EXPECT_EQ(read("out.txt"), "c;0:1;c;1:1;0:2;");
}

TEST_F(GameTest, ScriptedKeysReachKeyboardAndKeyPressEvents) {
    write("input.txt", "1 key-down 37\n2 key-down 32\n2 key-up 32\n3 key-up 37\n4 char Hi\n");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("create", 0, {code("global.s = \"\";")}) + "," +
              event("keyboard", 37, {code("x -= 1;")}) + "," +
              event("keypress", 32, {code("global.s += \"space;\";")}) + "," +
              event("other", 3,
                    {code("global.s += string(x) + keyboard_string;" + std::string(write_s))}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"x": 10, "object": "o"}]}]})");
    ASSERT_EQ(run(5, "--input input.txt"), 0) << err;
    // Left is held during steps 1 and 2 (keyboard events go on while a key is held).
    EXPECT_EQ(read("out.txt"), "space;8Hi");
}

TEST_F(GameTest, GoingToARoomThatDoesNotExistIsFatal) {
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true}, "objects": [
      {"name": "o", "events": [)" +
              event("create", 0, {code("global.s = \"\";")}) + "," +
              event("step", 0,
                    {code("x = nosuch;"),
                     code("global.s += string(error_occurred) + \";\"; room_goto(7);"),
                     code("global.s += \"never;\";")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    EXPECT_EQ(run(5), 2) << err;
    EXPECT_EQ(read("out.txt"), "1;"); // the game end still runs
    std::string log = read("game_errors.log");
    EXPECT_NE(log.find("FATAL ERROR in\r\naction number 2\r\nof Step Event\r\nfor object o:\r\n\r\n"
                       "Unexisting room number: 7"),
              std::string::npos)
        << log;
}

// A room too large for a drawing buffer (2^24 pixels at most; a damaged game file may
// claim 16384 x 16384, 2 GB) is reported, and the game goes on with the buffer it had.
TEST_F(GameTest, ARoomTooLargeToDrawIsReportedAndTheGameGoesOn) {
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("other", 3,
                    {code("file_open_write(\"log.txt\"); file_write_string(string(screen_width) "
                          "+ \" \" + string(room_width)); file_close();")}) +
              R"(]}], "rooms": [{"name": "r", "width": 16384, "height": 16384,
              "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_EQ(read("log.txt"), "640 16384");
    EXPECT_NE(err.find("Cannot make a drawing buffer of 16384 x 16384 pixels for the room"),
              std::string::npos)
        << err;
}
