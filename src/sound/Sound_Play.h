// The player of one sound: for a wave, one mixer voice per buffer, used in turn; for every
// other kind (music), one voice of the decoded file, looped when its length has passed.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/Audio.h"

namespace kelvane {

class TPlaySound {
  public:
    // Makes the player for a file; `report` shows a non-fatal error message.
    TPlaySound(Audio* audio, std::string file_name, int32_t buffers, bool effects,
               const std::function<void(const std::string&)>& report);
    ~TPlaySound();
    TPlaySound(const TPlaySound&) = delete;
    TPlaySound& operator=(const TPlaySound&) = delete;

    std::string file_name;
    bool usable = false;
    int32_t count = 1;   // buffers, 1 ... 16
    int32_t current = 0; // the buffer used last
    bool uses_mci = false;

    void play(bool loop);
    void stop();
    bool is_playing() const;
    // In the game's units: hundredths of decibels, and samples per second.
    void set_volume(int32_t hundredths_db);
    void set_pan(int32_t hundredths_db);
    void set_frequency(int32_t hz);
    // The voices, for tests: one per buffer.
    const std::vector<int32_t>& voices() const { return voices_; }

    static constexpr const char* long_name_message = "Music file name is too long for the player.";

  private:
    AudioMixer* mixer_ = nullptr;
    bool effects_ = false;
    std::vector<int32_t> voices_;
};

// True when the file name's extension is ".wav" in any letter case.
bool is_wave_file_name(const std::string& file_name);

// The length of a decoded music file that counts for looping: MIDI renders end with the
// synthesizer's fading tail, which the song's own length does not include.
int64_t music_loop_frames(const RWave& wave, bool midi);

} // namespace kelvane
