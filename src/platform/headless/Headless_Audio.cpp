// The output without a sound device: the mix advances in step time, exactly rate / room
// speed frames a step, and is written to a wave file when one is asked for. The file's
// sizes are filled in when the output closes.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>

#include "platform/Audio.h"

namespace kelvane {

namespace {

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
void put16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
}

// A 44100 Hz 16-bit stereo wave file written as it grows.
class WaveFileOut {
  public:
    bool open(const std::string& path) {
        file_ = std::fopen(path.c_str(), "wb");
        if (!file_) return false;
        write_header();
        return true;
    }
    ~WaveFileOut() {
        if (!file_) return;
        std::fseek(file_, 0, SEEK_SET);
        write_header();
        std::fclose(file_);
    }
    void write(const int16_t* samples, size_t count) {
        // A wave file cannot say more than 4 GiB; what would pass that is not written.
        const uint64_t room = max_data - data_bytes_;
        size_t bytes = std::min<uint64_t>(room, count * 2) & ~uint64_t(3);
        if (!file_ || bytes == 0) return;
        // Wave files are little-endian, like the machines this runs on.
        std::fwrite(samples, 1, bytes, file_);
        data_bytes_ += bytes;
    }

  private:
    static constexpr uint64_t max_data = std::numeric_limits<uint32_t>::max() - 64;
    std::FILE* file_ = nullptr;
    uint64_t data_bytes_ = 0;

    void write_header() {
        uint8_t h[44];
        std::memcpy(h, "RIFF", 4);
        put32(h + 4, uint32_t(36 + data_bytes_));
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(h + 16, 16);
        put16(h + 20, 1); // PCM
        put16(h + 22, 2);
        put32(h + 24, audio_rate);
        put32(h + 28, audio_rate * 4);
        put16(h + 32, 4);
        put16(h + 34, 16);
        std::memcpy(h + 36, "data", 4);
        put32(h + 40, uint32_t(data_bytes_));
        std::fwrite(h, 1, sizeof h, file_);
    }
};

class StepAudio : public Audio {
  public:
    explicit StepAudio(AudioDecoder decode) : decode_(std::move(decode)) {}

    bool open_file(const std::string& path) {
        file_ = std::make_unique<WaveFileOut>();
        return file_->open(path);
    }

    WavePtr decode(const std::string& path) override { return decode_ ? decode_(path) : nullptr; }

    void step(int32_t room_speed) override {
        if (room_speed <= 0) room_speed = 30;
        // Whole frames per step; the remainder carries so that no time is lost.
        carry_ += audio_rate;
        const size_t frames = size_t(carry_ / room_speed);
        carry_ %= room_speed;
        mix(frames);
    }

    void elapse(int64_t ms) override {
        // At most a second at a time: a machine that was suspended does not owe hours.
        if (ms <= 0) return;
        elapse_carry_ += std::min<int64_t>(ms, 1000) * audio_rate;
        const size_t frames = size_t(elapse_carry_ / 1000);
        elapse_carry_ %= 1000;
        mix(frames);
    }

    int64_t frames_mixed() const override { return mixed_; }

  private:
    AudioDecoder decode_;
    std::unique_ptr<WaveFileOut> file_;
    int64_t carry_ = 0, elapse_carry_ = 0, mixed_ = 0;
    std::vector<float> floats_;
    std::vector<int16_t> samples_;

    void mix(size_t frames) {
        mixed_ += int64_t(frames);
        floats_.resize(frames * 2);
        mixer_.mix(floats_.data(), frames);
        if (!file_) return;
        samples_.resize(frames * 2);
        clip_to_s16(floats_.data(), samples_.data(), samples_.size());
        file_->write(samples_.data(), samples_.size());
    }
};

} // namespace

std::unique_ptr<Audio> make_step_audio(const std::string& wave_file, AudioDecoder decode,
                                       std::string* error) {
    auto audio = std::make_unique<StepAudio>(std::move(decode));
    if (!wave_file.empty() && !audio->open_file(wave_file)) {
        if (error) *error = "cannot write the audio file " + wave_file;
        return nullptr;
    }
    return audio;
}

} // namespace kelvane
