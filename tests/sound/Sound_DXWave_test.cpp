// The wave-file reader: every PCM width and float, extra format bytes, chunks in any order
// with padding, and malformed files that must fail without reading outside the bytes.
#include <gtest/gtest.h>

#include "Wave_Fixture.h"
#include "sound/Sound_DXWave.h"

using namespace kelvane;
using namespace kelvane::test;

namespace {

RWaveLoad read(const std::string& file) {
    return read_wave(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

std::string bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s += char(x);
    return s;
}

std::string float_bytes(std::initializer_list<float> v) {
    std::string s;
    for (float f : v) s.append(reinterpret_cast<const char*>(&f), 4);
    return s;
}

} // namespace

TEST(WaveReader, EveryWidthBecomesSixteenBits) {
    struct Case {
        const char* what;
        uint16_t tag, channels, bits;
        std::string data, extra;
        std::vector<int16_t> samples;
    } cases[] = {
        {"8-bit", 1, 1, 8, bytes({0x80, 0xff, 0x00}), "", {0, 127 << 8, -32768}},
        {"16-bit", 1, 1, 16, bytes({0x34, 0x12, 0x00, 0x80}), "", {0x1234, -32768}},
        {"24-bit", 1, 1, 24, bytes({0x99, 0x34, 0x12}), "", {0x1234}},
        {"32-bit", 1, 1, 32, bytes({0x11, 0x22, 0x34, 0x12}), "", {0x1234}},
        {"stereo", 1, 2, 16, bytes({1, 0, 2, 0, 3, 0, 4, 0}), "", {1, 2, 3, 4}},
        {"float",
         3,
         1,
         32,
         float_bytes({0.5f, -1.0f, 2.0f}),
         bytes({0, 0}),
         {16384, -32768, 32767}},
        // The extensible format names PCM in its sub-format.
        {"extensible",
         0xFFFE,
         1,
         16,
         bytes({0x34, 0x12}),
         bytes({22, 0, 16,   0, 0,    0, 0, 0,    1, 0,    0,    0,
                0,  0, 0x10, 0, 0x80, 0, 0, 0xaa, 0, 0x38, 0x9b, 0x71}),
         {0x1234}},
        // A trailing partial frame is not read.
        {"partial frame", 1, 2, 16, bytes({1, 0, 2, 0, 3}), "", {1, 2}},
    };
    for (const Case& c : cases) {
        RWaveLoad r = read(wave_file(c.tag, c.channels, 8000, c.bits, c.data, c.extra));
        ASSERT_TRUE(r.wave) << c.what << ": " << r.error;
        EXPECT_EQ(r.wave->rate, 8000) << c.what;
        EXPECT_EQ(r.wave->channels, c.channels) << c.what;
        EXPECT_EQ(r.wave->samples, c.samples) << c.what;
    }
}

TEST(WaveReader, OtherChunksAndPaddingAreSkipped) {
    std::string plain = wave_file(1, 1, 11025, 16, bytes({5, 0}));
    // A LIST chunk of odd length (padded) before "fmt ", and a "fact" chunk before "data".
    std::string file = "RIFF" + std::string(4, '\0') + "WAVE" + "LIST" + bytes({3, 0, 0, 0}) +
                       "abc" + bytes({0}) + plain.substr(12, 24) + "fact" +
                       bytes({4, 0, 0, 0, 1, 0, 0, 0}) + plain.substr(36);
    RWaveLoad r = read(file);
    ASSERT_TRUE(r.wave) << r.error;
    EXPECT_EQ(r.wave->samples, std::vector<int16_t>{5});
}

TEST(WaveReader, CompressedFormatsAreLeftToADecoder) {
    // Microsoft ADPCM (tag 2) with its extra format bytes.
    RWaveLoad r = read(wave_file(2, 1, 8000, 4, std::string(64, '\0'), bytes({2, 0, 7, 0})));
    EXPECT_TRUE(r.compressed);
    EXPECT_FALSE(r.wave);
    EXPECT_TRUE(read(wave_file(1, 6, 8000, 16, std::string(24, '\0'))).compressed); // 5.1
}

TEST(WaveReader, MalformedFilesFailWithTheirMessage) {
    const std::string good = wave_file(1, 1, 8000, 16, bytes({1, 0, 2, 0}));
    std::string short_fmt = good;
    short_fmt[16] = 14; // "fmt " of 14 bytes
    std::string long_data = good;
    long_data[40] = 100; // more data claimed than there is
    std::string huge_chunk = good;
    huge_chunk[16] = char(0xff), huge_chunk[17] = char(0xff), huge_chunk[18] = char(0xff),
    huge_chunk[19] = char(0x7f);
    struct Case {
        const char* what;
        std::string file;
        const char* error;
    } cases[] = {
        {"empty", "", "Not a valid wave file"},
        {"not RIFF", "RIFX" + good.substr(4), "Not a valid wave file"},
        {"not WAVE", good.substr(0, 8) + "AVI " + good.substr(12), "Not a valid wave file"},
        {"no chunks", good.substr(0, 12), "Not a valid wave file"},
        {"short fmt", short_fmt, "Not a valid wave file"},
        {"data too long", long_data, "Cannot read wave file"},
        {"chunk past the end", huge_chunk, "Corrupt wave file"},
        {"no data chunk", good.substr(0, 36), "Corrupt wave file"},
        {"zero channels", wave_file(1, 0, 8000, 16, bytes({1, 0})), "Not a valid wave file"},
        {"zero rate", wave_file(1, 1, 0, 16, bytes({1, 0})), "Not a valid wave file"},
        {"empty data", wave_file(1, 1, 8000, 16, ""), "Corrupt wave file"},
        {"extra size past fmt", wave_file(3, 1, 8000, 32, float_bytes({0}), bytes({9, 0})),
         "Cannot read the wave file"},
    };
    for (const Case& c : cases) {
        RWaveLoad r = read(c.file);
        EXPECT_FALSE(r.wave) << c.what;
        EXPECT_FALSE(r.compressed) << c.what;
        EXPECT_EQ(r.error, c.error) << c.what;
    }
}

TEST(WaveReader, AFileThatDoesNotExistCannotBeOpened) {
    EXPECT_EQ(load_wave_file("/nonexistent/x.wav", nullptr).error, "Cannot open wave file");
}
