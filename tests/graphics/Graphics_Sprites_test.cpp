// Drawable records and the draw primitives: strip layout, frame wrap, origin rounding,
// colour keys, the alpha blend, stretching, parts, tiling start positions, load on use.
#include <gtest/gtest.h>

#include <filesystem>

#include "Pixel_Art.h"
#include "graphics/Graphics_Sprites.h"
#include "run/Game.h"

using namespace kelvane;
using namespace kelvane::testing;

namespace {

CSprite sprite_of(const std::vector<Rows>& frames, int32_t xoffset = 0, int32_t yoffset = 0,
                  bool transparent = false) {
    CSprite s;
    for (const auto& f : frames) s.frames.push_back(bitmap_of(f));
    s.number = int32_t(frames.size());
    s.width = s.frames[0].width;
    s.height = s.frames[0].height;
    s.xoffset = xoffset;
    s.yoffset = yoffset;
    s.transparent = transparent;
    return s;
}

CBackground background_of(const Rows& rows, bool transparent = false) {
    CBackground b;
    b.image = bitmap_of(rows);
    b.width = b.image->width;
    b.height = b.image->height;
    b.transparent = transparent;
    return b;
}

// An image store drawing into a black target of the given size.
struct Canvas {
    CDrawables images;
    DDSurface target;
    Canvas(int32_t w, int32_t h) : target(blank(w, h)) { images.set_target(&target, 0, 0); }
    Rows rows() const { return rows_of(target); }
};

} // namespace

TEST(Drawables, StripHoldsFramesInRowsOfAtMost640Pixels) {
    EXPECT_EQ(strip_per_row(100, 10), 6);
    EXPECT_EQ(strip_per_row(100, 4), 4);
    EXPECT_EQ(strip_per_row(700, 3), 1);
    EXPECT_EQ(strip_per_row(0, 3), 1);

    CSprite s;
    s.width = 100, s.height = 5, s.number = 10, s.transparent = false;
    for (int i = 0; i < 10; ++i) s.frames.emplace_back(100, 5, uint32_t(i + 1));
    CDrawables images;
    images.build_sprite(0, &s);
    const RSprite& r = images.sprites[0];
    ASSERT_TRUE(r.exists && r.ready);
    EXPECT_EQ(r.per_row, 6);
    EXPECT_EQ(r.surface->width, 600);
    EXPECT_EQ(r.surface->height, 10);
    EXPECT_EQ(r.cell(7), (RRect{100, 5, 200, 10}));
    EXPECT_EQ(r.surface->get_pixel(150, 7), 8u); // frame 7
}

TEST(Drawables, StripsOfManyFramesMayBeHigherThanAnyPicture) {
    CSprite s;
    s.width = 64, s.height = 64, s.number = 6000, s.transparent = false;
    s.frames.assign(6000, Bitmap24());
    s.frames[5999] = Bitmap24(64, 64, 0x0000FF);
    CDrawables images;
    images.build_sprite(0, &s);
    ASSERT_TRUE(images.sprites[0].exists);
    EXPECT_EQ(images.sprites[0].surface->height, 600 * 64); // 10 frames a row
    EXPECT_EQ(images.sprite_frame_bitmap(0, 5999)->pixel(3, 3), 0x0000FFu);
}

TEST(Drawables, FrameIndicesWrapAroundTheFrameCount) {
    CSprite s = sprite_of({{"r"}, {"g"}, {"b"}, {"y"}});
    Canvas c(1, 1);
    c.images.build_sprite(0, &s);
    const std::pair<int32_t, char> cases[] = {{0, 'r'}, {-1, 'y'}, {9, 'g'}, {-5, 'y'}, {4, 'r'}};
    for (auto [frame, colour] : cases) {
        c.images.draw_sprite(0, frame, 0, 0);
        EXPECT_EQ(c.rows(), Rows{std::string(1, colour)}) << "frame " << frame;
    }
}

TEST(Drawables, OriginIsScaledAndRoundedHalfToEven) {
    // xoffset 1 at scale 2.5: the origin lands round(2.5) = 2 pixels left of x.
    CSprite s = sprite_of({{"rg"}}, 1, 0);
    Canvas c(8, 1);
    c.images.build_sprite(0, &s);
    c.images.draw_sprite(0, 0, 3, 0, 2.5, 1, 1);
    EXPECT_EQ(c.rows(), (Rows{".rrrgg.."}));
}

TEST(Drawables, TransparentSpritesUseTheBottomLeftColourAsKey) {
    // The strip is filled with the first frame's bottom-left colour; each frame leaves its
    // own bottom-left colour out.
    CSprite s = sprite_of({{"rk", "kg"}, {"yb", "bb"}}, 0, 0, true);
    Canvas c(4, 2);
    c.target.fill(colour_of('w'));
    c.images.build_sprite(0, &s);
    c.images.draw_sprite(0, 0, 0, 0);
    c.images.draw_sprite(0, 1, 2, 0);
    EXPECT_EQ(c.rows(), (Rows{"rwyw", "wgww"}));
}

TEST(Drawables, AlphaBlendIsRoundedPerByteWithAlphaTimes256) {
    struct Case {
        uint32_t target, source;
        double alpha;
        uint32_t expected;
    };
    // Bytes are blue, green, red of a Windows colour; each byte blends on its own.
    const Case cases[] = {
        {0x000000, 0x0000FF, 0.3, 0x00004D},  // a = 77: 77 * 255 / 256 = 76.7 -> 77
        {0x0000C8, 0x000064, 0.5, 0x000096},  // (200 + 100) / 2
        {0x000001, 0x000000, 0.5, 0x000000},  // 0.5 rounds to even: 0
        {0x000003, 0x000000, 0.5, 0x000002},  // 1.5 rounds to even: 2
        {0x102030, 0xF0E0D0, 1.5, 0xF0E0D0},  // clamped to 1
        {0x102030, 0xF0E0D0, -0.2, 0x102030}, // clamped to 0
    };
    for (const Case& t : cases) {
        CSprite s;
        s.frames.push_back(Bitmap24(1, 1, t.source));
        s.number = 1, s.transparent = false;
        Canvas c(1, 1);
        c.target.fill(t.target);
        c.images.build_sprite(0, &s);
        c.images.draw_sprite(0, 0, 0, 0, 1, 1, t.alpha);
        EXPECT_EQ(c.target.get_pixel(0, 0), t.expected) << "alpha " << t.alpha;
    }
}

TEST(Drawables, BlendedDrawingScalesFirstAndSkipsTheKeyColour) {
    CSprite s = sprite_of({{"rk", "kk"}}, 0, 0, true);
    Canvas c(5, 4);
    c.target.fill(colour_of('w'));
    c.images.build_sprite(0, &s);
    // 2 x 2 scaled to 4 x 3: rows 0, 0, 1 of the frame; a = round(0.9999 * 256) = 256.
    c.images.draw_sprite(0, 0, 1, 1, 2, 1.5, 0.9999);
    EXPECT_EQ(c.rows(), (Rows{"wwwww", "wrrww", "wrrww", "wwwww"}));
    // Clipped to the target's clip rectangle like every draw.
    c.target.clip = {0, 0, 2, 4};
    c.target.fill(colour_of('w'));
    c.images.draw_sprite(0, 0, 1, 1, 2, 1, 0.9999);
    EXPECT_EQ(c.rows(), (Rows{"wwwww", "wrwww", "wwwww", "wwwww"}));
}

TEST(Drawables, StretchedDrawingScalesToTheSize) {
    CSprite s = sprite_of({{"rg", "by"}}, 1, 1);
    Canvas c(6, 3);
    c.images.build_sprite(0, &s);
    c.images.draw_sprite_stretched(0, 0, 3, 1, 6, 2); // origin (1, 1) at scale 3 x 1
    EXPECT_EQ(c.rows(), (Rows{"rrrggg", "bbbyyy", "......"}));
    Canvas d(2, 2);
    d.images.build_sprite(0, &s);
    d.images.draw_sprite_stretched(0, 0, 1, 1, 0, 2);
    d.images.draw_sprite_stretched(0, 0, 1, 1, 2, -1);
    EXPECT_EQ(d.rows(), (Rows{"..", ".."}));
}

TEST(Drawables, TiledBackgroundsStartByTheModuloRule) {
    // A 3-pixel tile over the area 0 ... 10.
    CBackground b = background_of({"rgb"});
    struct Case {
        int32_t x;
        RRect area;
        bool tiled;
        std::string expected;
    };
    const Case cases[] = {
        {7, {0, 0, 10, 1}, true, "brgbrgbrgb"},  // 7 mod 3 = 1 > 0: start at -2
        {-7, {0, 0, 10, 1}, true, "gbrgbrgbrg"}, // -7 mod 3 = -1: start at -1
        {0, {5, 0, 10, 1}, true, "...rgbrgbr"},  // moved on to the cell reaching 5
        {0, {0, 0, 5, 1}, true, "rgbrgb...."},   // cells start while x < area right
        {4, {0, 0, 10, 1}, false, "....rgb..."}, // untiled: the one cell
    };
    for (const Case& t : cases) {
        Canvas c(10, 1);
        c.images.build_background(0, &b);
        c.images.draw_background_tiled(0, t.x, 0, t.area, t.tiled, false);
        EXPECT_EQ(c.rows(), Rows{t.expected}) << "x " << t.x;
    }
}

TEST(Drawables, TilingWorksOnBothAxesWithScaleAndTargetOffsets) {
    CBackground b = background_of({"rg", "by"});
    Canvas c(5, 4);
    // The target shows the room from (3, 1): every position moves by (-3, -1).
    c.images.set_target(&c.target, 3, 1);
    c.images.build_background(0, &b);
    c.images.draw_background_tiled(0, 0, 0, {0, 0, 100, 100}, true, true, 1, 1, 1);
    EXPECT_EQ(c.rows(), (Rows{"ybyby", "grgrg", "ybyby", "grgrg"}));
    Canvas d(4, 2);
    d.images.build_background(0, &b);
    d.images.draw_background_tiled(0, 0, 0, {0, 0, 4, 2}, true, false, 2, 1, 1);
    EXPECT_EQ(d.rows(), (Rows{"rrgg", "bbyy"}));
}

TEST(Drawables, HugeTiledAreasDrawOnlyWhatCanBeSeen) {
    CBackground b = background_of({"r"});
    Canvas c(2, 1);
    c.images.build_background(0, &b);
    // A billion cells each way would never finish; the visible ones are two.
    c.images.draw_background_tiled(0, -1000000000, -1000000000,
                                   {-1000000000, -1000000000, 1000000000, 1000000000}, true, true);
    EXPECT_EQ(c.rows(), (Rows{"rr"}));
}

TEST(Drawables, PartsDrawTheRectangleOfTheBackground) {
    CBackground b = background_of({"rgby", "wkoz"});
    Canvas c(5, 2);
    c.images.build_background(0, &b);
    c.images.draw_background_part(0, 1, 0, 2, 2, 1, 0, 2, 1, 1);
    EXPECT_EQ(c.rows(), (Rows{".ggbb", ".kkoo"}));
    c.images.draw_background_part(0, 3, 0, 2, 2, 0, 0); // reaches outside the background
    EXPECT_EQ(c.rows(), (Rows{".ggbb", ".kkoo"}));
}

TEST(Drawables, LoadOnUseKeepsTheStripInATemporaryFileUntilDrawn) {
    TempDirectory temp;
    ASSERT_TRUE(temp.create());
    CSprite s = sprite_of({{"rg"}});
    s.loadonuse = true;
    Canvas c(2, 1);
    c.images.temp = &temp;
    std::vector<std::string> reports;
    c.images.report = [&](const std::string& m) { reports.push_back(m); };
    c.images.build_sprite(0, &s);
    RSprite& r = c.images.sprites[0];
    EXPECT_FALSE(r.ready);
    EXPECT_FALSE(r.surface || r.parked); // nothing of the picture in memory
    EXPECT_TRUE(std::filesystem::exists(r.file_name));
    EXPECT_EQ(std::filesystem::path(r.file_name).parent_path(), temp.path());

    c.images.draw_sprite(0, 0, 0, 0);
    EXPECT_EQ(c.rows(), (Rows{"rg"}));
    EXPECT_TRUE(r.ready);
    c.images.discard_load_on_use();
    EXPECT_FALSE(r.ready);
    EXPECT_FALSE(r.surface);

    std::filesystem::remove(r.file_name);
    c.target.fill(0);
    c.images.draw_sprite(0, 0, 0, 0);
    EXPECT_EQ(c.rows(), (Rows{".."}));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Failed to restore sprite from file " + r.file_name);

    // Freeing the record removes its file.
    c.images.build_sprite(1, &s);
    std::string file = c.images.sprites[1].file_name;
    c.images.free_sprite(1);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST(Drawables, LoadOnUseWithoutATemporaryDirectoryKeepsThePictureInMemory) {
    CSprite s = sprite_of({{"rg"}});
    s.loadonuse = true;
    Canvas c(2, 1);
    c.images.build_sprite(0, &s);
    EXPECT_TRUE(c.images.sprites[0].file_name.empty());
    c.images.draw_sprite(0, 0, 0, 0);
    EXPECT_EQ(c.rows(), (Rows{"rg"}));
}

TEST(Drawables, DiscardedRecordsAreRestoredAtTheNextDraw) {
    CBackground b = background_of({"rg"});
    Canvas c(2, 1);
    c.images.build_background(0, &b);
    c.images.discard_background(0);
    EXPECT_FALSE(c.images.backgrounds[0].surface);
    c.images.draw_background(0, 0, 0);
    EXPECT_EQ(c.rows(), (Rows{"rg"}));
    c.images.discard_background(0);
    c.images.restore_background(0);
    EXPECT_TRUE(c.images.backgrounds[0].ready);
}

TEST(Drawables, MissingOrEmptyResourcesDrawNothing) {
    Game g;
    g.sprites.resize(3);
    auto empty = std::make_unique<CSprite>(); // no frames
    g.sprites.set(1, "spr_empty", std::move(empty));
    auto broken = std::make_unique<CSprite>(sprite_of({{"r"}}));
    broken->width = -4; // only a damaged file has this
    g.sprites.set(2, "spr_broken", std::move(broken));
    g.backgrounds.resize(1);
    g.backgrounds.set(0, "bg_without_picture", std::make_unique<CBackground>());
    Canvas c(2, 1);
    c.images.build_all_releasing(g);
    EXPECT_EQ(c.images.sprites.size(), 3u);
    for (int32_t id : {-1, 0, 1, 2, 3, 1000}) {
        c.images.draw_sprite(id, 0, 0, 0);
        c.images.draw_sprite(id, 0, 0, 0, 1, 1, 0.5);
        c.images.draw_background(id, 0, 0);
        c.images.draw_background_tiled(id, 0, 0, {0, 0, 2, 1}, true, true);
        EXPECT_FALSE(c.images.sprite_frame_bitmap(id, 0));
    }
    EXPECT_FALSE(c.images.backgrounds[0].exists);
    EXPECT_EQ(c.rows(), (Rows{".."}));
    c.images.set_target(nullptr, 0, 0);
    c.images.draw_sprite(0, 0, 0, 0); // no target: nothing, no crash
}

TEST(Drawables, FramesAndBackgroundsCanBeCopiedOut) {
    CSprite s = sprite_of({{"rg"}, {"by"}});
    CBackground b = background_of({"wk", "oz"});
    CDrawables images;
    images.build_sprite(0, &s);
    images.build_background(0, &b);
    EXPECT_EQ(rows_of(*images.sprite_frame_bitmap(0, 1)), (Rows{"by"}));
    EXPECT_FALSE(images.sprite_frame_bitmap(0, 2));
    EXPECT_EQ(rows_of(*images.background_bitmap(0)), (Rows{"wk", "oz"}));
}
