// The loading window: layout from its picture, the bar and label rules, progress widths,
// the drawn picture, and the game's own pictures.
#include <gtest/gtest.h>

#include "graphics/Graphics_DDraw.h"
#include "runner/Runner_LoadForm.h"

using namespace kelvane;

TEST(LoadForm, DefaultLayoutCentresTheWindowAndPlacesTheBar) {
    TLoadForm f;
    f.show(false, 1025, 769);
    EXPECT_TRUE(f.visible());
    EXPECT_EQ(f.client_width(), 340);
    EXPECT_EQ(f.client_height(), 100);
    EXPECT_EQ(f.left(), 342); // (1025 - 340) div 2
    EXPECT_EQ(f.top(), 334);
    EXPECT_EQ(f.empty_bar(), (RRect{24, 68, 316, 84}));
    EXPECT_EQ(f.full_bar(), (RRect{24, 70, 24, 84})); // progress 0
    EXPECT_EQ(f.label(), (RRect{32, 68, 305, 85}));
    EXPECT_TRUE(f.bar_visible());
    EXPECT_FALSE(f.label_visible()); // only with the debug flag
    EXPECT_EQ(f.label_text(), "Loading");
}

TEST(LoadForm, ProgressWidthIsRoundedToNearest) {
    TLoadForm f;
    f.show(true, 640, 480);
    const std::pair<int, int32_t> cases[] = {{5, 15}, {10, 29}, {18, 53}, {49, 143}, {100, 292}};
    for (auto [percent, width] : cases) {
        f.progress(percent, "step");
        EXPECT_EQ(f.full_bar().width(), width) << percent; // round(percent * 292 / 100)
    }
    EXPECT_TRUE(f.label_visible());
    EXPECT_EQ(f.label_text(), "step");
}

TEST(LoadForm, GamePicturesReplaceTheDefaults) {
    TLoadForm f;
    RLoadingPictures p;
    p.load_bar = 2;
    p.image = Bitmap24(200, 60, 0x00FF00);
    p.bar_back = Bitmap24(4, 4, 0x0000FF);
    p.bar_front = Bitmap24(2, 2, 0xFF0000);
    f.set_pictures(p);
    f.show(false, 800, 600);
    EXPECT_EQ(f.client_width(), 200);
    EXPECT_EQ(f.empty_bar(), (RRect{24, 28, 176, 44}));
    f.progress(50, "half");
    Image32 picture = f.render();
    ASSERT_EQ(picture.width, 200);
    auto at = [&](int x, int y) { return pixel_to_colour(picture.pixels[size_t(y * 200 + x)]); };
    EXPECT_EQ(at(5, 5), 0x00FF00u);   // the picture
    EXPECT_EQ(at(24, 29), 0x0000FFu); // the back bar, stretched over the whole bar
    EXPECT_EQ(at(175, 43), 0x0000FFu);
    EXPECT_EQ(at(24, 30), 0xFF0000u); // the front bar, 76 wide at 50 percent
    EXPECT_EQ(at(99, 43), 0xFF0000u);
    EXPECT_EQ(at(100, 30), 0x0000FFu);
    f.hide();
    EXPECT_FALSE(f.visible());
}

TEST(LoadForm, NoBarShowsOnlyThePicture) {
    TLoadForm f;
    RLoadingPictures p;
    p.load_bar = 0;
    p.bar_back = Bitmap24(4, 4, 0x0000FF); // ignored unless load_bar is 2
    f.set_pictures(p);
    f.show(true, 800, 600);
    EXPECT_FALSE(f.bar_visible());
    EXPECT_FALSE(f.label_visible());
    Image32 plain = f.render();
    EXPECT_EQ(to_bitmap24(plain), default_loading_picture());
}

TEST(LoadForm, LabelIsPaintedThroughTheTextHook) {
    TLoadForm f;
    std::string painted;
    f.text_painter = [&](DDSurface&, RRect r, const std::string& text) {
        painted = text;
        EXPECT_EQ(r.top, 68);
    };
    f.show(true, 800, 600);
    f.progress(32, "Loading scripts");
    f.render();
    EXPECT_EQ(painted, "Loading scripts");
}

TEST(LoadForm, TheLabelTextIsBlackInsideTheLabel) {
    TLoadForm with, without;
    with.show(true, 800, 600);
    without.show(true, 800, 600);
    with.progress(50, "Loading sprites");
    without.progress(50, "Loading sprites");
    without.text_painter = nullptr;
    const Bitmap24 a = to_bitmap24(with.render()), b = to_bitmap24(without.render());
    const RRect label = with.label();
    int32_t changed = 0;
    for (int32_t y = 0; y < a.height; ++y)
        for (int32_t x = 0; x < a.width; ++x) {
            if (a.pixel(x, y) == b.pixel(x, y)) continue;
            ++changed;
            EXPECT_EQ(a.pixel(x, y), 0u) << x << "," << y;
            EXPECT_TRUE(x >= label.left && x < label.right && y >= label.top && y < label.bottom)
                << x << "," << y;
        }
    EXPECT_GT(changed, 20);
}
