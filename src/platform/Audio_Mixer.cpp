// The wave mixer: voices over shared decoded sounds, each resampled with linear
// interpolation to the output rate and summed in float; the output clips once.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/Audio.h"

namespace kelvane {

float attenuation_gain(int32_t hundredths_db) {
    if (hundredths_db <= -10000) return 0;
    if (hundredths_db >= 0) return 1;
    return float(std::pow(10.0, double(hundredths_db) / 2000.0));
}

void clip_to_s16(const float* in, int16_t* out, size_t samples) {
    for (size_t i = 0; i < samples; ++i) {
        float v = std::nearbyint(in[i] * 32768.0f);
        out[i] = int16_t(std::clamp(v, -32768.0f, 32767.0f));
    }
}

AudioMixer::Voice* AudioMixer::find(int32_t voice) {
    if (voice < 0 || size_t(voice) >= voices_.size() || !voices_[size_t(voice)].used)
        return nullptr;
    return &voices_[size_t(voice)];
}

const AudioMixer::Voice* AudioMixer::find(int32_t voice) const {
    return const_cast<AudioMixer*>(this)->find(voice);
}

// Pan attenuates the far side only, as the game's pan law does; samples are scaled to
// -1 ... 1 here so the inner loop does one multiply per side.
void AudioMixer::update_gains(Voice& v) {
    const float volume = attenuation_gain(v.volume) / 32768.0f;
    v.left = volume * (v.pan > 0 ? attenuation_gain(-v.pan) : 1.0f);
    v.right = volume * (v.pan < 0 ? attenuation_gain(v.pan) : 1.0f);
}

int32_t AudioMixer::add_voice(WavePtr wave) {
    if (!wave || wave->frames() == 0 || wave->rate <= 0) return -1;
    std::lock_guard<std::mutex> guard(lock_);
    int32_t id;
    if (!free_.empty()) {
        id = free_.back();
        free_.pop_back();
    } else {
        id = int32_t(voices_.size());
        voices_.emplace_back();
    }
    Voice& v = voices_[size_t(id)];
    v = Voice{};
    v.used = true;
    v.step = double(wave->rate) / audio_rate;
    v.loop_end = wave->frames();
    v.wave = std::move(wave);
    update_gains(v);
    return id;
}

void AudioMixer::remove_voice(int32_t voice) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) {
        *v = Voice{};
        free_.push_back(voice);
    }
}

void AudioMixer::play(int32_t voice, bool loop, int64_t from_frame) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) {
        v->loop = loop;
        v->pos = double(std::clamp<int64_t>(from_frame, 0, v->wave->frames()));
        v->playing = v->pos < double(loop ? v->loop_end : v->wave->frames());
    }
}

void AudioMixer::stop(int32_t voice) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->playing = false;
}

void AudioMixer::resume(int32_t voice) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->playing = v->pos < double(v->wave->frames());
}

bool AudioMixer::playing(int32_t voice) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Voice* v = find(voice);
    return v && v->playing;
}

int64_t AudioMixer::position(int32_t voice) const {
    std::lock_guard<std::mutex> guard(lock_);
    const Voice* v = find(voice);
    return v ? int64_t(v->pos) : 0;
}

void AudioMixer::set_volume(int32_t voice, int32_t hundredths_db) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->volume = hundredths_db, update_gains(*v);
}

void AudioMixer::set_pan(int32_t voice, int32_t hundredths_db) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->pan = hundredths_db, update_gains(*v);
}

void AudioMixer::set_rate(int32_t voice, int32_t hz) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->step = double(std::max(1, hz)) / audio_rate;
}

void AudioMixer::set_loop_end(int32_t voice, int64_t frames) {
    std::lock_guard<std::mutex> guard(lock_);
    if (Voice* v = find(voice)) v->loop_end = std::clamp<int64_t>(frames, 1, v->wave->frames());
}

int32_t AudioMixer::voice_count() const {
    std::lock_guard<std::mutex> guard(lock_);
    return int32_t(voices_.size() - free_.size());
}

void AudioMixer::mix_voice(Voice& v, float* out, size_t frames) {
    const RWave& w = *v.wave;
    const int16_t* s = w.samples.data();
    const int64_t end = v.loop ? v.loop_end : w.frames();
    const double dend = double(end);
    const bool stereo = w.channels == 2;
    const float gl = v.left, gr = v.right;
    double pos = v.pos;
    for (size_t i = 0; i < frames; ++i) {
        const int64_t k = int64_t(pos);
        const float f = float(pos - double(k));
        // The sample after the last one is the loop's first, or silence.
        const int64_t next = k + 1 < end ? k + 1 : (v.loop ? 0 : -1);
        if (stereo) {
            const float a0 = s[2 * k], a1 = s[2 * k + 1];
            const float b0 = next >= 0 ? s[2 * next] : 0.0f;
            const float b1 = next >= 0 ? s[2 * next + 1] : 0.0f;
            out[2 * i] += (a0 + (b0 - a0) * f) * gl;
            out[2 * i + 1] += (a1 + (b1 - a1) * f) * gr;
        } else {
            const float a = s[k];
            const float b = next >= 0 ? s[next] : 0.0f;
            const float m = a + (b - a) * f;
            out[2 * i] += m * gl;
            out[2 * i + 1] += m * gr;
        }
        pos += v.step;
        if (pos >= dend) {
            if (!v.loop) {
                v.playing = false;
                pos = dend;
                break;
            }
            pos = std::fmod(pos, dend);
        }
    }
    v.pos = pos;
}

void AudioMixer::mix(float* stereo, size_t frames) {
    std::memset(stereo, 0, frames * 2 * sizeof(float));
    std::lock_guard<std::mutex> guard(lock_);
    for (Voice& v : voices_)
        if (v.used && v.playing) mix_voice(v, stereo, frames);
}

} // namespace kelvane
