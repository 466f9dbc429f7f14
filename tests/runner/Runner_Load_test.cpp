// Loading game files: header checks and their messages, every section, damaged files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "Sample_Game.h"
#include "graphics/Graphics_Sprites.h"
#include "run/Collision_Main.h"
#include "runner/Runner_Load.h"

using namespace kelvane;
using kelvane::testing::sample_game;

namespace {

// Replaces the int at a file offset; `seed` scrambles it like the block does.
void poke_int(std::vector<uint8_t>& bytes, size_t at, int32_t v, int32_t seed) {
    SubstitutionTable t;
    t.set_seed(seed);
    CStream s;
    s.set_table(&t);
    WriteInt(s, v);
    for (size_t i = 0; i < 4; ++i) bytes[at + i] = s.bytes()[i];
}

// A game file needs a room to play: one plain room, first in the room order.
void add_room(Game& g) {
    g.rooms.add("room", std::make_unique<CRoom>());
    g.room_order = {0};
}

constexpr size_t magic_at = game_block_offset + 4;
constexpr size_t version_at = game_block_offset + 8;

} // namespace

TEST(Loader, EveryRecordKindRoundTripsForSeveralSeeds) {
    for (int32_t seed : {0, 1, 255, 4242, 214748}) {
        Game g = sample_game();
        auto bytes = write_game_bytes(g, seed);
        Game back;
        LoadResult r = load_game_bytes(bytes, back);
        ASSERT_TRUE(r.ok) << r.message << r.diagnostic;
        EXPECT_EQ(back.header.seed, seed);
        EXPECT_EQ(write_game_bytes(back, seed), bytes) << "seed " << seed;

        EXPECT_EQ(back.header.game_id, 777);
        EXPECT_FALSE(back.header.debug_flag());
        EXPECT_EQ(back.options.scale_window, 150);
        ASSERT_TRUE(back.options.load_bar_front);
        EXPECT_EQ(*back.options.load_bar_front, *g.options.load_bar_front);
        EXPECT_EQ(back.sounds.count(), 2);
        EXPECT_FALSE(back.sounds.exists(0));
        EXPECT_EQ(back.sounds.name(0), "<undefined>");
        EXPECT_EQ(back.sounds.get(1)->buffers, 3);
        const CSprite* spr = back.sprites.get(0);
        ASSERT_TRUE(spr);
        EXPECT_EQ(spr->frames.size(), 2u);
        EXPECT_EQ(spr->frames[0], g.sprites.get(0)->frames[0]);
        EXPECT_TRUE(spr->frames[1].empty());
        EXPECT_EQ(*back.backgrounds.get(0)->image, *g.backgrounds.get(0)->image);
        EXPECT_EQ(back.paths.get(0)->computed.size(), 17u);
        EXPECT_EQ(back.scripts.find("scr_inc"), 0);
        const CObject* child = back.objects.get(2);
        ASSERT_TRUE(child);
        EXPECT_EQ(child->parent, 0);
        EXPECT_TRUE(child->own_event(ev_keypress, 37));
        EXPECT_EQ(back.objects.get(0)->version, 400);
        EXPECT_TRUE(back.objects.get(0)->own_event(ev_alarm, 5));
        EXPECT_FALSE(back.objects.get(0)->own_event(ev_alarm, 4));
        EXPECT_FALSE(back.objects.get(0)->own_event(ev_draw, 0)); // stored empty
        const CRoom* room = back.rooms.get(1);
        ASSERT_TRUE(room);
        EXPECT_EQ(room->caption, "Level \xe9");
        EXPECT_EQ(room->backgrounds[0].hspeed, -2);
        EXPECT_EQ(room->backgrounds[1].index, -1);
        EXPECT_EQ(room->placed.size(), 2u);
        EXPECT_EQ(room->tiles.at(0).id, 10000001);
        EXPECT_EQ(back.last_instance_id, 100002);
        EXPECT_TRUE(back.information.help_in_window);
        EXPECT_EQ(back.room_order, std::vector<int32_t>{1});
    }
}

TEST(Loader, Version419HasNoPathsSection) {
    Game g = sample_game(419);
    auto bytes = write_game_bytes(g, 99);
    Game back;
    std::vector<std::string> captions;
    LoadResult r =
        load_game_bytes(bytes, back, [&](int, const std::string& c) { captions.push_back(c); });
    ASSERT_TRUE(r.ok) << r.diagnostic;
    EXPECT_EQ(back.paths.count(), 0);
    EXPECT_EQ(back.scripts.find("scr_inc"), 0);
    // The progress step for paths is shown all the same.
    EXPECT_EQ(captions,
              (std::vector<std::string>{"Loading sounds", "Loading sprites", "Collision structure",
                                        "Loading backgrounds", "Loading paths", "Loading scripts",
                                        "Loading objects", "Loading rooms", "Loading help",
                                        "Loading room order"}));
}

TEST(Loader, HeaderChecksGiveTheirMessages) {
    struct Case {
        size_t at;
        int32_t value;
        bool ok;
        const char* message;
    } cases[] = {
        {magic_at, 1234320, false, "This is not a valid kelvane game."},
        {version_at, 410, false, "Wrong version number; too small."},
        {version_at, 411, true, ""},
        {version_at, 430, true, ""},
        {version_at, 431, false, "Wrong version number; too large."},
    };
    for (const auto& c : cases) {
        auto bytes = write_game_bytes(sample_game(c.value >= 420 ? 430 : 419), 31);
        poke_int(bytes, c.at, c.value, 31);
        Game back;
        LoadResult r = load_game_bytes(bytes, back);
        EXPECT_EQ(r.ok, c.ok) << c.value;
        EXPECT_EQ(r.message, c.message) << c.value;
    }
}

TEST(Loader, ShortFilesAndUnreadableSeeds) {
    Game back;
    LoadResult r = load_game_bytes(std::vector<uint8_t>(game_block_offset - 1), back);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "This is not a valid kelvane file.");

    // Exactly the offset: the block is empty and the seed cannot be read.
    r = load_game_bytes(std::vector<uint8_t>(game_block_offset), back);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "");
    EXPECT_NE(r.diagnostic.find("section header at byte offset 1350000"), std::string::npos)
        << r.diagnostic;

    auto bytes = write_game_bytes(sample_game(), 5);
    poke_int(bytes, game_block_offset, 214749, 0);
    r = load_game_bytes(bytes, back);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.message.find("seed 214749"), std::string::npos) << r.message;
}

TEST(Loader, WrongVersionsFailSilentlyButNameTheSection) {
    // The sound section alone has a message of its own.
    Game g = sample_game();
    auto bytes = write_game_bytes(g, 0);
    Game back;
    // Find the sounds section: it follows the options; locate it by re-writing up to it.
    CStream probe;
    g.options.write(probe);
    size_t sounds_at = game_block_offset + 4 * 5 + 16 + probe.size();
    poke_int(bytes, sounds_at, 401, 0);
    LoadResult r = load_game_bytes(bytes, back);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "Error loading sounds.");
    EXPECT_NE(r.diagnostic.find("section sounds at byte offset " + std::to_string(sounds_at)),
              std::string::npos)
        << r.diagnostic;
}

TEST(Loader, RoomOrderMustHoldARoom) {
    Game g = sample_game();
    g.room_order.clear();
    Game back;
    LoadResult r = load_game_bytes(write_game_bytes(g, 3), back);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "");
    EXPECT_NE(r.diagnostic.find("room order"), std::string::npos);
}

namespace {
// The tools' load (24-bit pictures with their encodings) and a game's load to run
// (pictures decoded into their strips) read damaged files alike.
constexpr LoadOptions both_loads[] = {{.keep_encodings = true}, {.keep_encodings = false}};
} // namespace

TEST(Loader, EveryTruncationFailsCleanly) {
    auto bytes = write_game_bytes(sample_game(), 77);
    for (LoadOptions options : both_loads)
        for (size_t len = game_block_offset; len < bytes.size(); ++len) {
            Game back;
            LoadResult r = load_game_bytes(
                std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(len)), back, {}, options);
            ASSERT_FALSE(r.ok) << "truncated at " << len;
            ASSERT_FALSE(r.diagnostic.empty() && r.message.empty()) << len;
        }
}

TEST(Loader, CorruptedBytesNeverCrash) {
    auto good = write_game_bytes(sample_game(), 12);
    std::mt19937 rng(1);
    for (int round = 0; round < 3000; ++round) {
        auto bytes = good;
        int flips = 1 + round % 4;
        for (int i = 0; i < flips; ++i) {
            size_t at = game_block_offset + rng() % (bytes.size() - game_block_offset);
            bytes[at] = uint8_t(rng());
        }
        for (LoadOptions options : both_loads) {
            Game back;
            LoadResult r = load_game_bytes(bytes, back, {}, options);
            if (!r.ok) {
                EXPECT_FALSE(r.diagnostic.empty() && r.message.empty());
            }
        }
    }
}

// A sprite or background record claims a size; its pictures are what the file backs. A
// claim far beyond them (from a damaged file) must not size anything: the pictures' size
// is taken, with a warning.
TEST(Loader, ClaimedSizesGiveWayToThePicturesSizes) {
    Game g;
    auto sprite = std::make_unique<CSprite>();
    sprite->width = sprite->height = 60000;
    sprite->number = 1;
    sprite->frames.push_back(Bitmap24(2, 2));
    g.sprites.add("spr_claims", std::move(sprite));
    auto empty = std::make_unique<CSprite>();
    empty->width = empty->height = 60000; // no pictures: nothing is sized by it
    g.sprites.add("spr_empty", std::move(empty));
    auto back = std::make_unique<CBackground>();
    back->width = 100000, back->height = 5;
    back->image = Bitmap24(3, 2);
    g.backgrounds.add("bg_claims", std::move(back));
    add_room(g);
    Game loaded;
    LoadResult r = load_game_bytes(write_game_bytes(g, 7), loaded);
    ASSERT_TRUE(r.ok) << r.diagnostic;
    EXPECT_EQ(loaded.sprites.get(0)->width, 2);
    EXPECT_EQ(loaded.sprites.get(0)->height, 2);
    EXPECT_EQ(loaded.sprites.get(1)->width, 60000);
    EXPECT_EQ(loaded.backgrounds.get(0)->width, 3);
    EXPECT_EQ(loaded.backgrounds.get(0)->height, 2);
    EXPECT_EQ(r.warnings.size(), 2u);
}

// The strips and collision masks of a game file's pictures take memory by the pixel:
// every picture decoded, and every sprite's frames at the sprite's size, are spent from
// one budget of 2^25 pixels, so that a few kilobytes (a huge claim over empty frames,
// many frames beside one large picture) never size gigabytes. A game within the budget
// loads; one pixel more is refused with a diagnostic.
TEST(Loader, PicturesOfAGameFileShareOneBudget) {
    // One 2048 x 2048 picture (2^22 pixels) and `empty` frames without picture.
    auto large_sprite = [](int32_t empty) {
        auto s = std::make_unique<CSprite>();
        s->width = s->height = 2048;
        s->frames.push_back(Bitmap24(2048, 2048));
        for (int32_t i = 0; i < empty; ++i) s->frames.push_back(Bitmap24());
        s->number = int32_t(s->frames.size());
        return s;
    };
    struct Case {
        const char* what;
        int32_t empty_frames;
        int32_t claim; // > 0: a further sprite claiming claim x claim over one empty frame
        bool one_more_background;
        bool loads;
    } cases[] = {
        {"8 frames of 2^22 pixels: the whole budget", 7, 0, false, true},
        {"9 frames of 2^22 pixels", 8, 0, false, false},
        {"the whole budget and a 1 x 1 background", 7, 0, true, false},
        {"a claim of 16000 x 16000 over an empty frame", 0, 16000, false, false},
    };
    for (const Case& c : cases) {
        Game g;
        g.sprites.add("spr_large", large_sprite(c.empty_frames));
        if (c.claim) {
            auto s = std::make_unique<CSprite>();
            s->width = s->height = c.claim;
            s->frames.push_back(Bitmap24());
            s->number = 1;
            g.sprites.add("spr_claim", std::move(s));
        }
        if (c.one_more_background) {
            auto b = std::make_unique<CBackground>();
            b->width = b->height = 1;
            b->image = Bitmap24(1, 1);
            g.backgrounds.add("bg", std::move(b));
        }
        add_room(g);
        for (LoadOptions options : both_loads) {
            Game loaded;
            LoadResult r = load_game_bytes(write_game_bytes(g, 3), loaded, {}, options);
            EXPECT_EQ(r.ok, c.loads) << c.what << ": " << r.describe();
            if (!c.loads) {
                EXPECT_NE(r.diagnostic.find("pixels in all"), std::string::npos) << c.what;
            }
        }
    }
}

namespace {

// Cell i of a strip as a picture of its own.
Image32 cell_of(PictureStrip& strip, int32_t i) {
    const PixelWindow c = strip.cell(i);
    Image32 out{c.width, c.height, {}};
    for (int32_t y = 0; y < c.height; ++y)
        out.pixels.insert(out.pixels.end(), c.pixels + size_t(y) * c.stride,
                          c.pixels + size_t(y) * c.stride + size_t(c.width));
    return out;
}

std::string write_temp_file(const std::vector<uint8_t>& bytes, const std::string& name) {
    std::string path = ::testing::TempDir() + name + "-" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return path;
}

} // namespace

// A file is mapped and given back as the loader walks it: a game of several megabytes of
// pictures (past the stream's release step) loads from its file exactly as from its bytes,
// and writes back byte for byte; a game loaded to run keeps the pixels without encodings.
TEST(Loader, AGameFileLoadsAsItsBytesDoWithOrWithoutEncodings) {
    Game g = sample_game();
    auto* big = g.sprites.get(0);
    std::mt19937 random(7);
    for (int i = 0; i < 6; ++i) {
        Bitmap24 frame(512, 512);
        for (auto& b : frame.pixels) b = uint8_t(random()); // runs of one pixel
        big->frames.push_back(std::move(frame));
    }
    big->frames.erase(big->frames.begin(), big->frames.begin() + 2);
    big->number = int32_t(big->frames.size());
    big->width = big->height = 512;
    auto bytes = write_game_bytes(g, 4242);
    ASSERT_GT(bytes.size(), game_block_offset + (size_t(5) << 20));
    std::string path = write_temp_file(bytes, "mapped.kgame");

    Game kept;
    LoadResult r = load_game_file(path, kept);
    ASSERT_TRUE(r.ok) << r.describe();
    EXPECT_EQ(write_game_bytes(kept, 4242), bytes);
    ASSERT_TRUE(kept.sprites.get(0)->frames[5].stored);

    Game running;
    r = load_game_file(path, running, {}, {.keep_encodings = false});
    ASSERT_TRUE(r.ok) << r.describe();
    CSprite& loaded = *running.sprites.get(0);
    EXPECT_TRUE(loaded.frames.empty());
    ASSERT_TRUE(loaded.strip);
    ASSERT_EQ(loaded.strip->number(), 6);
    for (int32_t i = 0; i < 6; ++i) {
        const Image32 cell = cell_of(*loaded.strip, i);
        EXPECT_EQ(to_bitmap24(cell), big->frames[size_t(i)]) << i;
    }
    EXPECT_FALSE(running.backgrounds.get(0)->image);
    ASSERT_TRUE(running.backgrounds.get(0)->strip);
    EXPECT_EQ(to_bitmap24(cell_of(*running.backgrounds.get(0)->strip, 0)),
              *g.backgrounds.get(0)->image);
    std::remove(path.c_str());
}

namespace {

// A picture stored in the given scheme (0 a Windows bitmap, 1 or 2 runs of one pixel, which
// the writer keeps because they give the same pixels).
Bitmap24 stored_as(Bitmap24 picture, int32_t scheme) {
    CStream s;
    if (scheme == 0) {
        const int32_t zero = 0;
        s.write_raw(&zero, 4);
        auto bmp = EncodeBmp(picture);
        s.write_raw(bmp.data(), bmp.size());
    } else {
        std::vector<uint32_t> palette;
        for (int32_t y = 0; y < picture.height; ++y)
            for (int32_t x = 0; x < picture.width; ++x)
                if (std::find(palette.begin(), palette.end(), picture.pixel(x, y)) == palette.end())
                    palette.push_back(picture.pixel(x, y));
        auto put = [&](int32_t v) { s.write_raw(&v, 4); };
        auto put_colour = [&](uint32_t c) {
            uint8_t bgr[3] = {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
            s.write_raw(bgr, 3);
        };
        put(scheme);
        if (scheme == 2) {
            put(int32_t(palette.size()));
            for (uint32_t c : palette) put_colour(c);
        }
        put(picture.width);
        put(picture.height);
        for (int32_t y = 0; y < picture.height; ++y) {
            put(picture.width);
            for (int32_t x = 0; x < picture.width; ++x) s.write_raw("\1", 1);
            for (int32_t x = 0; x < picture.width; ++x) {
                uint32_t c = picture.pixel(x, y);
                if (scheme == 1) {
                    put_colour(c);
                } else {
                    auto k =
                        uint8_t(std::find(palette.begin(), palette.end(), c) - palette.begin());
                    s.write_raw(&k, 1);
                }
            }
        }
    }
    picture.stored = std::make_shared<const std::vector<uint8_t>>(s.take_bytes());
    return picture;
}

// A picture of w x h whose pixels take one of `colours` values, with `key` at the
// bottom-left and wherever (x + y) % 5 == 0, and red (another frame's key) where x % 7 == 3.
Bitmap24 noisy(int32_t w, int32_t h, uint32_t key, int colours, uint32_t seed) {
    std::mt19937 random(seed);
    Bitmap24 b(w, h);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            b.set_pixel(x, y,
                        (x + y) % 5 == 0 ? key
                        : x % 7 == 3     ? 0x0000FFu
                                         : 0x010203u * uint32_t(random() % colours));
    b.set_pixel(0, h - 1, key);
    return b;
}

} // namespace

// Pictures decoded at load straight into their strips give the surfaces and the collision
// masks that the frames read as 24-bit pictures give, for every scheme, frames of other
// sizes than the first, frames without picture, see-through colours that differ from frame
// to frame (and appear as plain colours in other frames), rows narrower than four pixels,
// and strips with empty cells.
TEST(Loader, PicturesDecodedIntoStripsDrawAsTheirFrames) {
    const uint32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000;
    struct Case {
        const char* what;
        std::vector<Bitmap24> frames;
        bool transparent = true;
        bool loadonuse = false;
    };
    std::vector<Case> cases = {
        {"keys differ per frame",
         {noisy(100, 5, red, 4, 1), noisy(100, 5, green, 4, 2), noisy(100, 5, red, 4, 3)}},
        {"sizes differ",
         {noisy(40, 30, blue, 3, 4), noisy(20, 10, green, 3, 5), noisy(70, 50, red, 3, 6),
          Bitmap24(), noisy(40, 30, 0, 2, 7)}},
        {"first frame empty", {Bitmap24(), noisy(30, 20, green, 5, 8)}},
        {"opaque", {noisy(100, 5, red, 200, 9), noisy(100, 5, green, 4, 10)}, false},
        {"narrow", {noisy(1, 7, red, 3, 11), noisy(3, 7, green, 3, 12), noisy(2, 7, red, 3, 13)}},
        {"scheme 0",
         {stored_as(noisy(33, 9, red, 6, 14), 0), stored_as(noisy(33, 9, blue, 6, 15), 0)}},
        {"scheme 1", {stored_as(noisy(17, 4, red, 3, 16), 1)}},
        {"scheme 2",
         {stored_as(noisy(17, 4, red, 3, 17), 2), stored_as(noisy(5, 4, blue, 3, 18), 2)}},
        {"wide frames", {noisy(700, 3, red, 4, 19), noisy(700, 3, green, 4, 20)}},
        {"loaded on use", {noisy(50, 8, red, 4, 21), noisy(50, 8, green, 4, 22)}, true, true},
    };
    Game g;
    add_room(g);
    for (const Case& c : cases) {
        auto s = std::make_unique<CSprite>();
        s->frames = c.frames;
        s->number = int32_t(c.frames.size());
        s->width = s->height = 1; // the first picture's size is taken
        s->transparent = c.transparent;
        s->loadonuse = c.loadonuse;
        g.sprites.add(c.what, std::move(s));
        auto b = std::make_unique<CBackground>();
        b->image = c.frames.back();
        b->width = b->height = 1;
        b->transparent = c.transparent;
        b->loadonuse = c.loadonuse;
        g.backgrounds.add(c.what, std::move(b));
    }
    g.backgrounds.add("no picture", std::make_unique<CBackground>());
    const std::string path = write_temp_file(write_game_bytes(g, 77), "strips.kgame");

    Game as_frames, as_strips;
    ASSERT_TRUE(load_game_file(path, as_frames).ok);
    ASSERT_TRUE(load_game_file(path, as_strips, {}, {.keep_encodings = false}).ok);
    std::remove(path.c_str());
    EXPECT_TRUE(as_strips.sprites.get(0)->strip);
    EXPECT_FALSE(as_strips.sprites.get(int32_t(cases.size()) - 1)->strip); // loaded on use
    CollisionMasks masks_of_frames, masks_of_strips;
    masks_of_frames.build_all(as_frames, [](const std::string&) {});
    masks_of_strips.build_all(as_strips, [](const std::string&) {});
    CDrawables from_frames, from_strips;
    from_frames.build_all_releasing(as_frames);
    from_strips.build_all_releasing(as_strips);
    EXPECT_FALSE(as_strips.sprites.get(0)->strip); // taken over by the surface

    auto same_records = [&](const std::vector<RSprite>& a, const std::vector<RSprite>& b,
                            const std::string& kind) {
        ASSERT_EQ(a.size(), b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            const std::string what = kind + " " + std::to_string(i);
            ASSERT_EQ(a[i].exists, b[i].exists) << what;
            EXPECT_EQ(a[i].loadonuse, b[i].loadonuse) << what;
            if (!a[i].exists || a[i].loadonuse) continue;
            ASSERT_TRUE(a[i].surface && b[i].surface) << what;
            EXPECT_EQ(a[i].surface->surface.pixels, b[i].surface->surface.pixels) << what;
            EXPECT_EQ(a[i].surface->width, b[i].surface->width) << what;
            EXPECT_EQ(a[i].surface->transparent, b[i].surface->transparent) << what;
            EXPECT_EQ(a[i].surface->colour_key(), b[i].surface->colour_key()) << what;
        }
    };
    same_records(from_frames.sprites, from_strips.sprites, "sprite");
    same_records(from_frames.backgrounds, from_strips.backgrounds, "background");
    for (int32_t i = 0; i < int32_t(cases.size()); ++i) {
        const CMask* a = masks_of_frames.mask(i);
        const CMask* b = masks_of_strips.mask(i);
        ASSERT_TRUE(a && b);
        EXPECT_EQ(a->valid, b->valid) << cases[size_t(i)].what;
        EXPECT_EQ(a->images, b->images) << cases[size_t(i)].what;
    }
    EXPECT_TRUE(masks_of_strips.mask(0)->valid);
}

// Someone cuts the game file short, or writes into it, while it loads: the pages that are
// gone would end the program with a bus error when touched; the load fails instead, saying
// why, and a later load of the repaired file works.
TEST(Loader, AFileCutShortOrChangedWhileLoadingIsALoadError) {
    Game g = sample_game();
    std::mt19937 random(3);
    Bitmap24 frame(640, 512);
    for (auto& b : frame.pixels) b = uint8_t(random());
    CSprite* big = g.sprites.get(0);
    big->frames.assign(4, frame);
    big->number = 4;
    big->width = 640, big->height = 512;
    const auto bytes = write_game_bytes(g, 11);
    struct Case {
        const char* what;
        std::function<void(const std::string&)> change;
    };
    const Case cases[] = {
        {"cut short",
         [](const std::string& path) {
             // At a page's start: the next page read lies wholly past the end.
             const off_t end = off_t(game_block_offset + 100000) / 65536 * 65536;
             ASSERT_EQ(::truncate(path.c_str(), end), 0);
         }},
        {"written into",
         [&](const std::string& path) {
             std::fstream f(path, std::ios::binary | std::ios::in | std::ios::out);
             f.seekp(std::streamoff(bytes.size() - 4096));
             f.write(std::string(4096, 'x').data(), 4096);
         }},
    };
    for (const Case& c : cases) {
        const std::string path = write_temp_file(bytes, "changing.kgame");
        // A time stamp in the past, so that the write shows even within one clock tick.
        const timespec past[2] = {{1000000, 0}, {1000000, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), past, 0), 0);
        Game loaded;
        bool changed = false;
        LoadResult r = load_game_file(path, loaded, [&](int percent, const std::string&) {
            if (percent == 10 && !changed) c.change(path), changed = true;
        });
        EXPECT_TRUE(changed) << c.what;
        EXPECT_FALSE(r.ok) << c.what;
        EXPECT_EQ(r.diagnostic, "the game file was cut short or changed while it was read")
            << c.what;
        EXPECT_EQ(loaded.sprites.count(), 0) << c.what;

        std::remove(path.c_str());
        write_temp_file(bytes, "changing.kgame");
        r = load_game_file(path, loaded);
        EXPECT_TRUE(r.ok) << c.what << ": " << r.describe();
        std::remove(path.c_str());
    }
}

TEST(Loader, FilesThatCannotBeGamesSayWhy) {
    struct Case {
        std::string path, message, diagnostic;
    };
    std::string short_file = write_temp_file(std::vector<uint8_t>(1000, 7), "short.kgame");
    auto cut = write_game_bytes(sample_game(), 3);
    cut.resize(cut.size() - 10);
    std::string truncated = write_temp_file(cut, "truncated.kgame");
    const Case cases[] = {
        {::testing::TempDir() + "no-such-game.kgame", "Cannot open the game file.",
         "cannot be opened: No such file or directory"},
        {::testing::TempDir(), "Cannot open the game file.", "cannot be opened: is a folder"},
        {short_file, "This is not a valid kelvane file.", "holds 1000 bytes"},
        {truncated, "", "game file damaged in section room order"},
    };
    for (const Case& c : cases) {
        Game back;
        LoadResult r = load_game_file(c.path, back);
        EXPECT_FALSE(r.ok) << c.path;
        EXPECT_EQ(r.message, c.message) << c.path;
        EXPECT_NE(r.diagnostic.find(c.diagnostic), std::string::npos) << r.diagnostic;
    }
    std::remove(short_file.c_str());
    std::remove(truncated.c_str());
}
