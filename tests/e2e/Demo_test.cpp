// The bundled demo, played headless with scripted keys: the player walks onto a coin and
// the score goes up.
#include "Picture_Game.h"

#include <nlohmann/json.hpp>

using namespace kelvane::e2e;

TEST_F(GameTest, TheDemoScoresWhenThePlayerTakesACoin) {
    fs::copy(fs::path(KELVANE_SOURCE_DIR) / "examples/demo", dir, fs::copy_options::recursive);
    // A watcher writes the score when the game ends.
    std::ifstream in(dir / "kelvane-project.json");
    nlohmann::json m = nlohmann::json::parse(in);
    m["objects"].push_back(
        nlohmann::json::parse(std::string(R"({"name": "watcher", "events": [)") +
                              event("other", 3,
                                    {code("file_open_write(\"score.txt\"); "
                                          "file_write_string(string(score)); file_close();")}) +
                              "]}"));
    m["rooms"][0]["instances"].push_back({{"x", 0}, {"y", 0}, {"object", "watcher"}});
    std::ofstream(dir / "kelvane-project.json") << m.dump();
    write("keys.txt", "1 key-down 39\n9 key-up 39\n9 key-down 40\n20 key-up 40\n");
    ASSERT_EQ(run(25, "--input keys.txt"), 0) << err;
    EXPECT_EQ(read("score.txt"), "10");
    // Without keys the player stays and the score too.
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(2, "--frames frames"), 0) << err;
    EXPECT_EQ(read("score.txt"), "0");
    // The lives bar (three lives: a red bar 60 pixels long, outlined in white, filling a box
    // outlined in white) and the score in white, on a black panel in the bottom-left
    // corner, clear of the caption that full screen draws in the top-left one.
    auto f = picture_file(dir / "frames" / "frame-000002.png");
    ASSERT_TRUE(f);
    const int top = 480 - 20; // the bar's top row
    EXPECT_EQ(f->pixel(8, top), 0xffffffu);
    EXPECT_EQ(f->pixel(10, top + 2), 0x0000ffu);
    EXPECT_EQ(f->pixel(67, top + 4), 0x0000ffu);
    EXPECT_EQ(f->pixel(68, top + 4), 0xffffffu);
    EXPECT_EQ(f->pixel(5, top - 3), 0x000000u); // the panel
    int white = 0;
    for (int y = top - 2; y < top + 14; ++y)
        for (int x = 78; x < 140; ++x) white += f->pixel(x, y) == 0xffffffu;
    EXPECT_GT(white, 20);
    // Nothing of it in the caption's corner.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 150; ++x) ASSERT_NE(f->pixel(x, y), 0xffffffu) << x << "," << y;
}

// The demo played to its end: F1 shows the game information, and the last coin ends the
// game with the high-score table, where the player's name goes into the registry store.
TEST_F(GameTest, TheDemoShowsItsInformationAndAsksTheNameForTheHighScores) {
    fs::copy(fs::path(KELVANE_SOURCE_DIR) / "examples/demo", dir, fs::copy_options::recursive);
    // One room with the one coin the keys below reach.
    std::ifstream in(dir / "kelvane-project.json");
    nlohmann::json m = nlohmann::json::parse(in);
    auto& placed = m["rooms"][0]["instances"];
    for (auto it = placed.begin(); it != placed.end();)
        it = (*it)["object"] == "obj_coin" && ((*it)["x"] != 104 || (*it)["y"] != 104)
                 ? placed.erase(it)
                 : it + 1;
    m["room_order"] = {"room_start"};
    std::ofstream(dir / "kelvane-project.json") << m.dump();
    write("keys.txt", "2 key-down 112\n2 key-up 112\n3 key-down 39\n11 key-up 39\n"
                      "11 key-down 40\n22 key-up 40\n");
    write("answers.txt", "\nAda\n");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(60, "--input keys.txt --answers answers.txt --frames frames"), 0) << err;
    std::string store = read("data/kelvane/registry.txt");
    EXPECT_NE(store.find("Ada"), std::string::npos) << store;
    // The game ended at the coin, long before the 60 steps.
    EXPECT_FALSE(fs::exists(dir / "frames" / "frame-000040.png"));

    // The information: its own 587 x 367 box in the middle, white, with the title in its
    // dark blue.
    auto info = picture_file(dir / "frames" / "frame-000002-box-1.png");
    ASSERT_TRUE(info);
    int white = 0, title = 0;
    for (int32_t y = 80; y < 400; ++y)
        for (int32_t x = 40; x < 600; ++x) {
            white += info->pixel(x, y) == 0xFFFFFFu;
            title += info->pixel(x, y) == 0xA00000u;
        }
    EXPECT_GT(white, 100000);
    EXPECT_GT(title, 50);

    // The table: the new entry in the first row in yellow on the dark blue window.
    std::vector<fs::path> boxes;
    for (const auto& e : fs::directory_iterator(dir / "frames"))
        if (e.path().filename().string().find("-box-") != std::string::npos &&
            e.path().filename() != "frame-000002-box-1.png")
            boxes.push_back(e.path());
    ASSERT_EQ(boxes.size(), 1u);
    auto table = picture_file(boxes[0]);
    ASSERT_TRUE(table);
    const int32_t client_x = 140 + 3, client_y = 40 + 3 + 18;
    EXPECT_EQ(table->pixel(client_x + 4, client_y + 4), 0x402020u);
    int yellow = 0;
    for (int32_t y = client_y + 48; y < client_y + 72; ++y)
        for (int32_t x = client_x + 48; x < client_x + 257; ++x)
            yellow += table->pixel(x, y) == 0x00FFFFu;
    EXPECT_GT(yellow, 20);
}
