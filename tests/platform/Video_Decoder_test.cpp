// Videos decoded through FFmpeg: small YUV4MPEG files written here (a text header, then
// each picture's planes as they are), files that cannot be played, and short clips in the
// containers and codecs games ship (tests/platform/videos/: 0.4 s of red, then 0.4 s of
// blue, 32 x 24 at 25 pictures a second, with 0.8 s of a 440 Hz tone).
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <array>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "platform/Video_Decoder.h"

using namespace kelvane;
namespace fs = std::filesystem;

namespace {

struct Yuv {
    uint8_t y, u, v;
};

// A YUV4MPEG2 video of w x h at 10 pictures a second, one flat colour a picture, its
// pixels of the given aspect.
std::string y4m(int32_t w, int32_t h, const std::vector<Yuv>& pictures,
                const std::string& aspect = "1:1") {
    std::string out = "YUV4MPEG2 W" + std::to_string(w) + " H" + std::to_string(h) + " F10:1 Ip A" +
                      aspect + " C444\n";
    for (const Yuv& p : pictures) {
        out += "FRAME\n";
        out += std::string(size_t(w * h), char(p.y));
        out += std::string(size_t(w * h), char(p.u));
        out += std::string(size_t(w * h), char(p.v));
    }
    return out;
}

class VideoFiles : public ::testing::Test {
  protected:
    fs::path dir;
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kelvane-video-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string write(const std::string& name, const std::string& bytes) {
        std::ofstream(dir / name, std::ios::binary) << bytes;
        return (dir / name).string();
    }
};

// Each channel of a decoded pixel within a few steps of the expected colour (the YUV to
// RGB conversion rounds).
void expect_near(uint32_t pixel, uint32_t rgb) {
    for (int shift : {0, 8, 16}) {
        int a = int(pixel >> shift & 0xFF), b = int(rgb >> shift & 0xFF);
        EXPECT_NEAR(a, b, 3) << std::hex << pixel << " vs " << rgb;
    }
}

} // namespace

TEST_F(VideoFiles, PicturesComeOutInOrderWithTheirTimesAndLoop) {
    // White, black, then a red (0xRRGGBB 0xFF0000 in limited-range BT.601: 81, 90, 240).
    auto path = write("clip.y4m", y4m(8, 6, {{235, 128, 128}, {16, 128, 128}, {81, 90, 240}}));
    std::string error;
    auto video = VideoDecoder::open(path, &error);
    ASSERT_TRUE(video) << error;
    EXPECT_EQ(video->width(), 8);
    EXPECT_EQ(video->height(), 6);
    Image32 picture;
    int64_t ms = -1;
    const uint32_t colours[3] = {0xFFFFFF, 0x000000, 0xFF0000};
    for (int round = 0; round < 2; ++round) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(video->next(picture, ms)) << round << " " << i;
            EXPECT_EQ(ms, i * 100);
            ASSERT_EQ(picture.width, 8);
            ASSERT_EQ(picture.pixels.size(), 48u);
            expect_near(picture.pixels[0], colours[i]);
            expect_near(picture.pixels[47], colours[i]);
        }
        EXPECT_FALSE(video->next(picture, ms));
        EXPECT_FALSE(video->next(picture, ms)); // the end stays the end
        ASSERT_TRUE(video->rewind());
    }
}

TEST_F(VideoFiles, FilesThatCannotBePlayedAreRefused) {
    std::string error;
    EXPECT_FALSE(VideoDecoder::open((dir / "missing.avi").string(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(VideoDecoder::open(write("text.avi", "this is not a video"), &error));
    EXPECT_FALSE(VideoDecoder::open(write("empty.mpg", ""), &error));
    // A header that claims a picture far larger than any video may have.
    error.clear();
    EXPECT_FALSE(VideoDecoder::open(
        write("huge.y4m", "YUV4MPEG2 W5000 H5000 F10:1 Ip A1:1 C444\nFRAME\nxyz"), &error));
    EXPECT_NE(error.find("out of bounds"), std::string::npos) << error;
    // A picture cut short: what can be decoded comes out, then the end.
    std::string cut = y4m(8, 6, {{235, 128, 128}, {16, 128, 128}});
    cut.resize(cut.size() - 50);
    auto video = VideoDecoder::open(write("cut.y4m", cut), &error);
    if (video) {
        Image32 picture;
        int64_t ms = 0;
        int n = 0;
        while (n < 10 && video->next(picture, ms)) ++n;
        EXPECT_LE(n, 2);
    }
}

// A wave of 8000 Hz mono, 16-bit, `ms` long: a square wave of +-8000.
std::string wave_file(int32_t ms) {
    const int32_t frames = 8 * ms;
    auto u32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto u16 = [](uint32_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string data;
    for (int32_t i = 0; i < frames; ++i) data += u16(uint16_t((i / 10) % 2 ? 8000 : -8000));
    return "RIFF" + u32(36 + uint32_t(data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) +
           u32(8000) + u32(16000) + u16(2) + u16(16) + "data" + u32(uint32_t(data.size())) + data;
}

TEST_F(VideoFiles, TheSoundBecomesOneWaveForTheMixerWithinItsLimit) {
    auto path = write("sound.wav", wave_file(1000));
    WavePtr wave = decode_video_sound(path, 60000);
    ASSERT_TRUE(wave);
    EXPECT_EQ(wave->rate, audio_rate);
    EXPECT_EQ(wave->channels, 2);
    EXPECT_NEAR(double(wave->frames()), 44100.0, 200.0);
    int16_t loudest = 0;
    for (int16_t s : wave->samples) loudest = std::max<int16_t>(loudest, int16_t(std::abs(s)));
    EXPECT_GT(loudest, 6000);
    // Cut at the limit.
    WavePtr cut = decode_video_sound(path, 250);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->frames(), 44100 / 4);
    // A video without sound, and a file that is not one, give none.
    EXPECT_FALSE(decode_video_sound(write("clip.y4m", y4m(4, 4, {{16, 128, 128}})), 1000));
    EXPECT_FALSE(decode_video_sound(write("junk.avi", "junk"), 1000));
}

// Pixels twice as wide as high make the picture twice as wide on the screen.
TEST_F(VideoFiles, PixelsThatAreNotSquareChangeTheShownWidth) {
    auto path = write("wide.y4m", y4m(8, 6, {{235, 128, 128}}, "2:1"));
    auto video = VideoDecoder::open(path, nullptr);
    ASSERT_TRUE(video);
    EXPECT_EQ(video->width(), 16);
    EXPECT_EQ(video->height(), 6);
    Image32 picture;
    int64_t ms = 0;
    ASSERT_TRUE(video->next(picture, ms));
    EXPECT_EQ(picture.width, 16);
    EXPECT_EQ(picture.pixels.size(), 96u);
    expect_near(picture.pixels[95], 0xFFFFFF);
}

// Each clip: every picture at 32 x 24, red first and blue last, times that never go back,
// and about 0.8 s of a loud tone.
TEST(VideoContainers, ClipsInTheUsualContainersPlayWithTheirSound) {
    const fs::path videos = fs::path(KELVANE_SOURCE_DIR) / "tests/platform/videos";
    for (const char* name : {"clip.mpg", "clip.mp4", "clip.wmv", "clip.avi"}) {
        SCOPED_TRACE(name);
        const std::string path = (videos / name).string();
        std::string error;
        auto video = VideoDecoder::open(path, &error);
        ASSERT_TRUE(video) << error;
        EXPECT_EQ(video->width(), 32);
        EXPECT_EQ(video->height(), 24);
        Image32 picture, first;
        int64_t ms = 0, last_ms = -1;
        int pictures = 0;
        while (pictures < 100 && video->next(picture, ms)) {
            ASSERT_EQ(picture.width, 32);
            ASSERT_EQ(picture.pixels.size(), size_t(32 * 24));
            EXPECT_GE(ms, last_ms);
            last_ms = ms;
            if (pictures++ == 0) first = picture;
        }
        EXPECT_GE(pictures, 18);
        EXPECT_LE(pictures, 22);
        EXPECT_GE(last_ms, 600);
        EXPECT_LE(last_ms, 900);
        // Lossy codecs at a low rate: the colour is clear, its exact value is not.
        auto channels = [](uint32_t pixel) {
            return std::array<int, 3>{int(pixel >> 16 & 0xFF), int(pixel >> 8 & 0xFF),
                                      int(pixel & 0xFF)};
        };
        auto [r0, g0, b0] = channels(first.pixels[12 * 32 + 16]);
        EXPECT_GT(r0, 180);
        EXPECT_LT(g0, 70);
        EXPECT_LT(b0, 70);
        auto [r1, g1, b1] = channels(picture.pixels[12 * 32 + 16]);
        EXPECT_LT(r1, 70);
        EXPECT_LT(g1, 70);
        EXPECT_GT(b1, 180);

        WavePtr wave = decode_video_sound(path, 60000);
        ASSERT_TRUE(wave);
        EXPECT_EQ(wave->rate, audio_rate);
        EXPECT_NEAR(double(wave->frames()) / audio_rate, 0.8, 0.1);
        int16_t loudest = 0;
        for (int16_t s : wave->samples) loudest = std::max<int16_t>(loudest, int16_t(std::abs(s)));
        EXPECT_GT(loudest, 2000); // the tone peaks at an eighth of full scale
    }
}

// A playlist among a game's files names a stream on the network: nothing is fetched (a
// listening socket on this machine stands for the server and sees no connection).
TEST_F(VideoFiles, AVideoNeverReachesTheNetwork) {
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(server, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(server, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(server, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(server, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string port = std::to_string(ntohs(address.sin_port));
    // Whoever connects is counted and sent away at once, so a fetch fails rather than waits.
    std::atomic<int> connections{0};
    std::atomic<bool> done{false};
    std::thread serve([&] {
        while (!done) {
            pollfd p{server, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0) {
                const int client = ::accept(server, nullptr, nullptr);
                if (client >= 0) {
                    ++connections;
                    ::close(client);
                }
            }
        }
    });
    const std::string playlist =
        "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1,\nhttp://127.0.0.1:" + port +
        "/a.ts\n#EXT-X-ENDLIST\n";
    const std::string path = write("intro.m3u8", playlist);
    std::string error;
    EXPECT_FALSE(VideoDecoder::open(path, &error));
    EXPECT_FALSE(decode_video_sound(path, 1000));
    // A name that reads as a web address is a file name like any other.
    EXPECT_FALSE(VideoDecoder::open("http://127.0.0.1:" + port + "/a.avi", &error));
    done = true;
    serve.join();
    ::close(server);
    EXPECT_EQ(connections.load(), 0);
}
