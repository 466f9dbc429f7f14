// fuzz-options: -max_len=65536 -rss_limit_mb=2048 -fork=1 -ignore_timeouts=1 -timeout=10
// -close_fd_mask=3 libFuzzer target: a game block (the bytes after the block offset) is loaded,
// prepared and played headless for a few steps with a fixed seed, so the start-up and the first
// steps of a damaged game are reached: rooms made, instances created, frames drawn.
// A fuzzed game may loop for ever as any game may; such inputs run out of time and are
// counted, not reported (fork mode). Waits return at once.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "Fuzz_Folder.h"
#include "platform/Platform.h"
#include "runner/Runner_Form.h"
#include "runner/Runner_Load.h"

namespace {

// Time passes only when asked: sleep() and the step pacing cost nothing.
class InstantClock : public kelvane::Clock {
  public:
    int64_t ticks_ms() override { return now_; }
    void sleep_ms(int64_t ms) override { now_ += ms > 0 ? ms : 0; }

  private:
    int64_t now_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kelvane;
    fuzz::private_folder();
    Runtime rt;
    rt.temp.create();
    // Loaded as the runner loads a game to play it: pictures straight into their strips.
    LoadOptions load;
    load.keep_encodings = false;
    if (!load_game_block(std::vector<uint8_t>(data, data + size), rt.game, {}, load).ok) return 0;
    rt.masks.build_all(rt.game, [](const std::string&) {});
    Platform platform = make_headless_platform();
    platform.clock = std::make_unique<InstantClock>();
    if (!prepare_game(rt, platform)) return 0;
    RunOptions options;
    options.headless = true;
    options.steps = 3;
    options.seed = 1;
    play_game(rt, platform, options, "game.kgame", ".");
    return 0;
}
