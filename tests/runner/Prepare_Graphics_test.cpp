// The graphics side of start-up: the loading window gets the game's pictures before it
// shows, and preparing a game opens the display, builds the drawable records and frees
// the resources' own pictures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Sample_Game.h"
#include "platform/headless/Headless_Platform.h"
#include "runner/Runner_Form.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
using kelvane::testing::sample_game;
namespace fs = std::filesystem;

namespace {

struct RecordingLoadingWindow : LoadingWindow {
    std::vector<std::string> calls;
    RLoadingPictures pictures;
    void set_pictures(const RLoadingPictures& p) override {
        pictures = p;
        calls.push_back("pictures");
    }
    void show(bool) override { calls.push_back("show"); }
    void progress(int, const std::string&) override {}
    void hide() override { calls.push_back("hide"); }
};

std::string write_game(const Game& g, const std::string& name) {
    fs::path p = fs::temp_directory_path() / (name + "-" + std::to_string(::getpid()) + ".kgame");
    auto bytes = write_game_bytes(g, 4242);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p.string();
}

} // namespace

TEST(PrepareGraphics, LoadingWindowGetsTheGamesPicturesFirst) {
    Game g = sample_game();
    std::string file = write_game(g, "pictures");
    Platform platform = make_headless_platform();
    auto* loading = new RecordingLoadingWindow;
    platform.loading.reset(loading);
    Runtime rt;
    ASSERT_TRUE(load_game(rt, platform, file));
    ASSERT_GE(loading->calls.size(), 2u);
    EXPECT_EQ(loading->calls[0], "pictures");
    EXPECT_EQ(loading->calls[1], "show");
    EXPECT_EQ(loading->pictures.load_bar, 2);
    ASSERT_TRUE(loading->pictures.bar_back);
    EXPECT_EQ(*loading->pictures.bar_back, *g.options.load_bar_back);
    EXPECT_FALSE(loading->pictures.image); // load_image_on is off
    fs::remove(file);
}

TEST(PrepareGraphics, PrepareOpensTheDisplayAndMovesPicturesIntoTheRecords) {
    Game g = sample_game();
    std::string file = write_game(g, "prepare");
    Platform platform = make_headless_platform();
    auto* window = static_cast<HeadlessDisplay*>(platform.display.get());
    Runtime rt;
    ASSERT_TRUE(rt.temp.create());
    ASSERT_TRUE(load_game(rt, platform, file));
    ASSERT_TRUE(prepare_game(rt, platform));
    EXPECT_TRUE(rt.display.initialised());
    EXPECT_TRUE(window->is_open());
    EXPECT_EQ(window->setup().client_width, 960); // scale_window 150
    ASSERT_EQ(rt.images.sprites.size(), 1u);
    EXPECT_TRUE(rt.images.sprites[0].exists);
    EXPECT_TRUE(rt.game.sprites.get(0)->frames.empty());
    EXPECT_FALSE(rt.game.backgrounds.get(0)->image);
    // The records draw into the display's buffer.
    rt.images.draw_sprite(0, 0, 2, 1); // origin (2, 1): the frame's corner at (0, 0)
    EXPECT_EQ(rt.display.buffer().get_pixel(1, 0), 0x000080u);
    fs::remove(file);
}
