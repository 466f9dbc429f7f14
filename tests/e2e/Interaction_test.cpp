// Games that talk to the player: the input queries, boxes answered through --answers, the
// high-score table, the game information.
#include "Picture_Game.h"

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

TEST_F(GameTest, AQuestionAnsweredNoTakesTheElseBranchAndClearsTheKeys) {
    write("answers.txt", "No\nYes\n");
    write("input.txt", "1 key-down 65\n");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("step", 0,
                    {code("global.s = string(keyboard_check(65));"), action(29, {"Go on?#Sure?"}),
                     code("global.s += \"yes\";"), action(31), code("global.s += \"no\";"),
                     action(29, {"Again?"}),
                     code("global.s += \"yes\" + string(keyboard_check(65));"), code(write_s)}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "--input input.txt --answers answers.txt"), 0) << err;
    EXPECT_EQ(read("out.txt"), "1noyes0");
    EXPECT_NE(err.find("Go on?\nSure?"), std::string::npos) << err;
}

TEST_F(GameTest, InputBoxesReturnTheTypedTextAndWithoutAnswersTheirDefaults) {
    write("answers.txt", "Ada Lovelace\nabc\n2\n");
    const std::string game =
        R"({"objects": [{"name": "o", "events": [)" +
        event("create", 0,
              {code("global.s = get_string(\"Name?\", \"Bob\") + \";\" + "
                    "string(get_integer(\"Age\", 20)) + \";\" + "
                    "string(show_message_ext(\"Pick\", \"a\", \"b\", \"c\")) + \";\" + "
                    "string(show_question(\"Sure?\"));" +
                    std::string(write_s))}) +
        R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})";
    write("kelvane-project.json", game);
    ASSERT_EQ(run(1, "--answers answers.txt"), 0) << err;
    // "abc" is no integer: the default. The answers have run out by the question, which
    // then answers as in exclusive mode.
    EXPECT_EQ(read("out.txt"), "Ada Lovelace;20;2;1");
    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), ";0;0;1");
}

TEST_F(GameTest, TheHighScoreTableShowsTheNewEntryAndStoresTheTypedName) {
    write("answers.txt", "Zed\n");
    write(
        "kelvane-project.json",
        R"({"game_id": 4242, "objects": [{"name": "o", "events": [)" +
            event("step", 0,
                  {code("highscore_clear(); highscore_add(\"Ann\", 300); score = 200;"), action(20),
                   code("global.s = highscore_name(1) + highscore_name(2) + "
                        "string(highscore_value(2)) + highscore_name(3);" +
                        std::string(write_s))}) +
            R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "--answers answers.txt --frames frames"), 0) << err;
    EXPECT_EQ(read("out.txt"), "AnnZed200<nobody>");
    std::string store = read("data/kelvane/registry.txt");
    EXPECT_NE(store.find("Zed"), std::string::npos) << store;
    // The table, centred on the 640 x 480 picture, shows the new entry (row 2) in the
    // new-entry colour (red) and the others in black.
    auto frame = picture_file(dir / "frames" / "frame-000001-box-1.png");
    ASSERT_TRUE(frame);
    auto count = [&](int32_t top, uint32_t colour) {
        int n = 0;
        for (int32_t y = top; y < top + 24; ++y)
            for (int32_t x = 140 + 3 + 48; x < 140 + 3 + 257; ++x)
                n += frame->pixel(x, y) == colour;
        return n;
    };
    const int32_t client_top = 40 + 3 + 18;
    EXPECT_GT(count(client_top + 48 + 32, 0x0000FF), 20);
    EXPECT_EQ(count(client_top + 48 + 32, 0x000000), 0);
    EXPECT_GT(count(client_top + 48, 0x000000), 20);
}

TEST_F(GameTest, F1ShowsTheGameInformationAndEscClosesIt) {
    write("answers.txt", "\n");
    write("input.txt", "1 key-down 65\n1 key-down 112\n");
    write(
        "kelvane-project.json",
        R"({"information": {"color": 65280, "help_in_window": true, "text": "{\\rtf1 Hello\\par}"},
      "objects": [{"name": "o", "events": [)" +
            event("step", 0,
                  {code("global.s = string(keyboard_check(65));" + std::string(write_s))}) +
            R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "--input input.txt --answers answers.txt --frames frames"), 0) << err;
    EXPECT_EQ(read("out.txt"), "0"); // the keys are clear after the window
    auto frame = picture_file(dir / "frames" / "frame-000001-box-1.png");
    ASSERT_TRUE(frame);
    // Over the whole picture: the green background, black text at the top left.
    EXPECT_EQ(frame->pixel(300, 300), 0x00FF00u);
    int black = 0;
    for (int32_t y = 0; y < 24; ++y)
        for (int32_t x = 0; x < 60; ++x) black += frame->pixel(x, y) == 0;
    EXPECT_GT(black, 20);
}

// The choosers answered from the answers file: a colour, a file to open (a Windows name in
// another letter case), a new file to save, a folder; empty lines cancel. Without answers
// nothing is shown and the functions give 0 and empty names.
TEST_F(GameTest, TheChoosersTakeTheirAnswersAndCancel) {
    write("data/a.txt", "hello");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("step", 0,
                    {code("f = get_open_filename(\"Text|*.txt\", \"\");"
                          "global.s = string(get_color(c_red)) + \";\" + string(get_color(c_red))"
                          " + \";\" + f + \";\" + string(file_exists(f)) + \";\""
                          " + get_save_filename(\"\", \"new.txt\") + \";\" + get_directory(\"\")"
                          " + \";\" + get_open_filename(\"\", \"\");" +
                          std::string(write_s))}) +
              R"(]}], "rooms": [{"name": "rm", "instances": [{"object": "o"}]}]})");
    // The colour comes first in the answers, though the file is asked for first.
    write("answers.txt", "data\\A.TXT\n#00FF00\n\nNEW.txt\ndata\n\n");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--answers answers.txt --frames frames"), 0) << err;
    std::string windows = "C:" + fs::canonical(dir).string();
    std::replace(windows.begin(), windows.end(), '/', '\\');
    // A new file keeps its name as typed.
    EXPECT_EQ(read("out.txt"), "65280;-1;" + windows + "\\data\\a.txt;1;" + windows + "\\NEW.txt;" +
                                   windows + "\\data;");
    // The colour chooser drawn with its answer: the sample shows the green.
    auto frame = picture_file(dir / "frames" / "frame-000001-box-2.png");
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->pixel(420, 160), 0x00FF00u);

    ASSERT_EQ(run(1), 0) << err;
    EXPECT_EQ(read("out.txt"), "0;0;;0;;;");
}

// Headless, a video shows nothing and returns at once, even one that loops for ever; a
// missing file or one that is no video does nothing either.
TEST_F(GameTest, VideosReturnAtOnceHeadless) {
    std::string clip = "YUV4MPEG2 W4 H4 F10:1 Ip A1:1 C444\n";
    for (int i = 0; i < 3; ++i) clip += "FRAME\n" + std::string(48, char(16 + 60 * i));
    write("clip.y4m", clip);
    write("junk.avi", "not a video");
    write("answers.txt", "\n");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("step", 0,
                    {code("show_video(\"clip.y4m\", 0, 1); show_video(\"clip.y4m\", 1, 0);"
                          "show_video(\"missing.avi\", 0, 0); show_video(\"junk.avi\", 1, 1);"
                          "global.s = \"done\";" +
                          std::string(write_s))}) +
              R"(]}], "rooms": [{"name": "rm", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    EXPECT_EQ(read("out.txt"), "done");
    ASSERT_EQ(run(2, "--answers answers.txt"), 0) << err;
    EXPECT_EQ(read("out.txt"), "done");
}
