// The start-up and run sequence: module start-up work, load, prepare, run, and the end
// work, with the exit status of the whole run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "run/Runtime.h"
#include "runner/Window_Choice.h"

namespace kelvane {

// The game window's key that pauses the game and shows the debug window (run --debug): F12.
constexpr int32_t debug_pause_key = 123;

// Exit statuses of `kelvane run`.
enum ExitStatus : int { exit_normal = 0, exit_not_loaded = 1, exit_fatal_error = 2 };

struct RunOptions {
    std::string game;                   // file or project folder; empty: find the game
    std::vector<std::string> game_args; // the game's parameters
    bool headless = false;
    std::optional<int64_t> steps;
    std::optional<int32_t> seed;
    std::string frames_dir;
    std::string input_file;
    std::string workdir;
    // The player's answers to the game's boxes (`--answers`), in order.
    std::vector<std::string> answers;
    // Drive letters the game's file names may use, with their host folders (C: is /).
    std::vector<std::pair<char, std::string>> drives;
    std::string audio_out; // write what is heard to this wave file, in step time
    bool mute = false;     // open no sound device
    bool tree = false;     // run game code with the tree-walking interpreter
    std::string cd_dir;    // the folder of track files that is the CD in the drive
    // The player's window choice (--fullscreen, --scale); unset: as remembered.
    RWindowChoice window;
    // Time from the steps (the virtual clock), starting at this tick count.
    bool deterministic = false;
    int64_t clock_start = 0;
    // Write the session's input to this file (turns the virtual clock on).
    std::string record_file;
    // The game checksum a replayed recording was made with: warn when the game differs.
    std::optional<uint64_t> replay_checksum;
    // Expressions written after every step (`--watch`), to this file or else stderr.
    std::vector<std::string> watches;
    std::string watch_out;
    // Show the debug window for any game (`--debug`).
    bool debug = false;
};

// The checksum of a game (of the file's bytes, or of a project folder packed), as
// recordings name it; nullopt when it cannot be read.
std::optional<uint64_t> checksum_of_game(const std::string& path);

// Resolves which file holds the game when none is named: the runner's own executable
// when it holds a game block, else ./game.dat.
std::string default_game_file(const std::string& executable);

// True when the bytes of a file carry a game block (a readable seed and the magic).
bool holds_game_block(const std::string& path);

// The one game file (a file holding a game block: a .kgame, a game executable, a game.dat)
// directly inside a folder; nullopt with the reason when it holds none or several.
std::optional<std::string> find_game_in_folder(const std::string& dir, std::string* error);

// Runs the whole sequence and returns the exit status.
int run_game(const RunOptions& options, Platform& platform);

// The sequence's steps, exposed for tests: load the game file into the runtime (with the
// loading window) and prepare it. Both show their message and return false on failure.
bool load_game(Runtime& rt, Platform& platform, const std::string& path);
bool prepare_game(Runtime& rt, Platform& platform);
// Plays a prepared game in the current directory (its files, registry values, error
// report, then the main loop) and returns the exit status.
int play_game(Runtime& rt, Platform& platform, const RunOptions& options,
              const std::string& game_file, const std::string& game_folder);

} // namespace kelvane
