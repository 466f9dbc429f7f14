// Games that play sounds, run headless with --audio-out: what the file holds is what a
// player would have heard.
#include "Game_Runner.h"
#include "sound/Wave_Fixture.h"

using namespace kelvane::e2e;
using namespace kelvane::test;

namespace {

constexpr size_t step_frames = 44100 / 30; // the rooms below run 30 steps a second

// A game with one sound file and one object whose creation runs `create` and whose alarm 0
// (set by the creation code when it wants) runs `alarm`.
std::string sound_game(const std::string& sound_file, const std::string& sound_fields,
                       const std::string& create, const std::string& alarm = "") {
    return R"({"sounds": [{"name": "snd", "data": {"file": ")" + sound_file + "\"}" +
           (sound_fields.empty() ? "" : ", " + sound_fields) +
           R"(}], "objects": [{"name": "o", "events": [)" + event("create", 0, {code(create)}) +
           (alarm.empty() ? "" : ", " + event("alarm", 0, {code(alarm)})) +
           R"(]}], "rooms": [{"name": "r", "speed": 30, "instances": [{"object": "o"}]}]})";
}

} // namespace

TEST_F(GameTest, PanZeroIsHeardOnTheLeftOnly) {
    write("sounds/tone.wav", sine_wave(22050, 441, 2));
    write("kelvane-project.json", sound_game("sounds/tone.wav", R"("effects": true)",
                                             "sound_pan(snd, 0); sound_play(snd);"));
    ASSERT_EQ(run(30, "--audio-out out.wav"), 0) << err;
    Stereo s = read_stereo(read("out.wav"));
    ASSERT_EQ(s.left.size(), 30 * step_frames);
    EXPECT_GT(peak(s.left, 0, s.left.size()), 8000);
    EXPECT_EQ(peak(s.right, 0, s.right.size()), 0);
}

TEST_F(GameTest, FrequencyChangesThePitchOfAPlayingWave) {
    // 441 Hz recorded at 22 050 Hz is 1 001 Hz played at 50 050 Hz; without effects the
    // setting is ignored.
    struct Case {
        const char* fields;
        const char* create;
        int crossings; // in one second: twice the heard frequency
    } cases[] = {
        {R"("effects": true)", "sound_loop(snd);", 882},
        {R"("effects": true)", "sound_loop(snd); sound_frequency(snd, 0.5);", 2002},
        {R"("effects": false)", "sound_loop(snd); sound_frequency(snd, 0.5);", 882},
    };
    // A whole number of periods, so that the loop joins without a jump.
    write("sounds/tone.wav", sine_wave(22050, 441, 1));
    for (const Case& c : cases) {
        write("kelvane-project.json", sound_game("sounds/tone.wav", c.fields, c.create));
        ASSERT_EQ(run(40, "--audio-out out.wav"), 0) << err;
        Stereo s = read_stereo(read("out.wav"));
        const size_t from = 5 * step_frames;
        EXPECT_NEAR(zero_crossings(s.left, from, from + 44100), c.crossings, 3) << c.create;
        EXPECT_NEAR(zero_crossings(s.right, from, from + 44100), c.crossings, 3) << c.create;
    }
}

TEST_F(GameTest, AStoppedSoundIsSilentAfterwardsAndRunsRepeatExactly) {
    write("sounds/tone.wav", sine_wave(44100, 500, 0.3));
    write("kelvane-project.json",
          sound_game("sounds/tone.wav", R"("buffers": 2)", "sound_loop(snd); alarm[0] = 10;",
                     "sound_stop(snd); global.s = string(sound_isplaying(snd)); " +
                         std::string(write_s)));
    ASSERT_EQ(run(30, "--audio-out out.wav"), 0) << err;
    EXPECT_EQ(read("out.txt"), "0");
    const std::string first = read("out.wav");
    Stereo s = read_stereo(first);
    ASSERT_EQ(s.left.size(), 30 * step_frames);
    // The alarm rings in step 10; the mix after that step is silent.
    EXPECT_GT(peak(s.left, 0, 10 * step_frames), 8000);
    EXPECT_EQ(peak(s.left, 10 * step_frames, s.left.size()), 0);
    ASSERT_EQ(run(30, "--audio-out out.wav"), 0) << err;
    EXPECT_EQ(read("out.wav"), first);
}

TEST_F(GameTest, ALoopedMidiIsHeardAfterItsLengthHasPassed) {
    // One beat at 120 a minute: half a second of song, then the synthesizer's fading tail.
    write("sounds/song.mid", one_note_midi());
    for (const char* how : {"sound_loop(snd);", "sound_play(snd);"}) {
        write("kelvane-project.json", sound_game("sounds/song.mid", "", how));
        ASSERT_EQ(run(180, "--audio-out out.wav"), 0) << err;
        Stereo s = read_stereo(read("out.wav"));
        ASSERT_EQ(s.left.size(), 180 * step_frames);
        EXPECT_GT(peak(s.left, 0, 15 * step_frames), 1000) << how;
        // Five seconds in, only the looped song still sounds.
        const int late = peak(s.left, 150 * step_frames, 180 * step_frames);
        if (std::string(how) == "sound_loop(snd);")
            EXPECT_GT(late, 1000);
        else
            EXPECT_LT(late, 50);
    }
}

TEST_F(GameTest, SoundActionsPlayStopAndAsk) {
    write("sounds/tone.wav", sine_wave(44100, 500, 0.2));
    write("kelvane-project.json",
          R"({"sounds": [{"name": "snd", "data": {"file": "sounds/tone.wav"}}],
      "objects": [{"name": "o", "events": [)" +
              event("create", 0,
                    {action(17, {"snd", "1"}), code("global.s = '';"), action(56, {"snd"}),
                     code("global.s += 'a';"), action(39, {"snd"}), action(56, {"snd"}),
                     code("global.s += 'b';"), action(56, {"7"}), code("global.s += 'c';"),
                     code(write_s)}) +
              R"(]}], "rooms": [{"name": "r", "instances": [{"object": "o"}]}]})");
    ASSERT_EQ(run(2), 0) << err;
    // Playing: a; stopped: no b; a missing sound answers false after its message.
    EXPECT_EQ(read("out.txt"), "a");
    EXPECT_NE(err.find("Checking non-existing sound: 7"), std::string::npos) << err;
}
