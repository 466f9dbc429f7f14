// Saving and loading a running game: the save file byte for byte, a round trip through a
// file, the messages, and damaged files that must leave the game exactly as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "run/Run_Command.h"
#include "run/Runtime.h"

namespace fs = std::filesystem;

namespace kelvane {
namespace {

// Little-endian words written independently of the stream, to state the expected file.
struct Bytes {
    std::vector<uint8_t> b;
    Bytes& i(int32_t v) {
        for (int k = 0; k < 4; ++k) b.push_back(uint8_t(uint32_t(v) >> (8 * k)));
        return *this;
    }
    Bytes& r(double v) {
        uint64_t u;
        std::memcpy(&u, &v, 8);
        for (int k = 0; k < 8; ++k) b.push_back(uint8_t(u >> (8 * k)));
        return *this;
    }
    Bytes& s(const std::string& t) {
        i(int32_t(t.size()));
        b.insert(b.end(), t.begin(), t.end());
        return *this;
    }
};

class SaveLoad : public ::testing::Test {
  protected:
    Runtime rt;
    std::vector<std::string> messages;
    fs::path dir;
    int32_t hp = 0, name = 0;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-save-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        rt.game.header.game_id = 77;
        // An 8 x 8 sprite with its origin at (2, 2) and its box from (1, 1) to (6, 6).
        auto spr = std::make_unique<CSprite>();
        spr->width = spr->height = 8;
        spr->number = 1;
        spr->xoffset = spr->yoffset = 2;
        spr->bbox_left = spr->bbox_top = 1;
        spr->bbox_right = spr->bbox_bottom = 6;
        spr->precise = false;
        rt.game.sprites.add("spr", std::move(spr));
        auto ball = std::make_unique<CObject>();
        ball->sprite = 0;
        ball->depth = -5;
        rt.game.objects.add("ball", std::move(ball));
        auto small = std::make_unique<CObject>();
        small->parent = 0;
        rt.game.objects.add("small", std::move(small));
        for (const char* r : {"first", "second", "third"})
            rt.game.rooms.add(r, std::make_unique<CRoom>());
        hp = rt.script.names.intern("hp");
        name = rt.script.names.intern("name");
        rt.script.reporter.game_running = true;
        rt.script.reporter.handler = [this](const std::string& m, bool) { messages.push_back(m); };
        rt.run.rooms.resize(3);
    }
    void TearDown() override { fs::remove_all(dir); }

    CRoom& live_room(int32_t r) {
        rt.run.rooms[size_t(r)] = std::make_unique<CRoom>();
        return *rt.run.rooms[size_t(r)];
    }
    std::string path(const std::string& file) { return (dir / file).string(); }
    std::vector<uint8_t> file_bytes(const std::string& file) {
        std::ifstream in(path(file), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void write_file(const std::string& file, const std::vector<uint8_t>& bytes) {
        // A new file each time: rewriting one in place makes some file systems flush it.
        fs::remove(path(file));
        std::ofstream(path(file), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }

    // Two rooms alive: "first" (persistent, left earlier, with a destroyed instance not yet
    // purged) and "third" (the current one); "second" is not alive.
    void make_running_game() {
        CRoom& first = live_room(0);
        first.persistent = true;
        first.add_instance(rt.game, 0, 5, 5, 100003)->variables.set(hp, 0, RValue(1));
        first.add_instance(rt.game, 1, 6, 6, 100004)->destroyed = true;
        CRoom& third = live_room(2);
        third.caption = "Third";
        CInstance* a = third.add_instance(rt.game, 0, 40, 30, 100007);
        a->set_hspeed(2);
        a->set_alarm(3, 12);
        a->variables.set(hp, 2 * array_row_size + 1, RValue("cell"));
        third.add_instance(rt.game, 1, 80, 60, 100009);
        third.add_tile({1, 2, 0, 0, 0, 8, 8, 100, 0, 1, 1, 1, true}, rt.game.last_tile_id);
        rt.run.current_room = 2;
        rt.script.values.score = 250;
        rt.script.values.lives = 2;
        rt.script.globals.set(name, 0, RValue("Ada"));
        rt.game.last_instance_id = 100009;
    }
};

TEST_F(SaveLoad, TheFileHoldsEveryFieldInItsOrder) {
    CRoom& r = live_room(0);
    r.caption = "Hall";
    r.width = 320;
    r.height = 200;
    r.stored_int1 = 4;
    r.stored_int2 = 9;
    r.speed = 30;
    r.persistent = true;
    r.background_color = 255;
    r.background_showcolor = false;
    r.creation_code = "x = 1;";
    r.backgrounds[1].visible = true;
    r.backgrounds[1].index = 0;
    r.backgrounds[1].x = 1.5;
    r.backgrounds[1].alpha = 0.25;
    r.view_enabled = true;
    r.views[0] = {true, 10, 20, 160, 100, 0, 0, 16, 8, 4, 2, 0};
    CInstance* inst = r.add_instance(rt.game, 0, 10, 20, 100005);
    inst->set_hspeed(3);
    inst->set_alarm(2, 7);
    inst->variables.set(name, 0, RValue("Bob"));
    r.tiles.push_back({32, 48, 0, 1, 2, 16, 16, 10, 10000001, 2, 1, 0.5, false});
    rt.run.current_room = 0;
    auto& v = rt.script.values;
    v.transition_kind = 5;
    v.transition_time = 300;
    v.transition_steps = 20;
    v.score = 12;
    v.lives = 3;
    rt.script.globals.set(hp, 0, RValue(2.5));

    Bytes e;
    e.i(420).i(77).i(0).i(5).i(300).i(20).i(12).i(3);
    e.i(400).i(1).i(hp).i(0).r(2.5).s("").i(0).i(0).i(0).i(0); // the globals
    e.i(1);                                                    // room 0 is alive
    e.i(420).s("Hall").i(320).i(200).i(4).i(9).i(30).i(1).i(255).i(0).s("x = 1;");
    e.i(8);
    for (int k = 0; k < 8; ++k) {
        if (k == 1)
            e.i(1).i(0).i(0).r(1.5).r(0).i(1).i(1).r(0).r(0).r(0.25);
        else
            e.i(0).i(0).i(-1).r(0).r(0).i(1).i(1).r(0).r(0).r(1);
    }
    e.i(1).i(8);
    e.i(1).i(10).i(20).i(160).i(100).i(0).i(0).i(16).i(8).i(4).i(2).i(0);
    for (int k = 1; k < 8; ++k)
        e.i(0).i(0).i(0).i(640).i(480).i(0).i(0).i(32).i(32).i(-1).i(-1).i(-1);
    e.i(1); // one instance
    e.i(100005).i(0).r(0).r(-1).r(1).r(1).r(1).i(-1).r(-5).i(0);
    e.r(10).r(20).r(10).r(20).r(10).r(20).r(0).r(3).r(0).r(270).r(0).r(3).r(0);
    e.i(9).i(14).i(19).i(24); // box: left, right, top, bottom
    e.i(1).i(0).i(0).i(0);    // visible, solid, persistent, object
    e.i(-1).i(-1).i(7).i(-1).i(-1).i(-1).i(-1).i(-1);
    e.i(0).i(-1).r(0).r(1).r(0);
    e.i(400).i(1).i(name).i(1).r(0).s("Bob").i(0).i(0).i(0).i(0);
    e.i(1); // one tile
    e.r(32).r(48).i(0).i(1).i(2).i(16).i(16).r(10).i(10000001).r(2).r(1).r(0.5).i(0);
    e.i(0).i(0); // rooms 1 and 2 are not alive

    EXPECT_EQ(save_game_bytes(rt), e.b);
    save_game(rt, path("game.sav"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(file_bytes("game.sav"), e.b);
    // Nothing is left beside the file.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(SaveLoad, LoadingBringsBackEveryLiveRoomAndReplacesTheRest) {
    make_running_game();
    save_game(rt, path("s.sav"));
    std::vector<uint8_t> saved = save_game_bytes(rt);

    // The game goes on: it changes its values, visits "second", leaves "third".
    rt.script.values.score = 1;
    rt.script.values.lives = 0;
    rt.script.globals.set(hp, 0, RValue(99));
    rt.run.room()->instances[0]->set_position(0, 0);
    rt.run.room()->add_instance(rt.game, 0, 1, 1, ++rt.game.last_instance_id);
    live_room(1).add_instance(rt.game, 0, 1, 1, ++rt.game.last_instance_id);
    rt.run.rooms[2].reset();
    rt.run.current_room = 1;
    // A new run of the game starts its counters from the game file again.
    rt.game.last_instance_id = 100001;
    rt.game.last_tile_id = 10000000;

    load_game(rt, path("s.sav"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(save_game_bytes(rt), saved);
    EXPECT_EQ(rt.run.current_room, 2);
    EXPECT_FALSE(rt.run.rooms[1]);
    EXPECT_EQ(rt.script.values.lives, 2);
    RValue out;
    EXPECT_FALSE(rt.script.globals.get(hp, 0, out));
    // The loaded instances know their objects and sit in the rebuilt per-object lists.
    CRoom& third = *rt.run.room();
    ASSERT_EQ(third.instances.size(), 2u);
    CInstance& a = *third.instances[0];
    EXPECT_EQ(a.object, rt.game.objects.get(0));
    EXPECT_EQ(third.instances_of(0).size(), 1u);
    EXPECT_EQ(third.instances_of_family(0).size(), 2u);
    ASSERT_TRUE(a.variables.get(hp, 2 * array_row_size + 1, out));
    EXPECT_EQ(out.str, "cell");
    EXPECT_EQ(a.get_alarm(3), 12);
    EXPECT_EQ(a.bbox_left, 39);
    // The destroyed instance of "first" came back destroyed, and goes at the next purge.
    CRoom& first = *rt.run.rooms[0];
    ASSERT_EQ(first.instances.size(), 2u);
    EXPECT_TRUE(first.instances[1]->destroyed);
    first.purge(rt.game);
    EXPECT_EQ(first.instances.size(), 1u);
    // New instances and tiles take ids past every loaded one.
    EXPECT_EQ(rt.game.last_instance_id, 100009);
    EXPECT_EQ(rt.game.last_tile_id, third.tiles[0].id);
}

TEST_F(SaveLoad, EachRefusalHasItsMessageAndChangesNothing) {
    make_running_game();
    std::vector<uint8_t> good = save_game_bytes(rt);
    auto other = [&](int32_t at, int32_t value) {
        std::vector<uint8_t> b = good;
        for (int k = 0; k < 4; ++k) b[size_t(at + k)] = uint8_t(uint32_t(value) >> (8 * k));
        return b;
    };
    write_file("version.sav", other(0, 421));
    write_file("game.sav", other(4, 78));
    write_file("short.sav", {0xA4, 0x01, 0x00, 0x00, 0x4D});
    fs::create_directories(dir / "folder.sav");
    struct Case {
        std::string file;
        std::string message; // empty: no message at all
    } cases[] = {
        {"missing.sav", ""},
        {"version.sav", "Cannot load game saved with other version."},
        {"game.sav", "This is a save file for a different game!"},
        {"short.sav", "Failed to load game from file " + path("short.sav")},
        {"folder.sav", "Failed to load game from file " + path("folder.sav")},
    };
    rt.script.values.score = 5; // differs from the file: a load would show
    std::vector<uint8_t> before = save_game_bytes(rt);
    for (const Case& c : cases) {
        messages.clear();
        load_game(rt, path(c.file));
        EXPECT_EQ(messages, c.message.empty() ? std::vector<std::string>{}
                                              : std::vector<std::string>{c.message})
            << c.file;
        EXPECT_EQ(save_game_bytes(rt), before) << c.file;
    }
}

TEST_F(SaveLoad, SavingFailsCleanlyAndSecureModeKeepsToTheGamesFolder) {
    make_running_game();
    save_game(rt, path("missing-folder/s.sav"));
    EXPECT_EQ(messages, std::vector<std::string>{"Failed to save game to file " +
                                                 path("missing-folder/s.sav")});
    EXPECT_FALSE(fs::exists(dir / "missing-folder"));

    RegistryStore registry(path("registry.txt"));
    rt.files = std::make_unique<GameFiles>(rt.file_names, registry,
                                           [this](const std::string& m) { messages.push_back(m); });
    rt.files->secure_mode = true;
    // A drive letter leads out of the working directory without any slash.
    rt.file_names.map_drive('C', dir.string());
    for (std::string name : {path("s.sav"), std::string("sub\\s.sav"), std::string("C:s.sav")}) {
        messages.clear();
        save_game(rt, name);
        EXPECT_EQ(messages,
                  std::vector<std::string>{"In secure mode you cannot save game to file " + name});
    }
    EXPECT_FALSE(fs::exists(dir / "s.sav"));
    // A plain name is a file of the working directory and is allowed.
    messages.clear();
    fs::path old = fs::current_path();
    fs::current_path(dir);
    save_game(rt, "plain.sav");
    fs::current_path(old);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(file_bytes("plain.sav"), save_game_bytes(rt));
    rt.files.reset();
}

TEST_F(SaveLoad, AnOldSaveIsReplacedWholeOrNotAtAll) {
    make_running_game();
    write_file("s.sav", {1, 2, 3});
    save_game(rt, path("s.sav"));
    EXPECT_EQ(file_bytes("s.sav"), save_game_bytes(rt));
    // A target that cannot be replaced keeps what it held, and no temporary file stays.
    fs::create_directories(dir / "busy.sav" / "inside");
    save_game(rt, path("busy.sav"));
    EXPECT_EQ(messages,
              std::vector<std::string>{"Failed to save game to file " + path("busy.sav")});
    EXPECT_TRUE(fs::is_directory(dir / "busy.sav" / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
}

TEST_F(SaveLoad, VariablesNoCodeCouldNameAreDroppedAndForeignValuesRefused) {
    make_running_game();
    // A name code may still introduce at run time is kept; ids far beyond every name, or
    // between the built-ins and the user variables, are dropped.
    int32_t later = first_user_variable + rt.script.names.count() + 3;
    int32_t far = first_user_variable + rt.script.names.count() + 5000;
    for (int32_t id : {later, far, 1005, 5000, -7}) rt.script.globals.set(id, 0, RValue(1));
    save_game(rt, path("s.sav"));
    load_game(rt, path("s.sav"));
    EXPECT_TRUE(messages.empty());
    RValue out;
    for (int32_t id : {later, 1005, name}) EXPECT_TRUE(rt.script.globals.get(id, 0, out)) << id;
    for (int32_t id : {far, 5000, -7}) EXPECT_FALSE(rt.script.globals.get(id, 0, out)) << id;

    rt.run.room()->instances[0]->variables.set(name, 0, RValue::reference(-5, hp));
    save_game(rt, path("ref.sav"));
    rt.run.room()->instances[0]->variables.set(name, 0, RValue("x"));
    std::vector<uint8_t> before = save_game_bytes(rt);
    load_game(rt, path("ref.sav"));
    EXPECT_EQ(messages,
              std::vector<std::string>{"Failed to load game from file " + path("ref.sav")});
    EXPECT_EQ(save_game_bytes(rt), before);
}

// A save cut at every length, and every word of it replaced by values that make counts,
// lengths and indexes impossible: each load either succeeds or leaves the game exactly as
// it was with the one message, and a game that loaded goes on running.
TEST_F(SaveLoad, DamagedFilesNeverHalfReplaceTheGame) {
    make_running_game();
    save_game(rt, path("good.sav"));
    std::vector<uint8_t> good = file_bytes("good.sav");
    rt.script.values.score = 5;
    std::vector<uint8_t> before = save_game_bytes(rt);
    const std::string failed = "Failed to load game from file " + path("bad.sav");
    for (size_t n = 0; n < good.size(); ++n) {
        write_file("bad.sav", std::vector<uint8_t>(good.begin(), good.begin() + long(n)));
        messages.clear();
        load_game(rt, path("bad.sav"));
        ASSERT_EQ(messages, std::vector<std::string>{failed}) << "cut at " << n;
        ASSERT_EQ(save_game_bytes(rt), before) << "cut at " << n;
    }
    size_t loaded = 0, refused = 0;
    for (size_t at = 8; at + 4 <= good.size(); ++at) {
        for (uint32_t value : {0xFFFFFFFFu, 0x7FFFFFFFu, 0x80000000u, 0x00100000u}) {
            std::vector<uint8_t> bad = good;
            for (int k = 0; k < 4; ++k) bad[at + size_t(k)] = uint8_t(value >> (8 * k));
            write_file("bad.sav", bad);
            messages.clear();
            load_game(rt, path("bad.sav"));
            if (!messages.empty()) {
                ++refused;
                ASSERT_EQ(messages, std::vector<std::string>{failed}) << "word at " << at;
                ASSERT_EQ(save_game_bytes(rt), before) << "word at " << at;
                continue;
            }
            ++loaded;
            ASSERT_NE(rt.run.room(), nullptr);
            // The id counters go on from the loaded ids and must have room to count.
            ASSERT_LE(rt.game.last_instance_id, 1 << 30);
            ASSERT_LE(rt.game.last_tile_id, 1 << 30);
            run_step(rt);
            save_game_bytes(rt);
            load_game(rt, path("good.sav")); // back to the game as it was
            rt.script.values.score = 5;
        }
    }
    EXPECT_GT(loaded, 0u);
    EXPECT_GT(refused, 0u);
}

// A link planted at the name a save would write first is never written through.
TEST_F(SaveLoad, SavingNeverWritesThroughAPlantedLink) {
    make_running_game();
    write_file("victim", {'k', 'e', 'e', 'p'});
    fs::create_symlink(dir / "victim", path("s.sav") + ".tmp" + std::to_string(::getpid()));
    save_game(rt, path("s.sav"));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(file_bytes("victim"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(file_bytes("s.sav"), save_game_bytes(rt));
}

} // namespace
} // namespace kelvane
