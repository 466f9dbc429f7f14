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
