// Drawing speed: the software drawing of a typical frame (a tiled background, many
// colour-keyed sprites, some blended ones, tiles) into a 640 x 480 buffer, and the steps
// around it (plain and scaled copies, presenting the buffer).
#include <benchmark/benchmark.h>

#include "graphics/Graphics_GDI.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Graphics_Sprites.h"
#include "graphics/Room_Draw.h"
#include "platform/headless/Headless_Platform.h"

using namespace kelvane;

namespace {

// A 32 x 32 picture: a disc of one colour on the key colour (magenta).
Bitmap24 disc(uint32_t colour) {
    Bitmap24 img(32, 32, 0xFF00FF);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if ((x - 16) * (x - 16) + (y - 16) * (y - 16) < 14 * 14) img.set_pixel(x, y, colour);
    return img;
}

struct Scene {
    CDrawables images;
    DDSurface buffer;
    Scene() {
        buffer.create(640, 480, true, 0, false);
        images.set_target(&buffer, 0, 0);
        CSprite ball;
        for (int i = 0; i < 4; ++i) ball.frames.push_back(disc(0x2040C0u + uint32_t(i) * 0x100));
        ball.number = 4, ball.width = ball.height = 32, ball.xoffset = ball.yoffset = 16;
        ball.transparent = true;
        images.build_sprite(0, &ball);
        CBackground ground;
        ground.image = Bitmap24(32, 32);
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) ground.image->set_pixel(x, y, uint32_t(x * 8 + y * 2048));
        ground.width = ground.height = 32;
        images.build_background(0, &ground);
    }
};

void typical_frame(benchmark::State& state) {
    Scene s;
    std::array<CRoom::CBackground, 8> layers{};
    layers[0].visible = true, layers[0].index = 0;
    std::vector<RTile> tiles(100);
    for (size_t i = 0; i < tiles.size(); ++i) {
        RTile& t = tiles[i];
        t.background = 0, t.width = t.height = 16, t.left = 8, t.top = 8;
        t.x = double(i % 20) * 32, t.y = double(i / 20) * 32 + 200;
    }
    const RRect area{0, 0, 640, 480};
    for (auto _ : state) {
        draw_room_backgrounds(s.images, layers, false, area);
        for (const RTile& t : tiles) draw_tile(s.images, t, area);
        for (int i = 0; i < 200; ++i) s.images.draw_sprite(0, i, (i * 37) % 640, (i * 53) % 480);
        for (int i = 0; i < 20; ++i)
            s.images.draw_sprite(0, i, (i * 91) % 640, (i * 29) % 480, 1, 1, 0.5);
        benchmark::DoNotOptimize(s.buffer.surface.pixels.data());
    }
}
BENCHMARK(typical_frame)->Unit(benchmark::kMicrosecond);

void keyed_sprite(benchmark::State& state) {
    Scene s;
    int i = 0;
    for (auto _ : state) s.images.draw_sprite(0, i, (i * 37) % 640, (i * 53) % 480), ++i;
}
BENCHMARK(keyed_sprite);

void blended_sprite(benchmark::State& state) {
    Scene s;
    int i = 0;
    for (auto _ : state) s.images.draw_sprite(0, i, (i * 37) % 640, (i * 53) % 480, 1, 1, 0.5), ++i;
}
BENCHMARK(blended_sprite);

void scaled_sprite(benchmark::State& state) {
    Scene s;
    int i = 0;
    for (auto _ : state)
        s.images.draw_sprite(0, i, (i * 37) % 640, (i * 53) % 480, 2.5, 2.5, 1), ++i;
}
BENCHMARK(scaled_sprite);

void tiled_background_640x480(benchmark::State& state) {
    Scene s;
    for (auto _ : state) s.images.draw_background_tiled(0, 0, 0, {0, 0, 640, 480}, true, true);
}
BENCHMARK(tiled_background_640x480)->Unit(benchmark::kMicrosecond);

void refresh_640x480(benchmark::State& state) {
    HeadlessDisplay window({});
    CDisplay d;
    d.initialise(window, RDisplaySetup{});
    for (auto _ : state) d.refresh(0, 0, 0);
}
BENCHMARK(refresh_640x480)->Unit(benchmark::kMicrosecond);

// ---- shapes and text on a canvas ----

struct Board {
    DDSurface buffer;
    CFonts fonts;
    std::optional<CCanvas> canvas;
    Board() {
        buffer.create(640, 480, true, 0, false);
        canvas.emplace(buffer, &fonts);
        canvas->pen = {0x0000FF, 1};
        canvas->brush = {0x00FF00, brush_solid};
        canvas->font = {
            {"Arial", font_height_for_points(12), false, false}, 0xFFFFFF, false, false};
    }
};

void text_line(benchmark::State& state) {
    Board b;
    b.canvas->brush.style = brush_hollow;
    int i = 0;
    for (auto _ : state)
        b.canvas->text_out((i * 37) % 500, (i * 53) % 460, "Score: 123456   Lives: 3"), ++i;
}
BENCHMARK(text_line);

void text_turned_45(benchmark::State& state) {
    Board b;
    b.canvas->brush.style = brush_hollow;
    int i = 0;
    for (auto _ : state)
        b.canvas->text_out(100 + (i * 37) % 400, 200 + (i * 53) % 260, "Score: 123456   Lives: 3",
                           450),
            ++i;
}
BENCHMARK(text_turned_45);

void text_wrapped_block(benchmark::State& state) {
    Board b;
    b.canvas->brush.style = brush_hollow;
    const std::string text =
        "The quick brown fox jumps over the lazy dog. Pack my box with five dozen liquor "
        "jugs.#How vexingly quick daft zebras jump! Sphinx of black quartz, judge my vow.";
    for (auto _ : state) draw_text_block(*b.canvas, 20, 20, text, -1, 300, 0, 0);
}
BENCHMARK(text_wrapped_block)->Unit(benchmark::kMicrosecond);

void filled_rectangle_200x100(benchmark::State& state) {
    Board b;
    for (auto _ : state) b.canvas->rectangle(100, 100, 300, 200);
}
BENCHMARK(filled_rectangle_200x100);

void filled_ellipse_200x100(benchmark::State& state) {
    Board b;
    for (auto _ : state) b.canvas->ellipse(100, 100, 300, 200);
}
BENCHMARK(filled_ellipse_200x100);

void hatched_ellipse_200x100(benchmark::State& state) {
    Board b;
    b.canvas->brush.style = brush_diagcross;
    for (auto _ : state) b.canvas->ellipse(100, 100, 300, 200);
}
BENCHMARK(hatched_ellipse_200x100);

void wide_pen_ellipse_200x100(benchmark::State& state) {
    Board b;
    b.canvas->pen.width = 5;
    for (auto _ : state) b.canvas->ellipse(100, 100, 300, 200);
}
BENCHMARK(wide_pen_ellipse_200x100)->Unit(benchmark::kMicrosecond);

void pie_200x200(benchmark::State& state) {
    Board b;
    for (auto _ : state) b.canvas->pie(100, 100, 300, 300, 300, 200, 100, 150);
}
BENCHMARK(pie_200x200)->Unit(benchmark::kMicrosecond);

void polygon_star_400(benchmark::State& state) {
    Board b;
    const RPoint star[5] = {{320, 40}, {440, 440}, {120, 180}, {520, 180}, {200, 440}};
    for (auto _ : state) b.canvas->polygon(star);
}
BENCHMARK(polygon_star_400)->Unit(benchmark::kMicrosecond);

void flood_fill_640x480(benchmark::State& state) {
    Board b;
    int i = 0;
    // Alternate colours, so that every fill covers the whole buffer.
    for (auto _ : state)
        b.canvas->brush.colour = (i++ & 1) ? 0xFF0000 : 0x00FF00, b.canvas->flood_fill(5, 5);
}
BENCHMARK(flood_fill_640x480)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
