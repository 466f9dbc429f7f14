// Saved games in whole games: save, change, load restores rooms, instances and globals;
// persistent rooms; F5 and F6; the save and load actions; refused and damaged files.
#include "Game_Runner.h"

using namespace kelvane::e2e;

namespace {

// Code that appends the value of an expression to log.txt, which no load touches.
std::string log(const std::string& expr) {
    return "file_open_append(\"log.txt\"); file_write_string(" + expr + "); file_close();";
}

// Key press events: one per key, each with its actions.
std::string keys(const std::vector<std::pair<char, std::vector<std::string>>>& list) {
    std::string out;
    for (const auto& [key, actions] : list)
        out += (out.empty() ? "" : ", ") + event("keypress", key, actions);
    return out;
}

// A key pressed before `step` and released before the next.
std::string press(int step, char key) {
    return std::to_string(step) + " key-down " + std::to_string(int(key)) + "\n" +
           std::to_string(step + 1) + " key-up " + std::to_string(int(key)) + "\n";
}

} // namespace

TEST_F(GameTest, LoadingRestoresRoomInstancesGlobalsAndValuesAtTheEndOfThePass) {
    std::string ctrl = keys({
        {'S',
         {code("global.g = 5; score = 7; lives = 0; transition_steps = 17;"
               "with (ball) { x = 50; hp = 10; alarm[0] = 50; }"
               "with (gone) instance_destroy(); game_save(\"s.sav\");")}},
        {'C',
         {code("global.g = 9; score = 1; lives = 5; transition_steps = 40;"
               "with (ball) { x = 0; hp = 0; alarm[0] = -1; }"
               "instance_create(0, 0, ball); room_goto(r1);")}},
        // The load waits for the end of the pass: the rest of this code still runs, the
        // next action of the list does not.
        {'L', {code("game_load(\"s.sav\");" + log("\"after load;\"")), code(log("\"next;\""))}},
        {'W',
         {code(log("string(room) + \" \" + string(global.g) + \" \" + string(score) + \" \" + "
                   "string(lives) + \" \" + string(transition_steps) + \" \" + "
                   "string(instance_number(ball)) + \" \" + string(ball.x) + \" \" + "
                   "string(ball.hp) + \" \" + string(ball.alarm[0]) + \" \" + "
                   "string(instance_number(gone)) + \";\"") +
               "old = ball.id; n = instance_create(0, 0, ball);" + log("string(n > old)"))}},
    });
    write("kelvane-project.json",
          R"({"objects": [
        {"name": "ball", "events": [)" +
              event("create", 0, {code("hp = 3;")}) + ", " + event("alarm", 0, {code("")}) +
              R"(]},
        {"name": "gone"},
        {"name": "ctrl", "persistent": true, "events": [)" +
              ctrl + ", " + event("other", 6, {code(log("\"no more lives;\""))}) + R"(]}],
      "rooms": [{"name": "r0", "instances": [{"x": 20, "y": 20, "object": "ball"},
                                             {"object": "gone"}, {"object": "ctrl"}]},
                {"name": "r1"}]})");
    write("input.txt", press(1, 'S') + press(3, 'C') + press(5, 'L') + press(7, 'W'));
    ASSERT_EQ(run(8, "--input input.txt"), 0) << err;
    EXPECT_EQ(err, "");
    // The alarm was 50 when saved and counted down in steps 6 and 7.
    EXPECT_EQ(read("log.txt"), "after load;0 5 7 0 17 1 50 10 48 0;1");
}

TEST_F(GameTest, APersistentRoomVisitedBeforeTheSaveComesBackAsSaved) {
    std::string ctrl = keys({
        {'M', {code("ball.x = 77; room_goto(r1);")}},
        {'S', {action(57, {"s.sav"})}},
        {'B', {code("room_goto(r0);")}},
        {'X', {code("ball.x = 5; room_goto(r1);")}},
        {'L', {action(58, {"s.sav"})}},
        {'W',
         {code(log("string(room) + \" \" + string(ball.x) + \" \" + "
                   "string(instance_number(ctrl))"))}},
    });
    write("kelvane-project.json",
          R"({"objects": [{"name": "ball"}, {"name": "ctrl", "persistent": true, "events": [)" +
              ctrl + R"(]}],
      "rooms": [{"name": "r0", "persistent": true,
                 "instances": [{"x": 10, "y": 10, "object": "ball"}, {"object": "ctrl"}]},
                {"name": "r1"}]})");
    write("input.txt", press(1, 'M') + press(3, 'S') + press(5, 'B') + press(7, 'X') +
                           press(9, 'L') + press(11, 'B') + press(13, 'W'));
    ASSERT_EQ(run(14, "--input input.txt"), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(read("log.txt"), "0 77 1");
}

TEST_F(GameTest, F5SavesAndF6LoadsAtOnceInsideTheStep) {
    // Each step adds 1 to global.t after the function keys were handled: F5 before step 2
    // saves t = 1; F6 before step 5 puts it back to 1 before that step's event, so 8 steps
    // end with t = 5. A load at the end of step 5 would end with 4, no load with 8.
    struct Case {
        const char* options;
        const char* t;
        bool file;
    } cases[] = {{"{}", "5", true}, {R"({"let_f5_save": false})", "8", false}};
    for (const Case& c : cases) {
        fs::remove(dir / "_save123.sav");
        write("kelvane-project.json", std::string(R"({"game_id": 123, "options": )") + c.options +
                                          R"(, "objects": [
            {"name": "o", "events": [)" + event("create", 0, {code("global.t = 0;")}) +
                                          ", " + event("step", 0, {code("global.t += 1;")}) + ", " +
                                          event("other", 3, {code(log("string(global.t)"))}) +
                                          R"(]}],
          "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
        write("input.txt", "2 key-down 116\n3 key-up 116\n5 key-down 117\n6 key-up 117\n");
        fs::remove(dir / "log.txt");
        ASSERT_EQ(run(8, "--input input.txt"), 0) << err;
        EXPECT_EQ(err, "") << c.options;
        EXPECT_EQ(read("log.txt"), c.t) << c.options;
        ASSERT_EQ(fs::exists(dir / "_save123.sav"), c.file) << c.options;
        if (c.file) { // the version and the game id open the file
            EXPECT_EQ(read("_save123.sav").substr(0, 8),
                      std::string("\xA4\x01\x00\x00\x7B\x00\x00\x00", 8));
        }
    }
}

TEST_F(GameTest, RefusedMissingAndDamagedSavesLeaveTheGameAsItWas) {
    // With the parameter "save" the game saves global.v = 1; otherwise it sets 2, loads the
    // file named by its parameter and ends, writing what global.v then holds.
    write("kelvane-project.json",
          R"({"game_id": 9, "objects": [{"name": "o", "events": [)" +
              event("create", 0,
                    {code("if (parameter_string(1) == \"save\") { global.v = 1; "
                          "game_save(\"good.sav\"); } else { global.v = 2; "
                          "game_load(parameter_string(1)); }")}) +
              ", " + event("other", 3, {code(log("string(global.v)"))}) + R"(]}],
      "rooms": [{"name": "r", "width": 641, "height": 479, "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(1, "-- save"), 0) << err;
    std::string good = read("good.sav");
    ASSERT_GT(good.size(), 40u);
    write("cut.sav", good.substr(0, good.size() - 9));
    // The room's size, 641 x 479, made 16384 x 16384: a drawing buffer of 2 GB.
    std::string huge_room = good;
    const std::string size_words("\x81\x02\0\0\xDF\x01\0\0", 8);
    const size_t size_at = huge_room.find(size_words);
    ASSERT_NE(size_at, std::string::npos);
    huge_room.replace(size_at, 8, std::string("\0\x40\0\0\0\x40\0\0", 8));
    write("huge-room.sav", huge_room);
    std::string other_game = good, other_version = good;
    other_game[4] = 10;
    other_version[0] = char(0xA5);
    write("other-game.sav", other_game);
    write("other-version.sav", other_version);
    struct Case {
        const char* file;
        const char* message;
        const char* v;
    } cases[] = {
        {"good.sav", "", "1"},
        {"missing.sav", "", "2"},
        {"cut.sav", "Failed to load game from file cut.sav", "2"},
        {"huge-room.sav", "Failed to load game from file huge-room.sav", "2"},
        {"other-game.sav", "This is a save file for a different game!", "2"},
        {"other-version.sav", "Cannot load game saved with other version.", "2"},
    };
    for (const Case& c : cases) {
        fs::remove(dir / "log.txt");
        ASSERT_EQ(run(2, std::string("-- ") + c.file), 0) << c.file << ": " << err;
        EXPECT_EQ(read("log.txt"), c.v) << c.file;
        if (*c.message)
            EXPECT_NE(err.find(c.message), std::string::npos) << c.file << ": " << err;
        else
            EXPECT_EQ(err, "") << c.file;
    }
}

TEST_F(GameTest, ASaveFromAnEarlierRunGivesNewInstancesFreshIds) {
    // The first run makes instances at run time and saves; the second loads that save and
    // makes one more, which must not take the id of a loaded instance.
    write("kelvane-project.json",
          R"({"objects": [{"name": "o", "events": [)" +
              event("create", 0,
                    {code("if (parameter_string(1) == \"save\") {"
                          "if (id == 100001) { repeat (3) instance_create(0, 0, o);"
                          "game_save(\"s.sav\"); } } else game_load(\"s.sav\");")}) +
              ", " +
              event("keypress", 'N',
                    {code("if (id == 100001) { n = instance_create(0, 0, o); k = 0;"
                          "with (o) if (id == other.n) other.k += 1;" +
                          log("string(instance_number(o)) + \" \" + string(k)") + "}")}) +
              R"(]}],
      "rooms": [{"name": "r", "instances": [{"object": "o", "id": 100001}]}]})");
    ASSERT_EQ(run(1, "-- save"), 0) << err;
    write("input.txt", press(2, 'N'));
    ASSERT_EQ(run(3, "--input input.txt -- load"), 0) << err;
    EXPECT_EQ(err, "");
    EXPECT_EQ(read("log.txt"), "5 1");
}
