// The video splash screen follows the clock: each picture at its time, the end after the
// last one has had its time, a loop starting again, a key or a click closing it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "functions/Runner_Splash.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

// Three 4 x 4 pictures at 10 a second: black, grey, white.
std::string clip_file() {
    std::string clip = "YUV4MPEG2 W4 H4 F10:1 Ip A1:1 C444\n";
    for (int y : {16, 126, 235})
        clip += "FRAME\n" + std::string(16, char(y)) + std::string(32, '\x80');
    const fs::path path =
        fs::temp_directory_path() / ("kelvane-splash-" + std::to_string(::getpid()) + ".y4m");
    std::ofstream(path, std::ios::binary) << clip;
    return path.string();
}

struct Player {
    CFonts fonts;
    RUiState state;
    DDSurface surface;
    TVideoForm form;
    Player(const std::string& path, bool loop, AudioMixer* mixer = nullptr, WavePtr sound = {})
        : form(VideoDecoder::open(path, nullptr), false, loop, 640, 480, mixer, sound) {
        surface.create(form.client_width(), form.client_height(), false, 0, false);
    }
    void at(int64_t ms, bool key = false) {
        RUiInput in;
        in.now_ms = 1000 + ms;
        if (key) in.keys.push_back(32);
        CUi ui(surface, fonts, state, in);
        form.frame(ui);
    }
};

} // namespace

TEST(VideoSplash, PicturesFollowTheClockAndTheEndClosesOrLoops) {
    const std::string path = clip_file();
    {
        Player once(path, false);
        EXPECT_EQ(once.form.client_width(), 4); // windowed: the video's size
        once.at(0);
        EXPECT_EQ(once.form.pictures_shown, 1);
        EXPECT_EQ(once.surface.surface.pixels[0] & 0xFFFFFF, 0u);
        once.at(150);
        EXPECT_EQ(once.form.pictures_shown, 2);
        once.at(250);
        EXPECT_EQ(once.form.pictures_shown, 3);
        EXPECT_EQ(once.surface.surface.pixels[0] & 0xFFFFFF, 0xFFFFFFu);
        once.at(299);
        EXPECT_FALSE(once.form.closed); // the last picture has its 100 ms
        once.at(300);
        EXPECT_TRUE(once.form.closed);
    }
    {
        Player looping(path, true);
        looping.at(0);
        looping.at(300);
        EXPECT_FALSE(looping.form.closed);
        EXPECT_EQ(looping.form.loops, 1);
        EXPECT_EQ(looping.form.pictures_shown, 4); // the first picture again
        looping.at(700);
        EXPECT_EQ(looping.form.loops, 2);
        looping.at(720, true);
        EXPECT_TRUE(looping.form.closed);
    }
    fs::remove(path);
}

// The sound plays from the first picture, starts again with each loop and stops when the
// window closes.
TEST(VideoSplash, TheSoundPlaysWithThePicturesAndStopsWithTheWindow) {
    const std::string path = clip_file();
    auto sound = std::make_shared<RWave>();
    sound->channels = 2;
    sound->samples.assign(2 * 44100, 1000);
    AudioMixer mixer;
    {
        Player looping(path, true, &mixer, sound);
        EXPECT_EQ(mixer.voice_count(), 1);
        looping.at(0);
        ASSERT_EQ(mixer.voice_count(), 1);
        std::vector<float> out(2 * 4410);
        mixer.mix(out.data(), 4410);
        EXPECT_GT(out[0], 0.0f);
        EXPECT_EQ(mixer.position(0), 4410);
        looping.at(300); // the video starts again, and so does its sound
        EXPECT_EQ(looping.form.loops, 1);
        EXPECT_EQ(mixer.position(0), 0);
        EXPECT_TRUE(mixer.playing(0));
        looping.at(320, true);
        EXPECT_TRUE(looping.form.closed);
        EXPECT_EQ(mixer.voice_count(), 0);
    }
    {
        Player dropped(path, false, &mixer, sound); // closed before it played
    }
    EXPECT_EQ(mixer.voice_count(), 0);
    fs::remove(path);
}
