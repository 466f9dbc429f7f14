// Room drawing pieces: caption, buffer size, views following a box, view ports, background
// layers, tile culling, the depth sort and the merge of tiles and instances.
#include <gtest/gtest.h>

#include "Pixel_Art.h"
#include "graphics/Room_Draw.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;
using namespace kelvane::testing;

TEST(RoomDraw, CaptionShowsScoreAndLivesWhenAsked) {
    EXPECT_EQ(room_caption_text("Cave", false, 150, 3), "Cave");
    EXPECT_EQ(room_caption_text("Cave", true, 150, -1), "Cave     Score: 150");
    EXPECT_EQ(room_caption_text("Cave", true, -20, 0), "Cave     Score: -20  Lives: 0");
}

TEST(RoomDraw, BufferSizeComesFromTheVisibleViews) {
    std::array<CView, 8> views{};
    int32_t w = 0, h = 0;
    room_buffer_size(false, views, 1000, 300, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(1000, 300));
    views[0].visible = true, views[0].width = 4, views[0].height = 4;
    room_buffer_size(true, views, 1000, 300, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(8, 8)); // at least 8 each way
    views[2].visible = true, views[2].x = 320, views[2].width = 320, views[2].y = 10,
    views[2].height = 200;
    views[2].left = 5000; // the room area shown does not size the buffer
    views[5].x = 2000;    // not visible
    room_buffer_size(true, views, 1000, 300, w, h);
    EXPECT_EQ(std::make_pair(w, h), std::make_pair(640, 210));
}

TEST(RoomDraw, ViewsFollowTheBoxWithinBordersRoomAndSpeed) {
    struct Case {
        int32_t x, width, hborder, hspeed;
        RBox box;
        int32_t room_width;
        int32_t expected;
    };
    const Case cases[] = {
        {0, 640, 32, -1, {100, 0, 120, 10}, 500, -140},   // wider than the room
        {0, 200, 32, -1, {300, 0, 320, 10}, 1000, 152},   // right edge + border - width
        {300, 200, 32, -1, {310, 0, 330, 10}, 1000, 278}, // left edge - border
        {100, 200, 32, -1, {150, 0, 160, 10}, 1000, 100}, // inside the borders: stays
        {0, 200, 32, 4, {300, 0, 320, 10}, 1000, 4},      // at most 4 per step
        {300, 200, 32, 4, {10, 0, 20, 10}, 1000, 296},
        {10, 200, 32, -1, {0, 0, 5, 10}, 1000, 0},   // kept inside the room
        {0, 200, 32, 0, {900, 0, 910, 10}, 1000, 0}, // speed 0: never moves
    };
    for (const Case& c : cases) {
        CView v;
        v.left = c.x, v.width = c.width, v.hborder = c.hborder, v.hspeed = c.hspeed;
        v.top = 0, v.height = 100, v.vborder = 0, v.vspeed = -1;
        v.x = 11, v.y = 12; // the port's place on the screen does not move
        follow_box(v, c.box, c.room_width, 100);
        EXPECT_EQ(v.left, c.expected) << "from " << c.x << " box " << c.box.left;
        EXPECT_EQ(v.top, 0);
        EXPECT_EQ(std::make_pair(v.x, v.y), std::make_pair(11, 12));
    }
    CView v;
    v.top = 0, v.height = 100, v.vborder = 20, v.vspeed = 7, v.width = 10, v.hborder = 0;
    follow_box(v, {0, 200, 5, 210}, 10, 1000);
    EXPECT_EQ(v.top, 7);
}

TEST(RoomDraw, ViewPortsFollowTheViews) {
    HeadlessDisplay window({});
    CDisplay d;
    ASSERT_TRUE(d.initialise(window, RDisplaySetup{}));
    std::array<CView, 8> views{};
    views[1].visible = true;
    views[1].left = 10, views[1].top = 20, views[1].width = 30, views[1].height = 40;
    views[1].x = 100, views[1].y = 200;
    d.set_port(4, 0, 0, 5, 5, 0, 0);
    set_view_ports(d, true, views);
    EXPECT_FALSE(d.port(0)->in_use);
    EXPECT_FALSE(d.port(4)->in_use);
    ASSERT_TRUE(d.port(1)->in_use);
    // The port sits at (x, y) on the screen and shows the room from (left, top).
    EXPECT_EQ(d.port(1)->dest, (RRect{100, 200, 130, 240}));
    EXPECT_EQ(d.port(1)->source_x, 10);
    EXPECT_EQ(d.port(1)->source_y, 20);
    set_view_ports(d, false, views);
    EXPECT_FALSE(d.port(1)->in_use);
    EXPECT_TRUE(d.port(-1)->in_use);
}

TEST(RoomDraw, BackgroundLayersDrawInOrderWithTheirFlags) {
    CDrawables images;
    CBackground red, blue;
    red.image = bitmap_of({"r"}), red.width = red.height = 1;
    blue.image = bitmap_of({"bb"}), blue.width = 2, blue.height = 1;
    images.build_background(0, &red);
    images.build_background(1, &blue);
    DDSurface target = blank(6, 2);
    images.set_target(&target, 0, 0);
    std::array<CRoom::CBackground, 8> layers{};
    layers[0].visible = true, layers[0].index = 0; // tiled both ways by default
    layers[1].visible = true, layers[1].index = 1, layers[1].htiled = false,
    layers[1].vtiled = false, layers[1].x = 2.5, layers[1].y = 1; // x rounds to 2
    layers[2].visible = true, layers[2].index = 1, layers[2].foreground = true;
    layers[3].visible = false, layers[3].index = 1;
    draw_room_backgrounds(images, layers, false, {0, 0, 6, 2});
    EXPECT_EQ(rows_of(target), (Rows{"rrrrrr", "rrbbrr"}));
    draw_room_backgrounds(images, layers, true, {0, 0, 6, 2});
    EXPECT_EQ(rows_of(target), (Rows{"bbbbbb", "bbbbbb"}));
}

TEST(RoomDraw, TilesOutsideTheAreaAreNotDrawn) {
    RTile t;
    t.x = 100, t.y = 50, t.width = 16, t.height = 8, t.xscale = 2, t.yscale = 1;
    // Edges touch: drawn (the test includes them).
    EXPECT_TRUE(tile_touches(t, {0, 0, 100, 50}));
    EXPECT_TRUE(tile_touches(t, {132, 58, 200, 200}));
    EXPECT_FALSE(tile_touches(t, {0, 0, 99, 100}));
    EXPECT_FALSE(tile_touches(t, {133, 0, 200, 100}));
    EXPECT_FALSE(tile_touches(t, {0, 59, 200, 100}));

    CDrawables images;
    CBackground sheet;
    sheet.image = bitmap_of({"rgby", "wkoz"}), sheet.width = 4, sheet.height = 2;
    images.build_background(0, &sheet);
    DDSurface target = blank(4, 2);
    images.set_target(&target, 0, 0);
    RTile tile;
    tile.background = 0, tile.left = 2, tile.top = 0, tile.width = 2, tile.height = 2;
    tile.x = 1.5, tile.y = 0; // 1.5 rounds to 2
    draw_tile(images, tile, {0, 0, 4, 2});
    EXPECT_EQ(rows_of(target), (Rows{"..by", "..oz"}));
    tile.x = 10;
    target.fill(0);
    draw_tile(images, tile, {0, 0, 4, 2});
    EXPECT_EQ(rows_of(target), (Rows{"....", "...."}));
}

TEST(RoomDraw, DepthSortIsStableHighestFirst) {
    std::vector<std::pair<double, char>> items = {{0, 'a'},  {5, 'b'}, {0, 'c'},
                                                  {-3, 'd'}, {5, 'e'}, {10, 'f'}};
    sort_by_depth(items, [](const auto& p) { return p.first; });
    std::string order;
    for (auto& p : items) order += p.second;
    EXPECT_EQ(order, "fbeacd");
}

namespace {

// Tiles and instances as depths with shown flags; draws are recorded.
struct Scene {
    Scene(std::vector<double> td, std::vector<double> id, std::vector<bool> ts,
          std::vector<bool> is)
        : tile_depths(std::move(td)), instance_depths(std::move(id)), tiles_shown(std::move(ts)),
          instances_shown(std::move(is)) {}
    std::vector<double> tile_depths, instance_depths;
    std::vector<bool> tiles_shown, instances_shown;
    std::string drawn;
    // Drawing instance 0 hides instance 1 (a draw event may change what follows).
    bool first_hides_second = false;

    size_t tile_count() { return tile_depths.size(); }
    size_t instance_count() { return instance_depths.size(); }
    bool tile_shown(size_t t) { return tiles_shown[t]; }
    bool instance_shown(size_t k) { return instances_shown[k]; }
    double tile_depth(size_t t) { return tile_depths[t]; }
    double instance_depth(size_t k) { return instance_depths[k]; }
    void draw_tile(size_t t) { drawn += "T" + std::to_string(t); }
    void draw_instance(size_t k) {
        drawn += "I" + std::to_string(k);
        if (k == 0 && first_hides_second) instances_shown[1] = false;
    }
};

} // namespace

TEST(RoomDraw, TilesAndInstancesMergeByDepthWithTilesOverInstances) {
    Scene s{{10, 5, 5, -1}, {5, 5, 0}, {true, true, true, true}, {true, true, true}};
    merge_by_depth(s);
    EXPECT_EQ(s.drawn, "T0I0I1T1T2I2T3");

    Scene hidden{{10, 5}, {5, 5, 0}, {false, true}, {true, false, true}};
    merge_by_depth(hidden);
    EXPECT_EQ(hidden.drawn, "I0T1I2");

    Scene changing{{}, {3, 2, 1}, {}, {true, true, true}};
    changing.first_hides_second = true;
    merge_by_depth(changing);
    EXPECT_EQ(changing.drawn, "I0I2");
}
