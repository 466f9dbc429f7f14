// Loading game files: header checks and their messages, every section, damaged files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>

#include <unistd.h>

#include "Sample_Game.h"
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

TEST(Loader, EveryTruncationFailsCleanly) {
    auto bytes = write_game_bytes(sample_game(), 77);
    for (size_t len = game_block_offset; len < bytes.size(); ++len) {
        Game back;
        LoadResult r =
            load_game_bytes(std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(len)), back);
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
        Game back;
        LoadResult r = load_game_bytes(std::move(bytes), back);
        if (!r.ok) {
            EXPECT_FALSE(r.diagnostic.empty() && r.message.empty());
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
        Game loaded;
        LoadResult r = load_game_bytes(write_game_bytes(g, 3), loaded);
        EXPECT_EQ(r.ok, c.loads) << c.what << ": " << r.describe();
        if (!c.loads) {
            EXPECT_NE(r.diagnostic.find("pixels in all"), std::string::npos) << c.what;
        }
    }
}

namespace {

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
    ASSERT_EQ(running.sprites.get(0)->frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(running.sprites.get(0)->frames[i], big->frames[i]) << i;
        EXPECT_FALSE(running.sprites.get(0)->frames[i].stored) << i;
    }
    ASSERT_TRUE(running.backgrounds.get(0)->image);
    EXPECT_EQ(*running.backgrounds.get(0)->image, *g.backgrounds.get(0)->image);
    std::remove(path.c_str());
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
