// Recording a session and replaying it: the same frames and the same files, every time;
// and the virtual clock, under which sleeping takes no time.
#include "Game_Runner.h"

#include <chrono>
#include <csignal>
#include <map>

using namespace kelvane::e2e;

namespace {

class RecordReplay : public GameTest {
  protected:
    // Runs the project in `dir` with the given options; the exit status, stderr in `err`.
    int kelvane(const std::string& options) {
        std::string cmd = "cd '" + dir.string() + "' && XDG_DATA_HOME='" + (dir / "data").string() +
                          "' '" + KELVANE_BINARY + "' run " + options +
                          " . 2> stderr.txt > /dev/null";
        int raw = std::system(cmd.c_str());
        err = read("stderr.txt");
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    // Every frame file of a folder, by name.
    std::map<std::string, std::string> frames(const std::string& folder) {
        std::map<std::string, std::string> out;
        for (const auto& f : fs::directory_iterator(dir / folder))
            out[f.path().filename().string()] = read(folder + "/" + f.path().filename().string());
        return out;
    }
};

// A game that reads the keyboard, the mouse, random numbers and the time in every step,
// draws what it read, and writes it all to out.txt at its end.
const std::string reader_game =
    R"({"objects": [{"name": "o", "events": [)" + event("create", 0, {code("global.s = \"\";")}) +
    ", " + event("step", 0, {code(R"(
        io_handle(); // window input read inside a step
        global.s += string(current_time) + " " + string(floor(random(1000))) + " " +
                    string(mouse_x) + "," + string(mouse_y) + " " + string(keyboard_key) + " " +
                    string(mouse_button) + " " + keyboard_string + " " +
                    string(current_year) + "-" + string(current_second) + ";";)")}) +
    ", " + event("keypress", 32, {code("global.s += \"[space]\";")}) + ", " +
    event("draw", 0, {code(R"(
        brush_color = floor(random(16777215));
        draw_rectangle(mouse_x, mouse_y, mouse_x + 10, mouse_y + 10);
        draw_rectangle(current_time mod 100, 50, current_time mod 100 + 5, 55);)")}) +
    ", " + event("other", 3, {code(write_s)}) +
    R"(]}], "rooms": [{"name": "r", "speed": 30, "width": 160, "height": 120,
        "instances": [{"object": "o"}]}]})";

} // namespace

TEST_F(RecordReplay, ARecordedSessionReplaysToTheSameFramesAndFiles) {
    write("kelvane-project.json", reader_game);
    write("in.txt", "2 mouse-move 10 20\n3 key-down 32\n3 char a\n4 key-up 32\n"
                    "5 mouse-down 1\n6 mouse-up 1\n7 mouse-move 30 40\n8 char b\n");
    ASSERT_EQ(kelvane("--headless --steps 12 --input in.txt --record rec.txt --frames f0"), 0)
        << err;
    std::string recording = read("rec.txt");
    EXPECT_EQ(recording.rfind("# kelvane recording version=", 0), 0u) << recording;
    EXPECT_NE(recording.find(" steps=12"), std::string::npos) << recording;
    EXPECT_NE(recording.find("\n3 key-down 32\n3 char a\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find("\n7 mouse-move 30 40\n"), std::string::npos) << recording;
    std::string played = read("out.txt");
    EXPECT_NE(played.find("[space]"), std::string::npos) << played;
    EXPECT_NE(played.find(" 30,40 "), std::string::npos) << played;
    EXPECT_NE(played.find("2000-"), std::string::npos) << "the virtual date: " << played;

    ASSERT_EQ(kelvane("--headless --replay rec.txt --frames f1"), 0) << err;
    EXPECT_EQ(read("out.txt"), played);
    ASSERT_EQ(kelvane("--headless --replay rec.txt --frames f2"), 0) << err;
    EXPECT_EQ(read("out.txt"), played);
    auto recorded = frames("f0");
    EXPECT_EQ(recorded.size(), 13u); // the room start and 12 steps
    EXPECT_TRUE(recorded == frames("f1"));
    EXPECT_TRUE(recorded == frames("f2"));

    // Two recordings without a seed differ in their clock, so in their random numbers.
    ASSERT_EQ(kelvane("--headless --steps 12 --input in.txt --record rec2.txt"), 0) << err;
    EXPECT_NE(read("rec2.txt").substr(0, 80), recording.substr(0, 80));
}

TEST_F(RecordReplay, TheAnswersToTheGamesBoxesAreRecordedAndReplayed) {
    // Boxes asked at steps 2, 4 and 5, their answers mixed with the keys the game reads.
    const std::string game = R"({"objects": [{"name": "o", "events": [)" +
                             event("create", 0, {code("global.s = \"\"; global.n = 0;")}) + ", " +
                             event("step", 0, {code(R"(
            global.n += 1;
            global.s += string(keyboard_key) + " ";
            if (global.n == 2) global.s += get_string("Name?", "Bob") + ";";
            if (global.n == 4) global.s += string(show_message_ext("Pick", "a", "b", "c")) + ";";
            if (global.n == 5) global.s += string(show_menu("x|-|y|z", -7)) + ";";)")}) +
                             ", " + event("other", 3, {code(write_s)}) +
                             R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})";
    write("kelvane-project.json", game);
    write("in.txt", "1 key-down 65\n3 key-up 65\n4 key-down 66\n");
    write("answers.txt", "Ada \\ Lovelace\nc\n2\n");
    ASSERT_EQ(kelvane("--headless --steps 7 --input in.txt --answers answers.txt --record rec.txt"),
              0)
        << err;
    const std::string played = read("out.txt");
    EXPECT_NE(played.find("65 Ada \\ Lovelace;"), std::string::npos) << played;
    EXPECT_NE(played.find("66 3;"), std::string::npos) << played;
    EXPECT_NE(played.find(" 2;"), std::string::npos) << played;
    std::string recording = read("rec.txt");
    EXPECT_NE(recording.find("\n2 answer Ada \\\\ Lovelace\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find("\n4 answer c\n"), std::string::npos) << recording;
    EXPECT_NE(recording.find("\n5 answer 2\n"), std::string::npos) << recording;

    // The replay needs no answers file: the recording answers the boxes.
    ASSERT_EQ(kelvane("--headless --replay rec.txt"), 0) << err;
    EXPECT_EQ(read("out.txt"), played);
    // An input file may hold answers too.
    write("in2.txt", "1 key-down 65\n2 answer Zoe\n");
    ASSERT_EQ(kelvane("--headless --steps 3 --input in2.txt"), 0) << err;
    EXPECT_EQ(read("out.txt").rfind("65 65 Zoe;", 0), 0u) << read("out.txt");
}

TEST_F(RecordReplay, JoysticksAreScriptedRecordedAndReplayed) {
    const std::string game = R"({"objects": [{"name": "o", "events": [)" +
                             event("create", 0, {code("global.s = \"\";")}) + ", " +
                             event("step", 0, {code(R"(
            global.s += string(joystick_exists(1)) + " " + string(joystick_xpos(1)) + " " +
                        string(joystick_check_button(1, 1)) + " " + string(joystick_exists(2)) + ";";)")}) +
                             ", " + event("other", 3, {code(write_s)}) +
                             R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})";
    write("kelvane-project.json", game);
    write("in.txt", "2 joystick 1 65535 32767 32767 1\n4 joystick 1 none\n");
    ASSERT_EQ(kelvane("--headless --steps 4 --input in.txt --record rec.txt"), 0) << err;
    const std::string played = read("out.txt");
    EXPECT_EQ(played, "0 0 0 0;1 1.00 1 0;1 1.00 1 0;0 0 0 0;");
    std::string recording = read("rec.txt");
    EXPECT_NE(recording.find("\n2 joystick 1 65535 32767 32767 1\n4 joystick 1 none\n"),
              std::string::npos)
        << recording;
    ASSERT_EQ(kelvane("--headless --replay rec.txt"), 0) << err;
    EXPECT_EQ(read("out.txt"), played);
}

TEST_F(RecordReplay, AStoppedRunLeavesItsRecording) {
    write("kelvane-project.json", reader_game);
    write("in.txt", "1 key-down 65\n2 key-up 65\n3 char q\n");
    // The game runs until it is stopped; what it received is in the file all the same.
    std::string cmd = "cd '" + dir.string() + "' && XDG_DATA_HOME='" + (dir / "data").string() +
                      "' '" + KELVANE_BINARY +
                      "' run --headless --input in.txt --record rec.txt . 2>/dev/null & "
                      "pid=$!; sleep 2; kill -TERM $pid; wait $pid";
    int raw = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 128 + SIGTERM) << "the signal still ends the program";
    std::string recording = read("rec.txt");
    EXPECT_NE(recording.find("\n1 key-down 65\n2 key-up 65\n3 char q\n"), std::string::npos)
        << recording;
}

TEST_F(RecordReplay, AnotherGameFileIsNamedInAWarning) {
    write("kelvane-project.json", reader_game);
    ASSERT_EQ(kelvane("--headless --steps 3 --seed 5 --record rec.txt"), 0) << err;
    EXPECT_NE(read("rec.txt").find(" seed=5"), std::string::npos);
    ASSERT_EQ(kelvane("--headless --replay rec.txt"), 0) << err;
    EXPECT_EQ(err.find("warning"), std::string::npos) << err;
    std::string same = read("out.txt");
    std::string other = reader_game;
    other.replace(other.find("\"width\": 160"), 12, "\"width\": 161");
    write("kelvane-project.json", other);
    ASSERT_EQ(kelvane("--headless --replay rec.txt"), 0) << err;
    EXPECT_NE(err.find("warning: the recording was made with another game file"), std::string::npos)
        << err;
}

TEST_F(RecordReplay, UnderTheVirtualClockSleepingTakesNoTime) {
    // 100 steps of two seconds of sleep each: the function and the action.
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("step", 0, {code("sleep(1000);"), action(23, {"1000", "0"})}) + ", " +
              event("other", 3,
                    {code("global.s = string(current_time) + \" \" + string(current_day) + \" \" "
                          "+ string(current_hour) + \":\" + string(current_minute); " +
                          std::string(write_s))}) +
              R"(]}], "rooms": [{"name": "r", "speed": 50, "instances": [{"object": "o"}]}]})");
    auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(kelvane("--headless --deterministic --steps 100"), 0) << err;
    auto took = std::chrono::steady_clock::now() - start;
    // 100 x (2000 + 20) ms of game time: 3 minutes 22 seconds on the first of January.
    EXPECT_EQ(read("out.txt"), "202000 1 0:3");
    EXPECT_LT(took, std::chrono::seconds(60)) << "a generous bound: the sleeps alone are 200 s";
}

TEST_F(RecordReplay, BadRecordingsAndOptionsAreRefused) {
    write("kelvane-project.json", reader_game);
    write("plain.txt", "1 key-down 32\n");
    write("bad.txt", "# kelvane recording game=1 clock=0\n1 jump 3\n");
    write("good.txt", "# kelvane recording game=1 clock=0\n");
    struct Case {
        const char* options;
        int status;
        const char* why;
    } cases[] = {
        {"--headless --replay missing.txt", 1, "missing.txt: cannot be read"},
        {"--headless --replay plain.txt", 1, "not a recording"},
        {"--headless --replay bad.txt", 1, "line 2: unknown event \"jump\""},
        {"--headless --record /nonexistent-folder/r.txt", 1, "cannot record into"},
        {"--headless --replay good.txt --seed 3", 2, "leave out --seed"},
        {"--headless --replay good.txt --input plain.txt", 2, "cannot go together"},
        {"--replay good.txt", 2, "--replay goes with --headless"},
        {"--headless --replay answered.txt --answers plain.txt", 2,
         "the recording holds answers; leave out --answers"},
    };
    write("answered.txt", "# kelvane recording game=1 clock=0\n1 answer Yes\n");
    for (const auto& c : cases) {
        EXPECT_EQ(kelvane(c.options), c.status) << c.options;
        EXPECT_NE(err.find(c.why), std::string::npos) << c.options << ": " << err;
    }
}
