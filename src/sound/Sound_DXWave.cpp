// The wave-file reader: a RIFF file of form "WAVE", its "fmt " chunk (at least 16 bytes;
// formats other than PCM carry an extra size and that many bytes), then its "data" chunk.
// Every size comes from the file, so each is checked against what is really there.
#include "sound/Sound_DXWave.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace kelvane {

namespace {

constexpr uint16_t tag_pcm = 1, tag_float = 3, tag_extensible = 0xFFFE;
// Larger wave files are not sounds a game plays; refusing them bounds what is allocated.
constexpr uint64_t max_wave_file = uint64_t(1) << 30;

uint16_t le16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

RWaveLoad failed(const char* why) {
    RWaveLoad r;
    r.error = why;
    return r;
}

struct Format {
    uint16_t tag = 0, channels = 0, block = 0, bits = 0;
    uint32_t rate = 0;
};

// One sample of the given kind as 16 bits.
int16_t sample16(const uint8_t* p, uint16_t tag, uint16_t bits) {
    if (tag == tag_float) {
        float f = 0;
        if (bits == 64) {
            double d;
            std::memcpy(&d, p, 8);
            f = float(d);
        } else {
            std::memcpy(&f, p, 4);
        }
        if (!(f >= -1.0f)) f = f != f ? 0.0f : -1.0f; // NaN is silence
        if (f > 1.0f) f = 1.0f;
        return int16_t(std::max(-32768.0f, std::min(32767.0f, f * 32768.0f)));
    }
    switch (bits) {
    case 8:
        return int16_t((int(p[0]) - 128) << 8);
    case 16:
        return int16_t(le16(p));
    case 24:
        return int16_t(le16(p + 1));
    default:
        return int16_t(le16(p + 2));
    }
}

bool readable(const Format& f) {
    if (f.tag == tag_pcm) return f.bits == 8 || f.bits == 16 || f.bits == 24 || f.bits == 32;
    return f.tag == tag_float && (f.bits == 32 || f.bits == 64);
}

} // namespace

RWaveLoad read_wave(const uint8_t* data, size_t size) {
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return failed("Not a valid wave file");
    // The RIFF size may not be trusted; the chunks are read within the bytes there are.
    const uint8_t* end = data + size;
    const uint8_t* p = data + 12;
    Format f;
    bool have_format = false;
    while (true) {
        if (end - p < 8) return failed(have_format ? "Corrupt wave file" : "Not a valid wave file");
        const uint32_t length = le32(p + 4);
        const uint8_t* body = p + 8;
        if (uint64_t(length) > uint64_t(end - body)) {
            if (std::memcmp(p, "data", 4) == 0 && have_format)
                return failed("Cannot read wave file");
            return failed("Corrupt wave file");
        }
        if (std::memcmp(p, "fmt ", 4) == 0 && !have_format) {
            if (length < 16) return failed("Not a valid wave file");
            f.tag = le16(body);
            f.channels = le16(body + 2);
            f.rate = le32(body + 4);
            f.block = le16(body + 12);
            f.bits = le16(body + 14);
            // Formats other than PCM say how many extra format bytes follow.
            if (f.tag != tag_pcm) {
                if (length < 18) return failed("Cannot read the wave file");
                const uint16_t extra = le16(body + 16);
                if (uint32_t(18) + extra > length) return failed("Cannot read the wave file");
                // The extensible format names its real format in its first two sub-format
                // bytes.
                if (f.tag == tag_extensible && extra >= 22) f.tag = le16(body + 24);
            }
            have_format = true;
        } else if (std::memcmp(p, "data", 4) == 0 && have_format) {
            if (f.channels == 0 || f.rate == 0 || f.rate > 1000000)
                return failed("Not a valid wave file");
            RWaveLoad r;
            if (!readable(f) || f.channels > 2) {
                r.compressed = true;
                return r;
            }
            const size_t width = f.bits / 8;
            const size_t frame = width * f.channels;
            const size_t frames = length / frame;
            if (frames == 0) return failed("Corrupt wave file");
            auto wave = std::make_shared<RWave>();
            wave->rate = int32_t(f.rate);
            wave->channels = f.channels;
            wave->samples.resize(frames * f.channels);
            for (size_t i = 0; i < wave->samples.size(); ++i)
                wave->samples[i] = sample16(body + i * width, f.tag, f.bits);
            r.wave = std::move(wave);
            return r;
        }
        // Chunks are padded to an even length.
        const uint64_t skip = uint64_t(length) + (length & 1);
        if (skip >= uint64_t(end - body)) {
            return failed(have_format ? "Corrupt wave file" : "Not a valid wave file");
        }
        p = body + skip;
    }
}

RWaveLoad load_wave_file(const std::string& path, Audio* audio) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) return failed("Cannot open wave file");
    const std::streamoff size = in.tellg();
    if (size < 0 || uint64_t(size) > max_wave_file)
        return failed("Error allocating memory for the wave file");
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
        return failed("Cannot read wave file");
    RWaveLoad r = read_wave(bytes.data(), bytes.size());
    if (r.compressed) {
        r.wave = audio ? audio->decode(path) : nullptr;
        if (!r.wave) r.error = "Not a valid wave file";
    }
    return r;
}

} // namespace kelvane
