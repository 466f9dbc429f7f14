// The audio seam: decoded sounds, the mixer that plays them as independent voices, and the
// output that hears the mix. With a sound device the mixer is pulled by the device; without
// one (headless, muted, no device) it runs in step time and can write what it mixed to a
// wave file, so the same run always gives the same samples.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvane {

// Every output runs at this rate, in 16-bit stereo.
constexpr int32_t audio_rate = 44100;

// A decoded sound: interleaved 16-bit samples, one or two channels, at its own rate.
struct RWave {
    int32_t rate = audio_rate;
    int32_t channels = 1;
    std::vector<int16_t> samples;
    int64_t frames() const { return channels > 0 ? int64_t(samples.size()) / channels : 0; }
};
using WavePtr = std::shared_ptr<const RWave>;

// Plays decoded sounds as voices: each voice has its own position, looping, volume and pan
// (hundredths of decibels of attenuation, as the game sets them) and playback rate, and is
// resampled with linear interpolation. Safe to call from the game while a device pulls the
// mix on its own thread.
class AudioMixer {
  public:
    // A voice for the wave, stopped at its start; -1 for an empty wave.
    int32_t add_voice(WavePtr wave);
    void remove_voice(int32_t voice);
    // Plays from a source frame, looping at the loop end when asked.
    void play(int32_t voice, bool loop, int64_t from_frame = 0);
    // Halts the voice where it is; resume goes on from there.
    void stop(int32_t voice);
    void resume(int32_t voice);
    bool playing(int32_t voice) const;
    // The voice's position in source frames.
    int64_t position(int32_t voice) const;
    // Volume: 0 full, -10000 silent. Pan: -10000 left only, 0 centre, 10000 right only.
    void set_volume(int32_t voice, int32_t hundredths_db);
    void set_pan(int32_t voice, int32_t hundredths_db);
    // Source frames played per second; the wave's own rate plays it as recorded.
    void set_rate(int32_t voice, int32_t hz);
    // Where a looping voice starts again (default: the wave's end).
    void set_loop_end(int32_t voice, int64_t frames);
    // Writes the next frames of the mix (interleaved left, right; not clipped).
    void mix(float* stereo, size_t frames);
    int32_t voice_count() const;

  private:
    struct Voice {
        WavePtr wave;
        bool used = false, playing = false, loop = false;
        double pos = 0;
        double step = 1;
        int32_t volume = 0, pan = 0;
        float left = 1, right = 1;
        int64_t loop_end = 0;
    };
    static void update_gains(Voice& v);
    Voice* find(int32_t voice);
    const Voice* find(int32_t voice) const;
    static void mix_voice(Voice& v, float* out, size_t frames);

    mutable std::mutex lock_;
    std::vector<Voice> voices_;
    std::vector<int32_t> free_;
};

// Gain of an attenuation in hundredths of decibels; -10000 and below is silence.
float attenuation_gain(int32_t hundredths_db);

// Decodes a sound file the platform's decoders know (music of every kind, compressed
// waves) into 44100 Hz stereo; null when none can.
using AudioDecoder = std::function<WavePtr(const std::string& path)>;

// Where the mix is heard.
class Audio {
  public:
    virtual ~Audio() = default;
    AudioMixer& mixer() { return mixer_; }
    // Decodes with the platform's decoders; null when there are none or the file is bad.
    virtual WavePtr decode(const std::string& path) = 0;
    // A file's length in milliseconds; 0 when it cannot be decoded.
    virtual int64_t length_ms(const std::string& path) {
        WavePtr w = decode(path);
        return w ? w->frames() * 1000 / w->rate : 0;
    }
    // Called after every step with the room speed: without a device the mix advances
    // rate / speed frames (fractions carried to the next step); with one it runs by itself.
    virtual void step(int32_t room_speed) = 0;
    // Called while no steps run but time passes (a window such as a video or a message box
    // is open): without a device the mix advances this many milliseconds, so that what it
    // writes is what a player hears; with one it runs by itself.
    virtual void elapse(int64_t ms) { (void)ms; }
    // Frames mixed in step time so far (0 with a device).
    virtual int64_t frames_mixed() const { return 0; }

  protected:
    AudioMixer mixer_;
};

// The output without a device: mixes in step time and, when `wave_file` is given, writes
// the mix there as 44100 Hz 16-bit stereo. Null with the reason in `error` when the file
// cannot be made.
std::unique_ptr<Audio> make_step_audio(const std::string& wave_file, AudioDecoder decode,
                                       std::string* error = nullptr);

// Turns mixed floats into 16-bit samples, clipped once here.
void clip_to_s16(const float* in, int16_t* out, size_t samples);

} // namespace kelvane
