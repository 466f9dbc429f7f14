// Mixing cost: 64 voices of wave sounds playing at once, their frequency, pan and volume
// changing between blocks as a game changes them every step, mixed into 44 100 Hz stereo
// in blocks of 1 024 frames. Beside it, the same second with one voice, and the copy of a
// second of silence (the cost of the output alone).
#include <benchmark/benchmark.h>

#include <cmath>

#include "platform/Audio.h"

using namespace kelvane;

namespace {

constexpr size_t block = 1024;

WavePtr tone(int32_t rate, int32_t channels) {
    auto w = std::make_shared<RWave>();
    w->rate = rate;
    w->channels = channels;
    for (int i = 0; i < rate * channels; ++i)
        w->samples.push_back(int16_t(8000 * std::sin(i * 0.05)));
    return w;
}

// Mixes one second of `voices` voices; the settings move every block.
void mix_second(benchmark::State& state) {
    const int voices = int(state.range(0));
    AudioMixer mixer;
    std::vector<int32_t> ids;
    WavePtr mono = tone(22050, 1), stereo = tone(44100, 2);
    for (int i = 0; i < voices; ++i) {
        ids.push_back(mixer.add_voice(i % 2 ? stereo : mono));
        mixer.play(ids.back(), true);
    }
    std::vector<float> out(block * 2);
    for (auto _ : state) {
        for (size_t done = 0, k = 0; done < size_t(audio_rate); done += block, ++k) {
            for (int i = 0; i < voices; ++i) {
                mixer.set_rate(ids[size_t(i)],
                               11025 + int32_t((k * 997 + size_t(i) * 131) % 60000));
                mixer.set_pan(ids[size_t(i)], int32_t((k * 311 + size_t(i) * 53) % 20000) - 10000);
                mixer.set_volume(ids[size_t(i)], -int32_t((k * 71 + size_t(i) * 29) % 3000));
            }
            mixer.mix(out.data(), block);
            benchmark::DoNotOptimize(out.data());
        }
    }
    // The share of one core that mixing in real time costs.
    state.counters["core_percent"] =
        benchmark::Counter(double(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void clip_second(benchmark::State& state) {
    std::vector<float> in(block * 2, 0.25f);
    std::vector<int16_t> out(block * 2);
    for (auto _ : state) {
        for (size_t done = 0; done < size_t(audio_rate); done += block) {
            clip_to_s16(in.data(), out.data(), in.size());
            benchmark::DoNotOptimize(out.data());
        }
    }
}

} // namespace

BENCHMARK(mix_second)
    ->Arg(64)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK(clip_second)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

BENCHMARK_MAIN();
