// Loading a game file: finding the block, checking the header, reading the options and
// every section in order, with loading progress. Also the packer's mirror image: writing
// a game to a game file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run/Game.h"

namespace kelvane {

// Where the game block starts in a game file.
constexpr size_t game_block_offset = 1350000;

struct LoadResult {
    bool ok = false;
    // The message the player sees (the message box text); empty for a silent failure.
    std::string message;
    // For a damaged file: the section and byte offset where reading stopped, and why.
    std::string diagnostic;
    // Non-fatal problems met while reading (shown as error reports).
    std::vector<std::string> warnings;

    // The message and the diagnostic on one line, for tools that print why a load failed.
    std::string describe() const {
        std::string why = message;
        if (!diagnostic.empty()) why += (why.empty() ? "" : " ") + diagnostic;
        return why.empty() ? "the game could not be loaded" : why;
    }
};

using ProgressFn = std::function<void(int percent, const std::string& caption)>;

// How a game is loaded. A game that is only run keeps no stored picture encodings (they
// serve the tools that write a game back).
struct LoadOptions {
    bool keep_encodings = true;
};

// Loads a game from a file holding a game block at game_block_offset. The file is mapped
// and given back as the loader walks it, never held whole.
LoadResult load_game_file(const std::string& path, Game& game, const ProgressFn& progress = {},
                          LoadOptions options = {});
// Loads a game from the bytes of a whole game file.
LoadResult load_game_bytes(std::vector<uint8_t> bytes, Game& game, const ProgressFn& progress = {},
                           LoadOptions options = {});
// Loads a game from the bytes of the block alone (what follows game_block_offset).
LoadResult load_game_block(std::vector<uint8_t> block, Game& game, const ProgressFn& progress = {},
                           LoadOptions options = {});

// Writes a whole game file (zero bytes up to the block, then the block scrambled with
// `seed`). The seed must lie in 1 ... SubstitutionTable::max_safe_seed, or be 0 or negative
// for an unscrambled block.
std::vector<uint8_t> write_game_bytes(const Game& game, int32_t seed);

} // namespace kelvane
