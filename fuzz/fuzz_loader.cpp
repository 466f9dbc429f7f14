// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: the input is a game block (the bytes after the block offset).
// Any input must load or fail cleanly.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

#include "runner/Runner_Load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvane::Game game;
    kelvane::load_game_block(std::vector<uint8_t>(data, data + size), game);
    return 0;
}
