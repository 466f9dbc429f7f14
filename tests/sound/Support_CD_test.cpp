// The CD drive over a folder of short generated tracks, and with no disc: the commands each
// function sends, and what a player hears of positions, tracks, pauses and seeks.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "Wave_Fixture.h"
#include "sound/Sound_DXWave.h"
#include "sound/Support_CD.h"

using namespace kelvane;
using namespace kelvane::test;
namespace fs = std::filesystem;

namespace {

class CD : public ::testing::Test {
  protected:
    std::unique_ptr<Audio> audio = make_step_audio(
        "", [](const std::string& path) { return load_wave_file(path, nullptr).wave; });
    CCDDrive cd;
    std::vector<std::string> sent;
    fs::path dir;

    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kelvane-cd-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
        cd.log = &sent;
    }
    void TearDown() override { fs::remove_all(dir); }

    void tracks() {
        auto put = [&](const std::string& name, double seconds) {
            std::ofstream(dir / name, std::ios::binary) << sine_wave(8000, 400, seconds);
        };
        put("track01.wav", 1.0);
        put("Track 02.wav", 2.0);
        put("03.wav", 0.5);
        std::ofstream(dir / "cover 1.jpg") << "not a track";
        std::ofstream(dir / "notes.wav") << "no number";
        cd.insert(dir.string(), audio.get());
    }
    // Time passes as in the game's steps.
    void seconds(double s) {
        for (int i = 0; i < int(s * 30 + 0.5); ++i) {
            audio->step(30);
            cd.update();
        }
    }
    std::vector<std::string> sent_by(const std::function<void()>& call) {
        sent.clear();
        call();
        return sent;
    }
};

using Lines = std::vector<std::string>;

} // namespace

TEST_F(CD, WithoutADiscEveryQueryAnswersZeroAndNothingPlays) {
    cd.insert("", audio.get());
    EXPECT_EQ(cd_present(cd), 0);
    EXPECT_EQ(cd_number(cd), 0);
    EXPECT_EQ(cd_length(cd), 0);
    EXPECT_EQ(cd_track(cd), 0);
    EXPECT_EQ(cd_track_length(cd, 1), 0);
    EXPECT_EQ(cd_position(cd), 0);
    EXPECT_EQ(cd_track_position(cd), 0);
    EXPECT_EQ(cd_playing(cd), 0);
    EXPECT_EQ(sent_by([&] { cd_play(cd, 1, 2); }),
              (Lines{"open cdaudio", "status cdaudio media present"}));
    EXPECT_EQ(audio->mixer().voice_count(), 0);
}

TEST_F(CD, TracksAreTheNumberedSoundFilesOfTheFolder) {
    tracks();
    EXPECT_EQ(cd_present(cd), 1);
    EXPECT_EQ(cd_number(cd), 3);
    EXPECT_EQ(cd_length(cd), 3500);
    EXPECT_EQ(cd_track_length(cd, 2), 2000);
    EXPECT_EQ(cd_track_length(cd, 0), 0);
    EXPECT_EQ(cd_track_length(cd, 4), 0);
    EXPECT_EQ(sent_by([&] { cd_length(cd); }),
              (Lines{"open cdaudio", "set cdaudio time format ms wait", "open cdaudio",
                     "status cdaudio media present", "status cdaudio length wait",
                     "set cdaudio time format tmsf wait"}));
}

TEST_F(CD, PlayAsksForTheTrackAfterTheLast) {
    tracks();
    auto play_command = [&](int32_t first, int32_t last) {
        std::string play;
        for (const std::string& s : sent_by([&] { cd_play(cd, first, last); }))
            if (s.rfind("play", 0) == 0) play = s;
        return play;
    };
    EXPECT_EQ(play_command(0, 1), "play cdaudio from 1 to 2");
    EXPECT_EQ(play_command(2, 3), "play cdaudio from 2");
    EXPECT_EQ(play_command(3, 2), "");
}

TEST_F(CD, APlayGoesOnIntoTheNextTrackAndStopsAfterTheLastAsked) {
    tracks();
    cd_play(cd, 1, 2);
    EXPECT_EQ(cd_playing(cd), 1);
    seconds(1.5);
    EXPECT_EQ(cd_track(cd), 2);
    EXPECT_NEAR(double(cd_position(cd)), 1500, 40);
    seconds(1.0);
    // 2.5 s into the disc: 1.5 s into track 2.
    EXPECT_EQ(cd_track_position(cd), 1000);
    seconds(1.0);
    EXPECT_EQ(cd_playing(cd), 0);
    EXPECT_EQ(cd_position(cd), 3000); // the start of track 3, which was not asked for
}

TEST_F(CD, PauseHoldsThePositionAndResumeGoesOn) {
    tracks();
    cd_play(cd, 2, 3);
    seconds(0.5);
    cd_pause(cd);
    EXPECT_EQ(cd_paused(cd), 1);
    EXPECT_EQ(cd_playing(cd), 0);
    const int64_t held = cd_position(cd);
    seconds(1);
    EXPECT_EQ(cd_position(cd), held);
    cd_resume(cd);
    EXPECT_EQ(cd_playing(cd), 1);
    seconds(0.5);
    EXPECT_NEAR(double(cd_position(cd)), double(held) + 500, 40);
    cd_stop(cd);
    EXPECT_EQ(cd_playing(cd), 0);
    EXPECT_EQ(audio->mixer().voice_count(), 0);
}

TEST_F(CD, SeeksInTheDiscAndInTheTrack) {
    tracks();
    cd_set_position(cd, 1250);
    EXPECT_EQ(cd_track(cd), 2);
    EXPECT_EQ(cd_position(cd), 1250);
    EXPECT_EQ(cd_playing(cd), 0); // stopped: a seek
    const Lines sent_now = sent_by([&] { cd_set_track_position(cd, 75500); });
    EXPECT_NE(std::find(sent_now.begin(), sent_now.end(), "seek cdaudio to 2:1:15"),
              sent_now.end());
    cd_play(cd, 1, 3);
    // Whole seconds only: 1.5 s into track 1 is 1 s.
    cd_set_track_position(cd, 1500);
    EXPECT_EQ(cd_playing(cd), 1);
    EXPECT_EQ(cd_position(cd), 1000);
    EXPECT_EQ(sent_by([&] { cd_open_door(cd); }), (Lines{"open cdaudio", "set cdaudio door open"}));
    EXPECT_EQ(cd_playing(cd), 1); // the door does nothing
}
