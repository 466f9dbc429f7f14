// The wave mixer and the step-time output: interpolation between samples, gains, loops,
// clipping once, and exactly rate / room speed frames a step.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "platform/Audio.h"

using namespace kelvane;

namespace {

WavePtr mono(int32_t rate, std::vector<int16_t> samples) {
    auto w = std::make_shared<RWave>();
    w->rate = rate;
    w->channels = 1;
    w->samples = std::move(samples);
    return w;
}

std::vector<float> mix(AudioMixer& m, size_t frames) {
    std::vector<float> out(frames * 2);
    m.mix(out.data(), frames);
    return out;
}

} // namespace

TEST(AudioMixer, SlowerPlaybackInterpolatesBetweenSamples) {
    AudioMixer m;
    const int32_t v = m.add_voice(mono(audio_rate, {0, 16384, 0}));
    m.set_rate(v, audio_rate / 4); // four output frames per source frame
    m.play(v, false);
    std::vector<float> out = mix(m, 12);
    const float expected[] = {0, 0.125f, 0.25f, 0.375f, 0.5f, 0.375f, 0.25f, 0.125f, 0, 0, 0, 0};
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_FLOAT_EQ(out[2 * i], expected[i]) << i;
        EXPECT_FLOAT_EQ(out[2 * i + 1], expected[i]) << i;
    }
    EXPECT_FALSE(m.playing(v));
}

TEST(AudioMixer, VolumeAndPanAttenuateInHundredthsOfDecibels) {
    struct Case {
        int32_t volume, pan;
        float left, right;
    } cases[] = {
        {0, 0, 1, 1},
        {-2000, 0, 0.1f, 0.1f},
        {0, -10000, 1, 0},
        {0, 10000, 0, 1},
        {0, 2000, 0.1f, 1},
        {-10000, 0, 0, 0},
        {-600, -600, 0.501187f, 0.251189f},
    };
    for (const Case& c : cases) {
        AudioMixer m;
        const int32_t v = m.add_voice(mono(audio_rate, std::vector<int16_t>(10, 16384)));
        m.set_volume(v, c.volume);
        m.set_pan(v, c.pan);
        m.play(v, false);
        std::vector<float> out = mix(m, 1);
        EXPECT_NEAR(out[0], 0.5f * c.left, 1e-5) << c.volume << " " << c.pan;
        EXPECT_NEAR(out[1], 0.5f * c.right, 1e-5) << c.volume << " " << c.pan;
    }
}

TEST(AudioMixer, LoopsStartAgainAtTheLoopEndAndVoicesSum) {
    AudioMixer m;
    const int32_t a = m.add_voice(mono(audio_rate, {1000, 2000, 3000, 4000}));
    const int32_t b = m.add_voice(mono(audio_rate, {100, 100, 100, 100, 100, 100, 100}));
    m.set_loop_end(a, 3);
    m.play(a, true);
    m.play(b, false);
    std::vector<float> out = mix(m, 8);
    const int expected[] = {1100, 2100, 3100, 1100, 2100, 3100, 1100, 2000};
    for (size_t i = 0; i < 8; ++i) EXPECT_NEAR(out[2 * i] * 32768, expected[i], 0.01) << i;
    EXPECT_TRUE(m.playing(a));
    EXPECT_FALSE(m.playing(b));
    m.stop(a);
    EXPECT_EQ(m.position(a), 2);
    m.resume(a);
    EXPECT_TRUE(m.playing(a));
    m.remove_voice(b);
    EXPECT_EQ(m.voice_count(), 1);
    EXPECT_EQ(m.add_voice(mono(audio_rate, {})), -1);
}

TEST(AudioMixer, TheSumIsClippedOnceAtTheEnd) {
    const float in[] = {0.5f, 1.5f, -2.0f, -1.0f};
    int16_t out[4];
    clip_to_s16(in, out, 4);
    EXPECT_EQ(out[0], 16384);
    EXPECT_EQ(out[1], 32767);
    EXPECT_EQ(out[2], -32768);
    EXPECT_EQ(out[3], -32768);
}

TEST(StepAudio, EachStepAddsRateOverRoomSpeedFrames) {
    struct Case {
        int32_t speed;
        int steps;
        int64_t frames;
    } cases[] = {{30, 1, 1470}, {60, 3, 2205}, {7, 7, 44100}, {13, 13, 44100}, {13, 1, 3392}};
    for (const Case& c : cases) {
        auto audio = make_step_audio("", {});
        for (int i = 0; i < c.steps; ++i) audio->step(c.speed);
        EXPECT_EQ(audio->frames_mixed(), c.frames) << c.speed;
    }
}

// While a window holds the game, time passes in milliseconds: the mix keeps up exactly
// (fractions of a frame carried), never goes back, and catches up at most a second a call.
TEST(StepAudio, TimeWithoutStepsAdvancesTheMixByTheMillisecond) {
    struct Case {
        std::vector<int64_t> calls;
        int64_t frames;
    } cases[] = {{{1000}, 44100},
                 {{15, 15, 15, 15}, 2646},
                 {{1, 1, 1}, 132},
                 {{7, -20, 0}, 308},
                 {{3600000}, 44100}};
    for (const Case& c : cases) {
        auto audio = make_step_audio("", {});
        for (int64_t ms : c.calls) audio->elapse(ms);
        EXPECT_EQ(audio->frames_mixed(), c.frames) << c.calls.size();
    }
    // Steps and elapsed time add up.
    auto audio = make_step_audio("", {});
    audio->step(30);
    audio->elapse(500);
    audio->step(30);
    EXPECT_EQ(audio->frames_mixed(), 1470 + 22050 + 1470);
}

TEST(StepAudio, TheFileHoldsWhatWasMixed) {
    namespace fs = std::filesystem;
    const fs::path file =
        fs::temp_directory_path() / ("kelvane-mix-" + std::to_string(getpid()) + ".wav");
    {
        auto audio = make_step_audio(file.string(), {});
        ASSERT_TRUE(audio);
        const int32_t v = audio->mixer().add_voice(mono(audio_rate, {8192, -8192}));
        audio->mixer().set_pan(v, 10000);
        audio->mixer().play(v, true);
        audio->step(30);
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    fs::remove(file);
    ASSERT_EQ(bytes.size(), 44u + 1470 * 4);
    EXPECT_EQ(bytes.substr(0, 4), "RIFF");
    EXPECT_EQ(bytes.substr(36, 4), "data");
    auto at = [&](size_t i) { return int16_t(uint8_t(bytes[i]) | uint8_t(bytes[i + 1]) << 8); };
    EXPECT_EQ(uint32_t(uint8_t(bytes[40]) | uint8_t(bytes[41]) << 8 | uint8_t(bytes[42]) << 16),
              1470u * 4);
    EXPECT_EQ(at(44), 0); // left, silenced by the pan
    EXPECT_EQ(at(46), 8192);
    EXPECT_EQ(at(50), -8192);
    std::string error;
    EXPECT_FALSE(make_step_audio("/nonexistent/dir/x.wav", {}, &error));
    EXPECT_EQ(error, "cannot write the audio file /nonexistent/dir/x.wav");
}
