// Wave files for tests: a sine tone written in a chosen format, MIDI files of one note, and
// the reading of a 16-bit stereo wave file back into its two channels.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace kelvane::test {

inline void put_le(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s += char((v >> (8 * i)) & 0xff);
}

// A RIFF/WAVE file around a "fmt " chunk of the given tag and bits and a "data" chunk.
inline std::string wave_file(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                             const std::string& data, const std::string& extra_fmt = "") {
    std::string fmt;
    put_le(fmt, tag, 2);
    put_le(fmt, channels, 2);
    put_le(fmt, rate, 4);
    put_le(fmt, rate * channels * (bits / 8), 4);
    put_le(fmt, channels * (bits / 8), 2);
    put_le(fmt, bits, 2);
    fmt += extra_fmt;
    std::string body = "WAVEfmt ";
    put_le(body, uint32_t(fmt.size()), 4);
    body += fmt;
    body += "data";
    put_le(body, uint32_t(data.size()), 4);
    body += data;
    std::string out = "RIFF";
    put_le(out, uint32_t(body.size()), 4);
    return out + body;
}

// A mono 16-bit PCM sine tone.
inline std::string sine_wave(uint32_t rate, double hz, double seconds, double amplitude = 0.5) {
    std::string data;
    const auto frames = size_t(rate * seconds);
    for (size_t i = 0; i < frames; ++i) {
        auto v =
            int32_t(std::lround(amplitude * 32767 * std::sin(2 * M_PI * hz * double(i) / rate)));
        put_le(data, uint32_t(v), 2);
    }
    return wave_file(1, 1, rate, 16, data);
}

// A MIDI file of one piano note held for `beats` beats at 120 beats a minute.
inline std::string one_note_midi(int beats = 1) {
    auto vlq = [](uint32_t n) {
        std::string b(1, char(n & 0x7f));
        while (n >>= 7) b.insert(b.begin(), char((n & 0x7f) | 0x80));
        return b;
    };
    std::string ev = vlq(0) + std::string("\xC0\x00", 2) + vlq(0) + std::string("\x90\x3c\x64", 3) +
                     vlq(uint32_t(480 * beats)) + std::string("\x80\x3c\x00", 3) + vlq(0) +
                     std::string("\xFF\x2F\x00", 3);
    auto be = [](uint32_t v, int n) {
        std::string s;
        for (int i = n - 1; i >= 0; --i) s += char((v >> (8 * i)) & 0xff);
        return s;
    };
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(480, 2) + "MTrk" +
           be(uint32_t(ev.size()), 4) + ev;
}

struct Stereo {
    std::vector<int16_t> left, right;
};

// The channels of a 16-bit stereo wave file as the headless output writes it.
inline Stereo read_stereo(const std::string& file) {
    Stereo s;
    if (file.size() < 44) return s;
    for (size_t i = 44; i + 3 < file.size(); i += 4) {
        s.left.push_back(int16_t(uint8_t(file[i]) | uint8_t(file[i + 1]) << 8));
        s.right.push_back(int16_t(uint8_t(file[i + 2]) | uint8_t(file[i + 3]) << 8));
    }
    return s;
}

// Sign changes between frames [from, to).
inline int zero_crossings(const std::vector<int16_t>& v, size_t from, size_t to) {
    int n = 0;
    for (size_t i = from + 1; i < to && i < v.size(); ++i)
        if ((v[i - 1] < 0) != (v[i] < 0)) ++n;
    return n;
}

// The largest magnitude in frames [from, to).
inline int peak(const std::vector<int16_t>& v, size_t from, size_t to) {
    int p = 0;
    for (size_t i = from; i < to && i < v.size(); ++i) p = std::max(p, std::abs(int(v[i])));
    return p;
}

} // namespace kelvane::test
