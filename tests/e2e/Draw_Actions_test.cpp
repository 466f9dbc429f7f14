// The drawing and screen actions in a running game, checked on the written frames.
#include "Picture_Game.h"

#include "project/Project_Image.h"

using namespace kelvane;
using namespace kelvane::e2e;

TEST_F(GameTest, DrawSpriteActionAndScreenModeAction) {
    // A 2 x 2 red sprite without a see-through colour; the room is black.
    Bitmap24 red(2, 2, 0x0000ff);
    auto png = encode_png(red);
    write("red.png", std::string(png.begin(), png.end()));
    write(
        "kelvane-project.json",
        R"({"sprites": [{"name": "spr_red", "transparent": false, "frames": [{"file": "red.png"}]}],
      "objects": [{"name": "o", "events": [)" +
            event("draw", 0, {action(36, {"spr_red", "10", "20", "-1"})}) + "," +
            event("create", 0, {action(62, {"2"}), code("global.s = string(full_screen);")}) + "," +
            event("other", 3, {code(write_s)}) + R"(]}],
      "rooms": [{"name": "r", "background_color": 0, "instances": [{"x": 300, "y": 300, "object": "o"}]}]})");
    fs::create_directories(dir / "frames");
    ASSERT_EQ(run(1, "--frames frames"), 0) << err;
    EXPECT_EQ(read("out.txt"), "1") << err;
    auto f = picture_file(dir / "frames" / "frame-000001.png");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->pixel(10, 20), 0x0000ffu);
    EXPECT_EQ(f->pixel(11, 21), 0x0000ffu);
    EXPECT_EQ(f->pixel(12, 20), 0u);
    EXPECT_EQ(f->pixel(300, 300), 0u); // the draw event replaces the instance's own sprite
}
