// The player's choice of window for a game (full screen or a window, and its whole-pixel
// magnification): given on the command line, or remembered per game in the registry
// store from the last time it was played.
#pragma once

#include <cstdint>
#include <optional>

#include "platform/Registry_Store.h"

namespace kelvane {

struct RWindowChoice {
    std::optional<bool> full_screen;
    std::optional<int32_t> zoom; // 1 ... max_zoom
};

constexpr int32_t max_zoom = 16;

// The key under which a game's choice is kept (game id in decimal at the end).
std::string window_choice_key(int32_t game_id);

// What the store remembers for the game; missing or unreadable values stay unset.
RWindowChoice read_window_choice(RegistryStore& store, int32_t game_id);

// Remembers the choice; values the store already holds are not written again.
void write_window_choice(RegistryStore& store, int32_t game_id, const RWindowChoice& choice);

// The command line's choice where it made one, else the remembered one.
RWindowChoice merged(const RWindowChoice& command_line, const RWindowChoice& remembered);

} // namespace kelvane
