// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: the input is a wave file. Any input must be read or refused cleanly;
// what is read must hold whole frames of one or two channels.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "sound/Sound_DXWave.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvane::RWaveLoad r = kelvane::read_wave(data, size);
    if (r.wave && (r.wave->channels < 1 || r.wave->channels > 2 ||
                   r.wave->samples.size() % size_t(r.wave->channels) != 0 || r.wave->rate <= 0))
        std::abort();
    return 0;
}
