// The sound list at run time: buffers used in turn, the three mappings, one MIDI at a time,
// load-on-use release, add/replace/delete/discard/restore and the messages of missing sounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "Wave_Fixture.h"
#include "run/Run_Draw.h"
#include "run/Runtime.h"
#include "sound/Sound_Main.h"

using namespace kelvane;
using namespace kelvane::test;
namespace fs = std::filesystem;

namespace {

// Music decoders are the platform's; here every non-wave file decodes to a second of tone.
WavePtr fake_decode(const std::string&) {
    auto w = std::make_shared<RWave>();
    w->channels = 2;
    for (int i = 0; i < audio_rate; ++i) {
        const auto v = int16_t(i % 100 < 50 ? 8000 : -8000);
        w->samples.push_back(v), w->samples.push_back(v);
    }
    return w;
}

class Sounds : public ::testing::Test {
  protected:
    // The output outlives the runtime whose players hold its voices.
    std::unique_ptr<Audio> audio = make_step_audio("", fake_decode);
    Runtime rt;
    std::vector<std::string> reports;
    fs::path dir;

    void SetUp() override {
        ASSERT_TRUE(rt.temp.create());
        rt.script.reporter.game_running = true;
        rt.script.reporter.handler = [this](const std::string& m, bool) { reports.push_back(m); };
        dir = fs::temp_directory_path() /
              ("kelvane-sound-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A sound of the game file with these bytes.
    int32_t stored(const std::string& bytes, const std::string& file_type, int32_t kind,
                   int32_t buffers = 1, bool effects = false, bool loadonuse = false) {
        auto s = std::make_unique<CSound>();
        s->kind = kind;
        s->file_type = file_type;
        s->data = std::vector<uint8_t>(bytes.begin(), bytes.end());
        s->buffers = buffers;
        s->effects = effects;
        s->loadonuse = loadonuse;
        return rt.game.sounds.add("s" + std::to_string(rt.game.sounds.count()), std::move(s));
    }
    std::string file(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
    TPlaySound* player(int32_t id) { return rt.game.sounds.get(id)->player.get(); }
    int32_t playing_voices(int32_t id) {
        int32_t n = 0;
        for (int32_t v : player(id)->voices()) n += audio->mixer().playing(v);
        return n;
    }
};

const std::string tone = sine_wave(22050, 441, 0.5);

} // namespace

TEST_F(Sounds, PreparationMovesTheBytesToATemporaryFile) {
    const int32_t id = stored(tone, ".wav", sound_wave);
    const int32_t silent = stored("", "", sound_none);
    rt.game.sounds.get(silent)->data.reset();
    prepare_sounds(rt, audio.get());
    const CSound& s = *rt.game.sounds.get(id);
    EXPECT_FALSE(s.data);
    ASSERT_TRUE(fs::exists(s.file_name));
    EXPECT_EQ(fs::path(s.file_name).parent_path(), fs::path(rt.temp.path()));
    EXPECT_EQ(fs::path(s.file_name).extension(), ".wav");
    EXPECT_EQ(fs::file_size(s.file_name), tone.size());
    ASSERT_TRUE(s.player);
    EXPECT_TRUE(s.player->usable);
    EXPECT_FALSE(rt.game.sounds.get(silent)->player);
}

TEST_F(Sounds, ATypeThatIsNoPlainExtensionNamesNoPath) {
    const int32_t id = stored(tone, "/../../x.wav", sound_wave);
    prepare_sounds(rt, audio.get());
    EXPECT_EQ(fs::path(rt.game.sounds.get(id)->file_name).parent_path(), fs::path(rt.temp.path()));
}

TEST_F(Sounds, BuffersAreUsedInTurnAndLimited) {
    const int32_t three = stored(tone, ".wav", sound_wave, 3);
    const int32_t many = stored(tone, ".wav", sound_wave, 40);
    const int32_t none = stored(tone, ".wav", sound_wave, 0);
    prepare_sounds(rt, audio.get());
    std::vector<int32_t> used;
    for (int i = 0; i < 4; ++i) {
        sound_play(rt, three, false);
        used.push_back(player(three)->current);
    }
    EXPECT_EQ(used, (std::vector<int32_t>{1, 2, 0, 1}));
    // Four plays, three copies: no more than three sound at once.
    EXPECT_EQ(playing_voices(three), 3);
    EXPECT_EQ(player(many)->voices().size(), 16u);
    EXPECT_EQ(player(none)->voices().size(), 1u);
    sound_stop(rt, three);
    EXPECT_EQ(playing_voices(three), 0);
    EXPECT_FALSE(sound_is_playing(rt, three));
}

TEST(SoundMappings, VolumePanAndFrequencyAtTheirEdges) {
    struct Case {
        double v;
        int32_t volume, pan, frequency;
    } cases[] = {
        {-1, -10000, -10000, 100}, {0, -10000, -10000, 100},        {0.25, -7500, -5000, 25075},
        {0.5, -5000, 0, 50050},    {0.99999, 0, 10000, 99999},      {1, 0, 10000, 100000},
        {7, 0, 10000, 100000},     {0.000001, -10000, -10000, 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(volume_hundredths(c.v), c.volume) << c.v;
        EXPECT_EQ(pan_hundredths(c.v), c.pan) << c.v;
        EXPECT_EQ(frequency_hz(c.v), c.frequency) << c.v;
    }
}

TEST_F(Sounds, EffectsReachOnlyWavesMadeWithThem) {
    const int32_t with = stored(tone, ".wav", sound_wave, 1, true);
    const int32_t without = stored(tone, ".wav", sound_wave, 1, false);
    prepare_sounds(rt, audio.get());
    auto heard = [&](int32_t id) {
        sound_play(rt, id, false);
        std::vector<float> out(2 * 1000);
        audio->mixer().mix(out.data(), 1000);
        sound_stop(rt, id);
        float left = 0, right = 0;
        for (size_t i = 0; i < out.size(); i += 2)
            left = std::max(left, std::abs(out[i])), right = std::max(right, std::abs(out[i + 1]));
        return std::pair(left, right);
    };
    for (int32_t id : {with, without}) {
        sound_volume(rt, id, 0.5);
        sound_pan(rt, id, 1);
    }
    auto [l1, r1] = heard(with);
    EXPECT_EQ(l1, 0.0f); // pan 1: right only
    EXPECT_NEAR(r1, 0.5f * std::pow(10.0f, -2.5f), 0.002f);
    auto [l2, r2] = heard(without);
    EXPECT_NEAR(l2, 0.5f, 0.01f);
    EXPECT_NEAR(r2, 0.5f, 0.01f);
}

TEST_F(Sounds, OneMidiAtATime) {
    const int32_t a = stored("MThd", ".mid", sound_midi);
    const int32_t b = stored("MThd", ".MID", sound_midi);
    const int32_t song = stored("ID3", ".mp3", sound_mp3);
    prepare_sounds(rt, audio.get());
    EXPECT_TRUE(player(a)->uses_mci);
    sound_play(rt, song, true);
    sound_play(rt, a, true);
    EXPECT_TRUE(sound_is_playing(rt, a));
    sound_play(rt, b, true);
    EXPECT_FALSE(sound_is_playing(rt, a));
    EXPECT_TRUE(sound_is_playing(rt, b));
    EXPECT_TRUE(sound_is_playing(rt, song)); // not a MIDI
}

TEST_F(Sounds, SilentLoadOnUseSoundsAreReleasedAtRoomChange) {
    const int32_t idle = stored(tone, ".wav", sound_wave, 1, false, true);
    const int32_t busy = stored(tone, ".wav", sound_wave, 1, false, true);
    const int32_t kept = stored(tone, ".wav", sound_wave);
    prepare_sounds(rt, audio.get());
    EXPECT_FALSE(player(idle));
    sound_volume(rt, idle, 1); // any use brings the player to life
    EXPECT_TRUE(player(idle));
    sound_play(rt, busy, true);
    release_room_resources(rt);
    EXPECT_FALSE(player(idle));
    EXPECT_TRUE(player(busy));
    EXPECT_TRUE(player(kept));
    EXPECT_TRUE(sound_is_playing(rt, busy));
}

TEST_F(Sounds, DiscardFreesThePlayerAndRestoreMakesItAgain) {
    const int32_t id = stored(tone, ".wav", sound_wave, 2);
    prepare_sounds(rt, audio.get());
    const std::string file = rt.game.sounds.get(id)->file_name;
    sound_play(rt, id, true);
    sound_discard(rt, id);
    EXPECT_FALSE(player(id));
    EXPECT_EQ(audio->mixer().voice_count(), 0); // its voices went with it
    EXPECT_TRUE(fs::exists(file));
    sound_restore(rt, id);
    ASSERT_TRUE(player(id));
    EXPECT_TRUE(player(id)->usable);
    sound_discard(rt, 99); // nothing, no message
    sound_restore(rt, -1);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Sounds, AddReplaceAndDeleteFromFiles) {
    prepare_sounds(rt, audio.get());
    const std::string wav = file("boom.wav", tone);
    const std::string mid = file("tune.MID", "MThd");
    const std::string ogg = file("tune.ogg", "OggS");
    EXPECT_EQ(sound_add(rt, (dir / "missing.wav").string(), 1, false, false), -1);
    EXPECT_EQ(rt.game.sounds.count(), 0);
    const int32_t a = sound_add(rt, wav, 3, true, false);
    const int32_t b = sound_add(rt, mid, 1, false, true);
    const int32_t c = sound_add(rt, ogg, 1, false, false);
    EXPECT_EQ(rt.game.sounds.name(a), "__newsound0");
    EXPECT_EQ(rt.game.sounds.name(c), "__newsound2");
    EXPECT_EQ(rt.game.sounds.get(a)->kind, sound_wave);
    EXPECT_EQ(rt.game.sounds.get(b)->kind, sound_midi);
    EXPECT_EQ(rt.game.sounds.get(c)->kind, sound_other);
    EXPECT_EQ(rt.game.sounds.get(b)->file_type, ".MID");
    EXPECT_EQ(rt.game.sounds.get(a)->file_name, wav); // played in place
    EXPECT_TRUE(player(a)->usable);
    EXPECT_FALSE(player(b)); // loaded on use
    EXPECT_TRUE(player(c)->uses_mci);

    EXPECT_TRUE(sound_replace(rt, a, mid, 1, false, false));
    EXPECT_EQ(rt.game.sounds.get(a)->kind, sound_midi);
    EXPECT_FALSE(sound_replace(rt, a, (dir / "gone.wav").string(), 1, false, false));
    EXPECT_EQ(rt.game.sounds.get(a)->kind, sound_none);
    EXPECT_FALSE(player(a));
    EXPECT_FALSE(sound_replace(rt, 3, wav, 1, false, false));

    EXPECT_TRUE(sound_delete(rt, b));
    EXPECT_FALSE(rt.game.sounds.exists(b));
    EXPECT_EQ(rt.game.sounds.name(b), "<undefined>");
    EXPECT_FALSE(sound_delete(rt, b));
}

TEST_F(Sounds, MissingSoundsAreReportedByEachOperation) {
    prepare_sounds(rt, audio.get());
    struct Case {
        std::function<void()> call;
        const char* message;
    } cases[] = {
        {[&] { sound_play(rt, 4, false); }, "Trying to play non-existing sound: 4"},
        {[&] { sound_play(rt, -1, true); }, "Trying to play non-existing sound: -1"},
        {[&] { sound_stop(rt, 4); }, "Trying to stop non-existing sound: 4"},
        {[&] { EXPECT_FALSE(sound_is_playing(rt, 4)); }, "Checking non-existing sound: 4"},
        {[&] { sound_pan(rt, 4, 0); }, "Trying to pan non-existing sound: 4"},
        {[&] { sound_volume(rt, 4, 0); }, "Trying to change volume of non-existing sound: 4"},
        {[&] { sound_frequency(rt, 4, 0); }, "Trying to change frequency of non-existing sound: 4"},
    };
    for (const Case& c : cases) {
        reports.clear();
        c.call();
        ASSERT_EQ(reports.size(), 1u) << c.message;
        EXPECT_EQ(reports[0], c.message);
    }
    reports.clear();
    sound_stop_all(rt);
    EXPECT_TRUE(reports.empty());
}

TEST_F(Sounds, AnUnreadableWaveIsSilentlyUnusable) {
    const int32_t bad = stored(std::string("RIFF\x04\0\0\0WAVE", 12), ".wav", sound_wave);
    prepare_sounds(rt, audio.get());
    ASSERT_TRUE(player(bad));
    EXPECT_FALSE(player(bad)->usable);
    sound_play(rt, bad, false);
    EXPECT_FALSE(sound_is_playing(rt, bad));
    EXPECT_TRUE(reports.empty());
}

TEST_F(Sounds, AMusicFileNameOf127CharactersIsRefused) {
    prepare_sounds(rt, audio.get());
    std::string name(127 - (dir.string().size() + 1) - 4, 'm');
    const std::string path = file(name + ".mid", "MThd");
    ASSERT_EQ(path.size(), 127u);
    const int32_t id = sound_add(rt, path, 1, false, false);
    EXPECT_FALSE(player(id)->usable);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "Music file name is too long for the player.");
    const int32_t shorter = sound_add(rt, file(name.substr(1) + ".mid", "MThd"), 1, false, false);
    EXPECT_TRUE(player(shorter)->usable);
}
