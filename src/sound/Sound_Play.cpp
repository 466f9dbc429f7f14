// Players of sounds: wave buffers as mixer voices with volume, pan and frequency, and music
// decoded by the platform, looping from its start once its length has passed.
#include "sound/Sound_Play.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "sound/Sound_DXWave.h"

namespace kelvane {

namespace {

std::string lower_extension(const std::string& file_name) {
    std::string ext = std::filesystem::path(file_name).extension().string();
    for (char& c : ext) c = char(std::tolower((unsigned char)c));
    return ext;
}

} // namespace

bool is_wave_file_name(const std::string& file_name) {
    return lower_extension(file_name) == ".wav";
}

int64_t music_loop_frames(const RWave& wave, bool midi) {
    const int64_t frames = wave.frames();
    if (!midi) return frames;
    // The last frame above about -66 dB ends the song.
    const int64_t ch = wave.channels;
    int64_t last = frames;
    while (last > 1) {
        const int16_t* f = &wave.samples[size_t((last - 1) * ch)];
        bool loud = false;
        for (int64_t c = 0; c < ch; ++c) loud = loud || std::abs(int(f[c])) > 16;
        if (loud) break;
        --last;
    }
    return last;
}

TPlaySound::TPlaySound(Audio* audio, std::string name, int32_t buffers, bool effects,
                       const std::function<void(const std::string&)>& report)
    : file_name(std::move(name)), effects_(effects) {
    std::error_code ec;
    usable = std::filesystem::is_regular_file(file_name, ec);
    if (!usable) return;
    count = std::clamp(buffers, 1, 16);
    uses_mci = !is_wave_file_name(file_name);
    usable = false;
    if (!audio) return;
    mixer_ = &audio->mixer();
    if (uses_mci) {
        if (file_name.size() >= 127) {
            report(long_name_message);
            return;
        }
        WavePtr wave = audio->decode(file_name);
        if (!wave) return;
        const std::string ext = lower_extension(file_name);
        const int64_t loop = music_loop_frames(*wave, ext == ".mid" || ext == ".midi");
        const int32_t v = mixer_->add_voice(std::move(wave));
        if (v < 0) return;
        mixer_->set_loop_end(v, loop);
        voices_.push_back(v);
    } else {
        // Failures of the wave loader make the sound silently unusable.
        RWaveLoad load = load_wave_file(file_name, audio);
        if (!load.wave) return;
        for (int32_t i = 0; i < count; ++i) {
            const int32_t v = mixer_->add_voice(load.wave);
            if (v < 0) break;
            voices_.push_back(v);
        }
        if (int32_t(voices_.size()) != count) return;
    }
    usable = true;
}

TPlaySound::~TPlaySound() {
    if (mixer_)
        for (int32_t v : voices_) mixer_->remove_voice(v);
}

void TPlaySound::play(bool loop) {
    if (!usable) return;
    if (uses_mci) {
        mixer_->play(voices_[0], loop);
        return;
    }
    current = current + 1 >= count ? 0 : current + 1;
    mixer_->play(voices_[size_t(current)], loop);
}

void TPlaySound::stop() {
    for (int32_t v : voices_) mixer_->stop(v);
}

bool TPlaySound::is_playing() const {
    return std::any_of(voices_.begin(), voices_.end(),
                       [&](int32_t v) { return mixer_->playing(v); });
}

// Volume, pan and frequency reach wave buffers made with effects only.
void TPlaySound::set_volume(int32_t hundredths_db) {
    if (uses_mci || !effects_) return;
    for (int32_t v : voices_) mixer_->set_volume(v, hundredths_db);
}

void TPlaySound::set_pan(int32_t hundredths_db) {
    if (uses_mci || !effects_) return;
    for (int32_t v : voices_) mixer_->set_pan(v, hundredths_db);
}

void TPlaySound::set_frequency(int32_t hz) {
    if (uses_mci || !effects_) return;
    for (int32_t v : voices_) mixer_->set_rate(v, hz);
}

} // namespace kelvane
