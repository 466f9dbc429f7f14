// The run states seen from whole games: a room entered with a transition leaves none
// behind, the game end after the loop reports no errors, and a game that freezes while
// its window is inactive stands still then.
#include "Game_Runner.h"

#include "platform/headless/Headless_Platform.h"
#include "runner/Runner_Form.h"

using namespace kelvane::e2e;

namespace {

// A headless window whose focus follows a plan: inactive during the steps in [from, to].
class UnfocusedDisplay : public kelvane::HeadlessDisplay {
  public:
    UnfocusedDisplay(int64_t from, int64_t to)
        : HeadlessDisplay(kelvane::HeadlessOptions{}), from_(from), to_(to) {}
    void begin_step(int64_t step) override {
        step_ = step;
        HeadlessDisplay::begin_step(step);
    }
    bool has_focus() override { return step_ < from_ || step_ > to_; }

  private:
    int64_t from_, to_, step_ = 0;
};

// Runs the project in `dir` in this process on the given window, for `steps` steps.
int play_here(const fs::path& dir, kelvane::Platform& platform, int64_t steps) {
    fs::path back = fs::current_path();
    fs::current_path(dir);
    kelvane::Runtime rt;
    kelvane::RunOptions options;
    options.headless = true;
    options.steps = steps;
    options.seed = 1;
    int status = kelvane::exit_not_loaded;
    if (rt.temp.create() && kelvane::load_game(rt, platform, dir.string()) &&
        kelvane::prepare_game(rt, platform))
        status = kelvane::play_game(rt, platform, options, dir.string(), dir.string());
    fs::current_path(back);
    return status;
}

} // namespace

TEST_F(GameTest, TransitionKindIsClearedOnceTheNewRoomIsPresented) {
    // Room 0 leaves for room 1 with transition 5; room 1's first step reads the kind.
    write("kelvane-project.json",
          R"({"objects": [
      {"name": "go", "events": [)" +
              event("create", 0, {code("global.s = \"\"; transition_kind = 5; room_goto(1);")}) +
              R"(]},
      {"name": "look", "events": [)" +
              event("other", 4, {code("global.s += \"rs\" + string(transition_kind) + \";\";")}) +
              "," +
              event("step", 0, {code("global.s += \"st\" + string(transition_kind) + \";\";")}) +
              "," + event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r0", "instances": [{"object": "go"}]},
                {"name": "r1", "instances": [{"object": "look"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    // Room start still sees the kind it is entered with; the steps after it see none.
    EXPECT_EQ(read("out.txt"), "rs5;st0;st0;");

    // The transition is shown once, when the room is entered: its pauses come once.
    kelvane::Platform platform = kelvane::make_headless_platform();
    auto* window = static_cast<kelvane::HeadlessDisplay*>(platform.display.get());
    ASSERT_EQ(play_here(dir, platform, 0), 0);
    const size_t once = window->pauses().size();
    EXPECT_GT(once, 0u);
    kelvane::Platform again = kelvane::make_headless_platform();
    window = static_cast<kelvane::HeadlessDisplay*>(again.display.get());
    ASSERT_EQ(play_here(dir, again, 6), 0);
    EXPECT_EQ(window->pauses().size(), once) << "the steps show no further transition";
}

TEST_F(GameTest, ErrorsOfTheGameEndAfterTheLoopAreNeitherShownNorLogged) {
    // The room end and game end events fail; so does a step, which is logged.
    write("kelvane-project.json",
          R"({"options": {"show_errors": true, "log_errors": true}, "objects": [
      {"name": "o", "events": [)" +
              event("step", 0, {code("if error_occurred = 0 x = in_step;")}) + "," +
              event("other", 5, {code("x = in_room_end;")}) + "," +
              event("other", 3, {code("x = in_game_end;")}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    const std::string log = read("game_errors.log");
    EXPECT_NE(log.find("in_step"), std::string::npos) << log;
    EXPECT_EQ(log.find("in_room_end"), std::string::npos) << log;
    EXPECT_EQ(log.find("in_game_end"), std::string::npos) << log;
    EXPECT_EQ(err.find("in_room_end"), std::string::npos) << err;
    EXPECT_EQ(err.find("in_game_end"), std::string::npos) << err;
}

TEST_F(GameTest, RoomEndErrorsOfARoomChangeAreStillReported) {
    // Only the end of the game is silent: leaving a room while the game runs reports.
    write("kelvane-project.json",
          R"({"options": {"show_errors": false, "log_errors": true}, "objects": [
      {"name": "o", "events": [)" +
              event("step", 0, {code("if room == 0 room_goto(1);")}) + "," +
              event("other", 5, {code("x = leaving_room;")}) + R"(]}],
      "rooms": [{"name": "r0", "instances": [{"object": "o"}]}, {"name": "r1"}]})");
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_NE(read("game_errors.log").find("leaving_room"), std::string::npos);
}

TEST_F(GameTest, AGameThatFreezesWhileInactiveStandsStillWithoutTheFocus) {
    auto project = [&](bool freeze) {
        write("kelvane-project.json", std::string(R"({"options": {"freeze_inactive": )") +
                                          (freeze ? "true" : "false") +
                                          R"(}, "objects": [
          {"name": "o", "events": [)" + event("create", 0, {code("global.s = \"\";")}) +
                                          "," + event("step", 0, {code("global.s += \"s\";")}) +
                                          "," + event("other", 3, {code(write_s)}) + R"(]}],
          "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    };
    struct Case {
        bool freeze;
        int64_t from, to; // the steps without the focus
        const char* steps_run;
    } cases[] = {
        {true, 3, 5, "sss"}, // steps 3, 4 and 5 do nothing
        {true, 100, 100, "ssssss"},
        {false, 3, 5, "ssssss"}, // without the option the focus does not matter
        {true, 1, 6, ""},
    };
    for (const Case& c : cases) {
        project(c.freeze);
        kelvane::Platform platform = kelvane::make_headless_platform();
        platform.display = std::make_unique<UnfocusedDisplay>(c.from, c.to);
        ASSERT_EQ(play_here(dir, platform, 6), 0);
        EXPECT_EQ(read("out.txt"), c.steps_run) << c.freeze << " " << c.from;
    }
    // Headless windows are always active: the game runs.
    project(true);
    ASSERT_EQ(run(3), 0) << err;
    EXPECT_EQ(read("out.txt"), "sss");
}

TEST_F(GameTest, WatchesWriteOneLinePerStepWithEachValue) {
    // The score grows by 10 a step; Space (scripted on step 3) adds 5 more.
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("step", 0, {code("score += 10; global.t = string(score / 4);")}) + "," +
              event("keypress", 32, {code("score += 5;")}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    write("play.txt", "3 key-down 32\n4 key-up 32\n");
    ASSERT_EQ(run(4, "--input play.txt --watch score --watch global.t --watch nosuch "
                     "--watch 'score / 4' --watch-out watch.tsv"),
              0)
        << err;
    EXPECT_EQ(read("watch.tsv"), "1\t10\t2.50\tERROR\t2.50\n"
                                 "2\t20\t5\tERROR\t5\n"
                                 "3\t35\t8.75\tERROR\t8.75\n"
                                 "4\t45\t11.25\tERROR\t11.25\n");
    EXPECT_EQ(err.find("nosuch"), std::string::npos) << "watches report no errors";

    // Without --watch-out the lines go to stderr; a string's tab is written as \t.
    ASSERT_EQ(run(0, "--watch global.t"), 0) << err;
    EXPECT_EQ(err, "");
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("create", 0, {code("global.t = \"a\" + chr(9) + \"b\\\";")}) + R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "--watch global.t"), 0) << err;
    EXPECT_EQ(err, "1\ta\\tb\\\\\n");

    // --watch-out alone, and a file that cannot be written.
    EXPECT_EQ(run(1, "--watch-out w.tsv"), 2);
    EXPECT_NE(err.find("--watch-out goes with --watch"), std::string::npos) << err;
    EXPECT_EQ(run(1, "--watch score --watch-out nodir/w.tsv"), 1);
    EXPECT_NE(err.find("cannot write the watches"), std::string::npos) << err;
}
