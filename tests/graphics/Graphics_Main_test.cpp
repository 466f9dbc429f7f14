// The display: setup from the game options, placement of the picture (windowed, full
// screen fit, letterboxing), ports with their offsets, the mouse through the ports, buffer
// size changes, presentation, saving the buffer, gamma, caption.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "Pixel_Art.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "model/Option_Main.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;
using namespace kelvane::testing;
namespace fs = std::filesystem;

namespace {

RScriptedEvent move_to(int64_t step, int32_t x, int32_t y) {
    RScriptedEvent e;
    e.step = step;
    e.kind = RScriptedEvent::mouse_move;
    e.a = x;
    e.b = y;
    return e;
}

// Input that nobody needs in these tests.
struct NoInput : InputSink {
    void key_down(int32_t) override {}
    void key_up(int32_t) override {}
    void key_press(uint8_t) override {}
    void mouse_down(int32_t) override {}
    void mouse_up(int32_t) override {}
    void close_request() override {}
};

RDisplaySetup small_setup(int32_t w, int32_t h) {
    RDisplaySetup s;
    s.buffer_width = w;
    s.buffer_height = h;
    return s;
}

// Counts what the display gives its drawing layers.
struct Layer : DrawingLayer {
    DDSurface* target = nullptr;
    int32_t x = 0, y = 0;
    void set_target(DDSurface* t, int32_t xo, int32_t yo) override { target = t, x = xo, y = yo; }
};

} // namespace

TEST(DisplaySetup, OptionsChooseModeRateDepthAndScales) {
    GameOptions o;
    o.resolution = 4;
    o.frequency = 4;
    o.color_depth = 1;
    o.scale_window = 150;
    o.scale_full = 0;
    o.set_resolution = false;
    o.exclusive_mode = true;
    RDisplaySetup s = display_setup_for(o, 1920);
    EXPECT_EQ(s.display_width, 1920);
    EXPECT_EQ(s.refresh_rate, 0);
    EXPECT_EQ(s.colour_depth, 32);
    EXPECT_DOUBLE_EQ(s.window_scale, 1.5);
    EXPECT_DOUBLE_EQ(s.full_screen_scale, 0);
    EXPECT_FALSE(s.exclusive); // exclusive needs set_resolution too
    o.resolution = 7;
    o.frequency = 2;
    o.color_depth = 0;
    o.set_resolution = true;
    s = display_setup_for(o, 1920);
    EXPECT_EQ(s.display_width, 800);
    EXPECT_EQ(s.refresh_rate, 85);
    EXPECT_EQ(s.colour_depth, 16);
    EXPECT_TRUE(s.exclusive);
}

TEST(DisplaySetup, ExclusiveModesByWidth) {
    const std::array<int32_t, 3> cases[] = {
        {320, 320, 240},    {640, 640, 480}, {1024, 1024, 768},
        {1280, 1280, 1024}, {900, 800, 600}, {1920, 800, 600},
    };
    for (auto [width, w, h] : cases) {
        int32_t mw = 0, mh = 0;
        exclusive_mode_size(width, mw, mh);
        EXPECT_EQ(mw, w) << width;
        EXPECT_EQ(mh, h) << width;
    }
}

TEST(Placement, WindowedAndFullScreenScalesAndOrigins) {
    struct Case {
        bool full;
        int32_t cw, ch, bw, bh;
        double window_scale, full_scale;
        double scale;
        int32_t x, y;
    };
    const Case cases[] = {
        {false, 960, 720, 640, 480, 1.5, 1, 1.5, 0, 0},
        {false, 640, 480, 640, 480, 0, 1, 1, 0, 0},             // not above 0: 1
        {true, 1024, 768, 640, 480, 1, 0, 1.6, 0, 0},           // 0: fit
        {true, 1024, 768, 640, 480, 1, 2, 1.6, 0, 0},           // does not fit: fit
        {true, 1024, 768, 640, 480, 1, 1, 1, 192, 144},         // unscaled, centred
        {true, 1920, 1080, 640, 480, 1, 0, 2.25, 240, 0},       // letterboxed left and right
        {true, 1280, 1024, 640, 480, 1, 0, 2, 0, 32},           // letterboxed top and bottom
        {true, 1024, 768, 300, 200, 1, 0, 1024.0 / 300, 0, 43}, // 42.67 rounds to 43
        {true, 1023, 768, 640, 480, 1, 1.5, 1.5, 32, 24},
    };
    for (const Case& c : cases) {
        RPlacement p = placement_for(c.full, c.cw, c.ch, c.bw, c.bh, c.window_scale, c.full_scale);
        EXPECT_DOUBLE_EQ(p.scale, c.scale) << c.cw << "x" << c.ch << " scale " << c.full_scale;
        EXPECT_EQ(p.x, c.x) << c.cw << "x" << c.ch << " scale " << c.full_scale;
        EXPECT_EQ(p.y, c.y) << c.cw << "x" << c.ch << " scale " << c.full_scale;
    }
}

TEST(Gamma, RampsFollowTheTwoFormulas) {
    auto flat = gamma_ramp(0);
    EXPECT_EQ(flat[0], 0);
    EXPECT_EQ(flat[1], 257);
    EXPECT_EQ(flat[255], 65535);
    auto bright = gamma_ramp(0.5); // round(i * 0.5 * 257 + 32767.5)
    EXPECT_EQ(bright[0], 32768);   // 32767.5 rounds to even
    EXPECT_EQ(bright[255], 65535);
    auto dark = gamma_ramp(-0.5); // round(i * 0.5 * 257)
    EXPECT_EQ(dark[3], 386);      // 385.5 rounds to even
    EXPECT_EQ(dark[255], 32768);  // 32767.5
    EXPECT_EQ(gamma_ramp(7), gamma_ramp(1));
    EXPECT_EQ(gamma_ramp(-3)[200], 0);
}

TEST(Display, InitialiseOpensTheWindowAtTheScaledSize) {
    HeadlessDisplay window({});
    CDisplay d;
    RDisplaySetup s = small_setup(640, 480);
    s.window_scale = 1.5;
    s.no_border = true;
    ASSERT_TRUE(d.initialise(window, s));
    EXPECT_TRUE(window.is_open());
    EXPECT_EQ(window.setup().client_width, 960);
    EXPECT_EQ(window.setup().client_height, 720);
    EXPECT_TRUE(window.setup().no_border);
    EXPECT_FALSE(window.setup().full_screen);
    EXPECT_EQ(d.selected_port(), -1);
    EXPECT_EQ(d.buffer().clip, (RRect{0, 0, 640, 480}));

    CDisplay e;
    RDisplaySetup x = small_setup(640, 480);
    x.exclusive = true;
    ASSERT_TRUE(e.initialise(window, x));
    EXPECT_TRUE(e.is_full_screen()); // exclusive is always full screen
    EXPECT_TRUE(window.setup().on_top);
    e.set_full_screen(false); // ignored in exclusive mode
    EXPECT_TRUE(e.is_full_screen());
}

TEST(Display, PortsClipTheBufferAndGiveTheLayersTheirOffsets) {
    HeadlessDisplay window({});
    CDisplay d;
    ASSERT_TRUE(d.initialise(window, small_setup(8, 4)));
    Layer layer;
    d.add_layer(&layer);
    EXPECT_EQ(layer.target, &d.buffer());
    d.set_port(0, 4, 0, 4, 4, 100, 50); // shows the room from (100, 50) at buffer x 4
    d.select_port(0);
    EXPECT_EQ(d.buffer().clip, (RRect{4, 0, 8, 4}));
    EXPECT_EQ(layer.x, 96);
    EXPECT_EQ(layer.y, 50);
    d.select_port(5); // not in use: nothing changes
    EXPECT_EQ(d.selected_port(), 0);
    d.select_port(33);
    d.set_port(40, 0, 0, 1, 1, 0, 0); // outside the table: ignored
    EXPECT_EQ(d.port(40), nullptr);
    d.select_port(-1);
    EXPECT_EQ(layer.x, 0);
    EXPECT_EQ(d.buffer().clip, (RRect{0, 0, 8, 4}));

    // Drawing through a port lands inside it only.
    CDrawables images;
    CBackground b;
    b.image = bitmap_of({"rg", "by"});
    b.width = b.height = 2;
    images.build_background(0, &b);
    d.add_layer(&images);
    d.select_port(0);
    images.draw_background_tiled(0, 0, 0, {0, 0, 1000, 1000}, true, true);
    EXPECT_EQ(rows_of(d.buffer()), (Rows{"....rgrg", "....byby", "....rgrg", "....byby"}));
}

TEST(Display, MouseMapsThroughTheHighestPortThatHoldsIt) {
    // Scripted mouse positions are window pixels; the window is at scale 2.
    HeadlessOptions o;
    o.input = {move_to(1, 13, 5), move_to(2, 8, 4), move_to(3, 7, 1), move_to(4, -9, 3)};
    HeadlessDisplay window(o);
    CDisplay d;
    RDisplaySetup s = small_setup(10, 4);
    s.window_scale = 2;
    ASSERT_TRUE(d.initialise(window, s));
    d.set_port(0, 0, 0, 5, 4, 100, 200);
    d.set_port(3, 4, 0, 6, 4, 500, 600);
    NoInput sink;
    const std::pair<int32_t, int32_t> expected[] = {
        {502, 602}, // (6.5, 2.5) -> (6, 2): port 3
        {500, 602}, // (4, 2) lies on both (edges count); 3 is searched first
        {500, 600}, // (3.5, 0.5) -> (4, 0): again port 3's left edge
        {-4, 2},    // (-4.5, 1.5) -> (-4, 2): no port holds it, the whole buffer's mapping
    };
    for (int step = 1; step <= 4; ++step) {
        window.begin_step(step - 1);
        window.process_events(sink); // the input for `step`
        int32_t x = 0, y = 0;
        d.mouse_position(x, y);
        EXPECT_EQ(x, expected[step - 1].first) << "step " << step;
        EXPECT_EQ(y, expected[step - 1].second) << "step " << step;
    }
}

TEST(Display, FullScreenMouseUsesTheLetterbox) {
    HeadlessOptions o;
    o.desktop_width = 1024, o.desktop_height = 768;
    o.input = {move_to(1, 192 + 30, 144 + 40)};
    HeadlessDisplay window(o);
    CDisplay d;
    RDisplaySetup s = small_setup(640, 480);
    s.start_full_screen = true;
    s.full_screen_scale = 1;
    ASSERT_TRUE(d.initialise(window, s));
    NoInput sink;
    window.process_events(sink);
    int32_t x = 0, y = 0;
    d.mouse_position(x, y);
    EXPECT_EQ(x, 30);
    EXPECT_EQ(y, 40);
    EXPECT_EQ(d.placement().x, 192);
}

TEST(Display, BufferSizeChangesRemakeTheBufferAndResizeTheWindow) {
    HeadlessDisplay window({});
    CDisplay d;
    RDisplaySetup s = small_setup(640, 480);
    s.window_scale = 2;
    ASSERT_TRUE(d.initialise(window, s));
    Layer layer;
    d.add_layer(&layer);
    d.buffer().fill(0xFFFFFF);
    d.set_buffer_size(300, 200);
    EXPECT_EQ(d.buffer_width(), 300);
    EXPECT_EQ(d.buffer().get_pixel(5, 5), 0u); // a new, black buffer
    EXPECT_EQ(window.setup().client_width, 600);
    EXPECT_EQ(window.setup().client_height, 400);
    EXPECT_EQ(d.port(-1)->dest, (RRect{0, 0, 300, 200}));
    EXPECT_EQ(d.buffer().clip, (RRect{0, 0, 300, 200}));
    EXPECT_EQ(layer.target, &d.buffer());
    // Sizes that cannot be made, or that would take more memory than any sound room needs
    // (a damaged game file or save may claim them): the old buffer stays.
    for (auto [w, h] : {std::pair{0, 10}, {100000, 100000}, {16384, 16384}, {8192, 4096}}) {
        EXPECT_FALSE(d.set_buffer_size(w, h)) << w << " x " << h;
        EXPECT_EQ(d.buffer_width(), 300);
    }
    EXPECT_TRUE(d.set_buffer_size(4096, 4096));
    EXPECT_TRUE(d.set_buffer_size(300, 200));
    d.set_window_scale(-1); // not above 0: 1
    EXPECT_EQ(window.setup().client_width, 300);
}

TEST(Display, RefreshPresentsTheBufferAtThePlacement) {
    HeadlessDisplay window({});
    CDisplay d;
    RDisplaySetup s = small_setup(3, 1);
    s.window_scale = 3;
    ASSERT_TRUE(d.initialise(window, s));
    d.clear_buffer(false, 0xFFFFFF);
    d.buffer().draw_bitmap(bitmap_of({"rgb"}), 0, 0);
    d.clear_buffer(true, colour_of('y'));
    d.buffer().set_pixel(1, 0, colour_of('r'));
    d.refresh(0, 0, 0);
    EXPECT_EQ(window.presented(), 1);
    EXPECT_EQ(rows_of(window.last_picture()), (Rows{"yry"}));
    EXPECT_DOUBLE_EQ(window.last_placement().scale, 3);
    // An unknown transition kind shows nothing at all.
    d.refresh(20, 100, 5);
    d.refresh(3, 100, 0);
    EXPECT_EQ(window.presented(), 1);
}

TEST(Display, CaptionIsPaintedIntoTheBufferOnlyWithoutAWindowBorder) {
    HeadlessDisplay window({});
    int painted = 0;
    for (bool no_border : {false, true}) {
        CDisplay d;
        RDisplaySetup s = small_setup(4, 4);
        s.no_border = no_border;
        ASSERT_TRUE(d.initialise(window, s));
        d.caption_painter = [&](DDSurface&, const std::string& text) {
            EXPECT_EQ(text, "Room 1");
            ++painted;
        };
        d.refresh(0, 0, 0); // empty caption: nothing
        d.set_caption("Room 1");
        d.refresh(0, 0, 0);
        EXPECT_EQ(window.setup().caption, "Room 1");
    }
    EXPECT_EQ(painted, 1);
}

TEST(Display, SavingTheBufferWritesWindowsBitmaps) {
    HeadlessDisplay window({});
    CDisplay d;
    ASSERT_TRUE(d.initialise(window, small_setup(3, 2)));
    d.buffer().draw_bitmap(bitmap_of({"rgb", "wko"}), 0, 0);
    fs::path dir = fs::temp_directory_path() / ("kelvane-save-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto load = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), {});
        return DecodeBmp(bytes.data(), bytes.size());
    };
    ASSERT_TRUE(d.save_buffer((dir / "all.bmp").string()));
    EXPECT_EQ(rows_of(*load(dir / "all.bmp")), (Rows{"rgb", "wko"}));
    ASSERT_TRUE(d.save_buffer_part((dir / "part.bmp").string(), {1, 1, 4, 2}));
    EXPECT_EQ(rows_of(*load(dir / "part.bmp")), (Rows{"ko."}));
    EXPECT_FALSE(d.save_buffer_part((dir / "none.bmp").string(), {2, 2, 1, 1}));
    EXPECT_FALSE(d.save_buffer((dir / "no-such-folder" / "x.bmp").string()));
    fs::remove_all(dir);
}

TEST(Display, GammaIsKeptAndReachesTheScreenOnlyWhenExclusive) {
    HeadlessDisplay window({});
    CDisplay d;
    ASSERT_TRUE(d.initialise(window, small_setup(4, 4)));
    EXPECT_EQ(d.gamma()[0], gamma_ramp(0));
    d.set_gamma(0.5, 0, -2);
    EXPECT_EQ(d.gamma()[0], gamma_ramp(0.5));
    EXPECT_EQ(d.gamma()[2], gamma_ramp(-1));
}
