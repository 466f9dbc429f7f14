// The bundled demo, played headless with scripted keys: the player walks onto a coin and
// the score goes up.
#include "Game_Runner.h"

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
    ASSERT_EQ(run(25), 0) << err;
    EXPECT_EQ(read("score.txt"), "0");
}
