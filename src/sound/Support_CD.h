// CD audio. The game drives the CD drive with textual commands to the "cdaudio" device;
// the drive here is a folder of track files given with `run --cd DIR` (track01.ogg,
// "Track 02.mp3", 03.flac, ... numbered by the first number in the name), played through
// the audio output. Without a folder the drive answers as if no disc were in it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Audio.h"

namespace kelvane {

class CCDDrive {
  public:
    CCDDrive() = default;
    CCDDrive(const CCDDrive&) = delete;
    CCDDrive& operator=(const CCDDrive&) = delete;
    // The disc stops with the run (the output outlives the drive).
    ~CCDDrive() { halt(stopped); }

    // Makes the folder's track files the disc; an empty folder name or no tracks: no disc.
    void insert(const std::string& dir, Audio* audio);
    // The command interface: a command string in, the answer out ("" when it fails).
    std::string send(const std::string& command);
    // After each step: a play goes on into the next track and stops where it was asked to.
    void update();
    // Every command sent, when a test wants to see them.
    std::vector<std::string>* log = nullptr;

    int32_t track_count() const { return int32_t(tracks_.size()); }

  private:
    struct Track {
        std::string path;
        int64_t start_ms = 0, length_ms = 0;
    };
    enum Mode { stopped, playing, paused };

    Audio* audio_ = nullptr;
    std::vector<Track> tracks_;
    bool open_ = false, tmsf_ = true;
    Mode mode_ = stopped;
    int64_t position_ms_ = 0, end_ms_ = 0;
    int32_t voice_ = -1, voice_track_ = -1, voice_rate_ = audio_rate;

    int64_t disc_ms() const;
    int64_t position() const;
    int32_t track_at(int64_t ms) const;
    bool parse_position(const std::string& text, int64_t& ms) const;
    std::string format_position(int64_t ms) const;
    void play(int64_t from, int64_t to);
    void start_track(int32_t track, int64_t offset_ms);
    void halt(Mode mode);
};

// The CD functions of the game, each sending its commands in the game's order.
int32_t cd_init(CCDDrive& cd);
int32_t cd_present(CCDDrive& cd);
int32_t cd_number(CCDDrive& cd);
int32_t cd_playing(CCDDrive& cd);
int32_t cd_paused(CCDDrive& cd);
int32_t cd_track(CCDDrive& cd);
int64_t cd_length(CCDDrive& cd);
int64_t cd_track_length(CCDDrive& cd, int32_t track);
int64_t cd_position(CCDDrive& cd);
int64_t cd_track_position(CCDDrive& cd);
void cd_play(CCDDrive& cd, int32_t first, int32_t last);
void cd_stop(CCDDrive& cd);
void cd_pause(CCDDrive& cd);
void cd_resume(CCDDrive& cd);
void cd_set_position(CCDDrive& cd, int64_t ms);
void cd_set_track_position(CCDDrive& cd, int64_t ms);
void cd_open_door(CCDDrive& cd);
void cd_close_door(CCDDrive& cd);

} // namespace kelvane
