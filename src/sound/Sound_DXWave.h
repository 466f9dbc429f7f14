// Wave files: the RIFF reader that turns a wave file's bytes into samples for the mixer.
// PCM of 8, 16, 24 and 32 bits and float, mono or stereo, at any rate, are read here;
// compressed formats are left to the platform's decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Audio.h"

namespace kelvane {

struct RWaveLoad {
    WavePtr wave;            // the samples, when read
    bool compressed = false; // a valid wave file in a format only a decoder can read
    std::string error;       // why the file is not usable (never shown to the player)
};

// Reads a whole wave file held in memory. Never reads outside `size` bytes.
RWaveLoad read_wave(const uint8_t* data, size_t size);

// Reads a wave file from disk, handing compressed formats to `audio`'s decoders.
RWaveLoad load_wave_file(const std::string& path, Audio* audio);

} // namespace kelvane
