// Surface copies: placement, colour key, nearest-neighbour scaling, clipping with the
// source moved by the cut, copies within one surface, and the colour conversion.
#include <gtest/gtest.h>

#include <functional>

#include "Pixel_Art.h"
#include "graphics/Graphics_GDI.h"

using namespace kelvane;
using namespace kelvane::testing;

TEST(Surface, PlainCopyLandsAtThePositionAndStopsAtTheEdges) {
    DDSurface src = surface_of({"rg", "by"});
    DDSurface dst = blank(4, 3);
    dst.copy_whole(1, 1, src, true, 1, 1);
    dst.copy_whole(3, -1, src, true, 1, 1); // partly outside: only what fits
    EXPECT_EQ(rows_of(dst), (Rows{"...b", ".rg.", ".by."}));
}

TEST(Surface, ColourKeySkipsKeyPixelsOnlyWhenTheSourceIsTransparent) {
    DDSurface keyed = surface_of({"krk", "gkb"}, true);
    DDSurface plain = surface_of({"krk", "gkb"}, false);
    DDSurface a = surface_of({"www", "www"}), b = surface_of({"www", "www"});
    a.copy_whole(0, 0, keyed, true, 1, 1);
    b.copy_whole(0, 0, plain, true, 1, 1);
    EXPECT_EQ(rows_of(a), (Rows{"wrw", "gwb"}));
    EXPECT_EQ(rows_of(b), (Rows{"krk", "gkb"}));
    EXPECT_EQ(keyed.colour_key(), colour_of('k'));
}

TEST(Surface, ScalingTakesSourcePixelsFromTheLeftAndTop) {
    // Destination column j of D takes source column floor(j * S / D).
    struct Case {
        double xscale, yscale;
        Rows expected;
    };
    const Case cases[] = {
        {2, 1, {"rrggbbyy"}},
        {0.5, 1, {"rb"}},
        {1.5, 1, {"rrgbby"}},
        {0.75, 2, {"rgb", "rgb"}},
    };
    DDSurface src = surface_of({"rgby"});
    for (const Case& c : cases) {
        DDSurface dst = blank(int32_t(c.expected[0].size()), int32_t(c.expected.size()));
        dst.copy_whole(0, 0, src, true, c.xscale, c.yscale);
        EXPECT_EQ(rows_of(dst), c.expected) << c.xscale << " x " << c.yscale;
    }
}

TEST(Surface, ClippingCutsTheDestinationAndMovesTheSourceByTheCutOverTheScale) {
    DDSurface src = surface_of({"rgby"});
    DDSurface dst = blank(7, 1);
    dst.clip = {1, 0, 7, 1};
    // Unclipped this would be "rrgbby" from x 0. The cut of 1 moves the source by
    // round(1 / 1.5) = 1, so "gby" is stretched over the five columns 1 ... 5.
    dst.copy_whole(0, 0, src, true, 1.5, 1);
    EXPECT_EQ(rows_of(dst), (Rows{".ggbby."}));

    DDSurface whole = blank(7, 1);
    whole.clip = {1, 0, 7, 1};
    whole.copy_whole(0, 0, src, false, 1.5, 1); // no clip: every pixel that fits
    EXPECT_EQ(rows_of(whole), (Rows{"rrgbby."}));
}

TEST(Surface, NothingIsCopiedOutsideTheClipOrWithABadScaleOrSource) {
    DDSurface src = surface_of({"rg"});
    DDSurface dst = blank(4, 1);
    dst.clip = {2, 0, 4, 1};
    dst.copy_whole(0, 0, src, true, 1, 1); // ends where the clip starts
    dst.copy_whole(2, 0, src, true, 0, 1);
    dst.copy_whole(2, 0, src, true, -1, 1);
    dst.copy(2, 0, {1, 0, 3, 1}, src, true, 1, 1); // source beyond its surface
    dst.copy(2, 0, {1, 0, 1, 1}, src, true, 1, 1); // empty source
    EXPECT_EQ(rows_of(dst), (Rows{"...."}));
    // A source that sticks out is fine once the clip has cut it back inside.
    dst.copy(3, 0, {1, 0, 3, 1}, src, true, 1, 1);
    EXPECT_EQ(rows_of(dst), (Rows{"...g"}));
}

TEST(Surface, CopyWithinOneSurfaceReadsThePictureBeforeTheCopy) {
    DDSurface s = surface_of({"rgby.", "....."});
    s.copy(1, 0, {0, 0, 4, 1}, s, true, 1, 1);
    s.copy(0, 1, {1, 0, 3, 1}, s, true, 2, 1);
    EXPECT_EQ(rows_of(s), (Rows{"rrgby", "rrgg."}));
}

TEST(Surface, FarAwayDestinationsAreHarmless) {
    DDSurface src = surface_of({"rg"});
    DDSurface dst = blank(2, 1);
    dst.copy_whole(2147483647, 0, src, true, 1e300, 1);
    dst.copy_whole(-2147483647, 0, src, false, 1e300, 1);
    dst.copy_whole(0, 0, src, true, std::nan(""), 1);
    EXPECT_EQ(rows_of(dst), (Rows{".."}));
}

TEST(Surface, ColoursConvertBothWaysAndFillIgnoresTheClip) {
    EXPECT_EQ(colour_to_pixel(0x0080FF), 0xFF8000u); // Windows orange -> 0x00RRGGBB
    EXPECT_EQ(pixel_to_colour(0xFF8000), 0x0080FFu);
    DDSurface s = blank(2, 2);
    s.clip = {0, 0, 1, 1};
    s.fill(colour_of('o'));
    EXPECT_EQ(rows_of(s), (Rows{"oo", "oo"}));
    EXPECT_EQ(s.get_pixel(1, 1), colour_of('o'));
    EXPECT_EQ(s.get_pixel(5, 5), 0u);
}

TEST(Surface, SurfacesThatCannotExistAreNotMade) {
    DDSurface s;
    EXPECT_FALSE(s.create(0, 5, true, 0, false));
    EXPECT_FALSE(s.create(20000, 20000, true, 0, false)); // more pixels than any picture
    EXPECT_FALSE(s.create(-3, 2, true, 0, false));
    EXPECT_FALSE(s.exists());
    s.fill(0xFFFFFF); // does nothing, and does not crash
    DDSurface src = surface_of({"r"});
    EXPECT_TRUE(s.copy_whole(0, 0, src, true, 1, 1));
}

TEST(Surface, RoundingIsToNearestWithHalvesToEven) {
    EXPECT_EQ(round_pixel(2.5), 2);
    EXPECT_EQ(round_pixel(3.5), 4);
    EXPECT_EQ(round_pixel(-2.5), -2);
    EXPECT_EQ(round_pixel(1e20), 1073741824);
    EXPECT_EQ(round_pixel(std::nan("")), 0);
}

TEST(Surface, APictureOnScreenIsHandedOverBeforeItsFirstChange) {
    // Each change of a surface that is shown leaves the screen with the picture as it
    // was shown; a fill hands it over too, and a fill that changes nothing is skipped.
    struct Case {
        const char* what;
        std::function<void(DDSurface&)> change;
        Rows surface_after;
    };
    const Case cases[] = {
        {"pixel", [](DDSurface& s) { s.set_pixel(0, 0, colour_of('w')); }, {"wg"}},
        {"copy", [](DDSurface& s) { s.copy_whole(1, 0, surface_of({"b"}), true, 1, 1); }, {"rb"}},
        {"bitmap", [](DDSurface& s) { s.draw_bitmap(bitmap_of({"y"}), 0, 0); }, {"yg"}},
        {"canvas",
         [](DDSurface& s) { CCanvas(s, nullptr).set_pixel(1, 0, colour_of('o')); },
         {"ro"}},
        {"fill", [](DDSurface& s) { s.fill(colour_of('b')); }, {"bb"}},
        {"painted over", [](DDSurface& s) { s.will_be_painted_over(); }, {"kk"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        DDSurface screen = blank(2, 1);
        DDSurface s = surface_of({"rg"});
        s.show_until_changed(&screen);
        EXPECT_TRUE(s.shown_in(&screen));
        c.change(s);
        EXPECT_FALSE(s.shown_in(&screen));
        EXPECT_EQ(rows_of(screen), (Rows{"rg"}));
        // What a painted-over surface holds is not looked at; the others are exact.
        if (std::string(c.what) != "painted over") {
            EXPECT_EQ(rows_of(s), c.surface_after);
        }
    }
    // Unshown, a surface changes alone; a repeated fill with one colour is one fill.
    DDSurface screen = blank(2, 1);
    DDSurface s = surface_of({"rg"});
    s.fill(colour_of('b'));
    s.show_until_changed(&screen);
    s.fill(colour_of('b')); // nothing changes: the surface is still what is shown
    EXPECT_TRUE(s.shown_in(&screen));
    s.set_pixel(1, 0, colour_of('r'));
    EXPECT_EQ(rows_of(screen), (Rows{"bb"}));
    s.fill(colour_of('b')); // after a change the fill is done again
    EXPECT_EQ(rows_of(s), (Rows{"bb"}));
}
