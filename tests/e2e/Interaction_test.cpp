// Games that talk to the player: the input queries, boxes answered through --answers, the
// high-score table, the game information.
#include "Game_Runner.h"

using namespace kelvane::e2e;

TEST_F(GameTest, InputQueriesSeeTheStepsKeysAndButtons) {
    write("input.txt", "1 key-down 65\n1 char a\n1 mouse-down 1\n2 key-down 66\n2 char b\n");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("create", 0, {code("global.s = \"\"; step_n = 0;")}) + "," +
              event("step", 0,
                    {code("if step_n == 0 {"
                          "global.s += string(keyboard_check(65)) + string(keyboard_check(0)) + "
                          "string(keyboard_check(-1)) + string(keyboard_check(300)) + "
                          "string(keyboard_check_direct(65)) + string(keyboard_check_direct(66));"
                          "global.s += string(mouse_check_button(1)) + "
                          "string(mouse_check_button(0)) + string(mouse_check_button(-1)) + "
                          "string(mouse_check_button(2)) + string(mouse_check_button(4)) + \";\";"
                          "keyboard_clear(65); mouse_clear(1);"
                          "global.s += string(keyboard_check(65)) + string(keyboard_check(0)) + "
                          "string(mouse_check_button(0)) + \";\";"
                          "}"
                          "if step_n == 1 {"
                          "global.s += string(keyboard_check(66)) + string(keyboard_check(-1));"
                          "keyboard_lastkey = 66;"
                          "}"),
                     action(18, {"Hello#there"}),
                     code("if step_n == 1 {"
                          "global.s += \":\" + string(keyboard_lastkey) + keyboard_lastchar + "
                          "keyboard_string + string(keyboard_check(66)) + \";\";"
                          "}"
                          "step_n += 1;")}) +
              "," +
              event("other", 3,
                    {code("global.s += string(joystick_exists(1)) + "
                          "string(joystick_direction(2)) + string(joystick_xpos(1)) + "
                          "string(joystick_check_button(1, 1));" +
                          std::string(write_s))}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2, "--input input.txt"), 0) << err;
    // Step 1 sees A and the left button; cleared, they are gone. Step 2 sees B; the
    // message (its text on stderr) clears the key states but keeps the last key, the last
    // character and the typed text.
    EXPECT_EQ(read("out.txt"), "10101010100;011;11:66bab0;010100");
    EXPECT_NE(err.find("Hello\nthere"), std::string::npos) << err;
}
