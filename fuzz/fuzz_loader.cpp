// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: the input is a game block (the bytes after the block offset).
// Any input must load or fail cleanly, both as the tools load a game (pictures kept as
// stored) and as a game is loaded to run (pictures decoded straight into their strips).
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <vector>

#include "runner/Runner_Load.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> block(data, data + size);
    for (bool keep : {true, false}) {
        kelvane::Game game;
        kelvane::LoadOptions options;
        options.keep_encodings = keep;
        kelvane::load_game_block(block, game, {}, options);
    }
    return 0;
}
