// Drawing speed: the software drawing of a typical frame (a tiled background, many
// colour-keyed sprites, some blended ones, tiles) into a 640 x 480 buffer, and the steps
// around it (plain and scaled copies, presenting the buffer).
#include <benchmark/benchmark.h>

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

} // namespace

BENCHMARK_MAIN();
