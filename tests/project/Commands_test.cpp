// The pack, unpack and info commands as a user runs them, on the bundled demo project.
#include <gtest/gtest.h>

#include "Program_Run.h"
#include "Project_Test_Util.h"
#include "project/Project_Image.h"
#include "project/Project_Json.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

using Result = ProgramResult;

Result run_kelvane(const TempFolder& tmp, const std::vector<std::string>& args) {
    return run_kelvane_in(tmp.path, args);
}

const std::string demo = std::string(KELVANE_SOURCE_DIR) + "/examples/demo";

} // namespace

TEST(Commands, DemoPacksUnpacksAndPacksToTheSameBytes) {
    TempFolder tmp;
    std::string first = (tmp / "demo.kgame").string(), second = (tmp / "again.kgame").string();
    Result r = run_kelvane(tmp, {"pack", demo, "-o", first, "--seed", "4242"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_kelvane(tmp, {"unpack", first, "-o", (tmp / "project").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_kelvane(tmp, {"pack", (tmp / "project").string(), "-o", second, "--seed", "4242"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(first), read_text(second));
    EXPECT_NE(read_text(first).size(), 0u);

    // Without --seed the seed comes from the content, in the readable range: packing the
    // same project twice gives the same file.
    r = run_kelvane(tmp, {"pack", demo, "-o", second});
    ASSERT_EQ(r.status, 0) << r.err;
    r = run_kelvane(tmp, {"pack", demo, "-o", first});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read_text(first), read_text(second));
    r = run_kelvane(tmp, {"info", "--json", second});
    ASSERT_EQ(r.status, 0) << r.err;
    int seed = Json::parse(r.out)["seed"];
    EXPECT_GE(seed, 1);
    EXPECT_LE(seed, 214748);

    // Unpacking again into the project needs --force; the project is then replaced.
    write_text(tmp / "project/objects/stale.kvs", "old");
    r = run_kelvane(tmp, {"unpack", first, "-o", (tmp / "project").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("not empty; add --force"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(tmp / "project/objects/stale.kvs"));
    r = run_kelvane(tmp, {"unpack", first, "-o", (tmp / "project").string(), "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Commands, InfoJsonOfTheDemoHoldsTheRequiredKeys) {
    TempFolder tmp;
    std::string game = (tmp / "demo.kgame").string();
    ASSERT_EQ(run_kelvane(tmp, {"pack", demo, "-o", game, "--seed", "4242"}).status, 0);
    Result r = run_kelvane(tmp, {"info", "--json", game});
    ASSERT_EQ(r.status, 0) << r.err;
    Json j = Json::parse(r.out);
    for (const char* key : {"version", "game_id", "debug", "options", "room_order", "sounds",
                            "sprites", "backgrounds", "paths", "scripts", "objects", "rooms"})
        EXPECT_TRUE(j.contains(key)) << key;
    EXPECT_EQ(j["seed"], 4242);
    size_t options = 0;
    GameOptions defaults;
    for_each_option(defaults, [&](const char* name, const auto&) {
        EXPECT_TRUE(j["options"].contains(name)) << name;
        ++options;
    });
    EXPECT_EQ(j["options"].size(), options);

    const Json& player = j["objects"][2];
    EXPECT_EQ(player["name"], "obj_player");
    EXPECT_EQ(player["sprite"], 0);
    EXPECT_EQ(player["parent"], -1);
    bool collision = false;
    for (const auto& e : player["events"]) {
        EXPECT_TRUE(e["type"].is_number_integer() && e["number"].is_number_integer());
        for (const auto& a : e["actions"]) EXPECT_EQ(a["function"], 34);
        collision |= e["type"] == 4 && e["number"] == 1;
    }
    EXPECT_TRUE(collision);
    const Json& room = j["rooms"][0];
    EXPECT_EQ(room["name"], "room_start");
    EXPECT_EQ(room["width"], 640);
    EXPECT_EQ(room["height"], 480);
    EXPECT_EQ(room["speed"], 30);
    EXPECT_FALSE(room["instances"].empty());
    EXPECT_EQ(room["instances"][0]["object"], 0);
    EXPECT_EQ(j["sprites"][1]["number"], 4);
    EXPECT_EQ(j["room_order"], (Json{0, 1}));

    // The game information's first lines, as plain text, without the document's markup.
    ASSERT_TRUE(j["information_lines"].is_array());
    ASSERT_GE(j["information_lines"].size(), 1u);
    EXPECT_EQ(j["information_lines"][0], "Kelvane demo");

    r = run_kelvane(tmp, {"info", game});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("room_start"), std::string::npos);
    EXPECT_NE(r.out.find("game information, first lines:\n  Kelvane demo\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\\rtf"), std::string::npos);
}

// Only the first ten lines are shown; blank lines at the start are left out, and text in
// Windows-1252 comes out as UTF-8.
TEST(Commands, InfoShowsTheFirstTenLinesOfTheInformation) {
    TempFolder tmp;
    fs::copy(demo, tmp / "p", fs::copy_options::recursive);
    std::string rtf = "{\\rtf1\\ansi\\par\\par ";
    for (int i = 1; i <= 12; ++i) rtf += "line " + std::to_string(i) + " caf\\'e9\\par\n";
    write_text(tmp / "p/information.rtf", rtf + "}");
    std::string game = (tmp / "g.kgame").string();
    ASSERT_EQ(run_kelvane(tmp, {"pack", (tmp / "p").string(), "-o", game}).status, 0);
    Result r = run_kelvane(tmp, {"info", "--json", game});
    ASSERT_EQ(r.status, 0) << r.err;
    Json lines = Json::parse(r.out)["information_lines"];
    ASSERT_EQ(lines.size(), 10u) << lines.dump();
    EXPECT_EQ(lines[0], "line 1 caf\u00e9");
    EXPECT_EQ(lines[9], "line 10 caf\u00e9");
}

TEST(Commands, FailuresSayWhyOnOneLineAndExitOne) {
    TempFolder tmp;
    write_text(tmp / "short.kgame", "too short");
    write_text(tmp / "bad/kelvane-project.json", R"({"rooms": [{"name": "r", "widht": 1}]})");
    // More frames than any game file may hold.
    std::string frames = "null";
    for (int i = 0; i < 100000; ++i) frames += ", null";
    write_text(tmp / "huge/kelvane-project.json",
               R"({"rooms": [{"name": "r"}], "sprites": [{"name": "s", "frames": [)" + frames +
                   "]}]}");
    std::string out = (tmp / "out.kgame").string();
    struct Case {
        std::vector<std::string> args;
        std::string expect;
    } cases[] = {
        {{"pack", (tmp / "bad").string(), "-o", out}, "rooms[0] (r): unknown key 'widht'"},
        {{"pack", (tmp / "huge").string(), "-o", out}, "would not load, so it is not written"},
        {{"unpack", (tmp / "short.kgame").string(), "-o", (tmp / "p").string()},
         "This is not a valid kelvane file."},
        {{"info", (tmp / "short.kgame").string()}, "This is not a valid kelvane file."},
        {{"info", (tmp / "missing.kgame").string()}, "Cannot open the game file."},
    };
    for (const auto& c : cases) {
        Result r = run_kelvane(tmp, c.args);
        EXPECT_EQ(r.status, 1) << c.expect;
        EXPECT_NE(r.err.find(c.expect), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // one line
    }
    EXPECT_FALSE(fs::exists(out)); // nothing half written
    for (const char* command : {"pack", "unpack", "info"}) {
        Result r = run_kelvane(tmp, {command, "--help"});
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find(std::string("usage: kelvane ") + command), std::string::npos);
    }
}

TEST(Commands, PackListsTheProjectsProblemsAndWritesOnlyWithForce) {
    TempFolder tmp;
    // A sprite whose second frame has another size, references to a missing sprite, object
    // and background, a parent chain that comes back, and syntax errors in code that runs
    // at once, in code never reached, in a code file, a script and a room's creation code.
    write_text(tmp / "p/objects/o/step-0.kvs", "x = 1;\nif (0) {\n  y = (2;\n}\n");
    for (auto [name, width] : {std::pair{"a.png", 4}, std::pair{"b.png", 2}}) {
        auto png = encode_png(Bitmap24(width, 4));
        write_text(tmp / "p" / name, std::string(png.begin(), png.end()));
    }
    write_text(tmp / "p/kelvane-project.json", R"J({
        "sprites": [{"name": "s", "frames": [{"file": "a.png"}, {"file": "b.png"}]}],
        "scripts": [{"name": "scr", "code": "return 1 +"}],
        "objects": [
          {"name": "o", "sprite": 7, "parent": "q", "events": [
            {"event": "create", "actions": [{"function": 34, "arguments": ["a = 1; b = )"]}]},
            {"event": "step", "actions": [{"function": 34, "arguments": [{"file": "objects/o/step-0.kvs"}]}]},
            {"event": "collision", "number": 9},
            {"event": "draw", "actions": [{"function": 34, "applies_to": 5, "arguments": ["scr()"]}]}]},
          {"name": "q", "parent": "o"}],
        "rooms": [{"name": "r", "creation_code": "if (", "instances": [{"object": 3}],
                   "backgrounds": [{"visible": true, "index": 2}]}]})J");
    std::string out = (tmp / "out.kgame").string();
    Result r = run_kelvane(tmp, {"pack", (tmp / "p").string(), "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(out));
    const std::string manifest = (tmp / "p" / "kelvane-project.json").string() + ": ";
    for (const std::string& want : {
             manifest + "sprites[0] (s).frames[1]: is 2x4 pixels, but the sprite is 4x4",
             manifest + "objects[0] (o).sprite: there is no sprite 7",
             manifest + "objects[0] (o).parent: the parents come back to o",
             manifest + "objects[1] (q).parent: the parents come back to q",
             manifest + "objects[0] (o).events (collision 9): there is no object 9",
             manifest + "objects[0] (o).events (draw 0).actions[0].applies_to: there is no "
                        "object 5",
             manifest + "rooms[0] (r).backgrounds[0].index: there is no background 2",
             manifest + "rooms[0] (r).instances[0].object: there is no object 3",
             manifest + "scripts[0] (scr).code:1:11: Unexpected symbol",
             manifest + "objects[0] (o).events[0].actions[0].arguments[0]:1:12: Unexpected symbol",
             (tmp / "p" / "objects/o/step-0.kvs").string() + ":3:9: ) expected.",
             manifest + "rooms[0] (r).creation_code:1:5: Unexpected symbol",
             std::string(
                 "12 problems, so the game is not written (--force writes it all the same)"),
         })
        EXPECT_NE(r.err.find(want + "\n"), std::string::npos) << want << "\n" << r.err;

    r = run_kelvane(tmp, {"pack", (tmp / "p").string(), "-o", out, "--force"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(out));
    EXPECT_NE(r.err.find(") expected."), std::string::npos) << "still listed: " << r.err;
}
