// The sound list at run time: preparation into temporary files, playing, stopping and the
// effects, sounds added, replaced and deleted by the game, and the release of players.
// Each operation on a missing sound reports its own message and does nothing.
#pragma once

#include <cstdint>
#include <string>

#include "sound/Support_CD.h"

namespace kelvane {

struct Runtime;

// The run's sound output (set when the sounds are prepared; null: nothing plays) and the
// CD drive.
struct RSoundState {
    Audio* audio = nullptr;
    CCDDrive cd;
};

// The game's 0 ... 1 settings in the units of the players.
int32_t volume_hundredths(double v); // -10000 ... 0
int32_t pan_hundredths(double v);    // -10000 ... 10000
int32_t frequency_hz(double v);      // 100 ... 100000

// Writes every sound's bytes to a temporary file (freeing them) and makes the players of
// the sounds not loaded on use, on `audio` (none: no sound will play).
void prepare_sounds(Runtime& rt, Audio* audio);

void sound_play(Runtime& rt, int32_t id, bool loop);
void sound_stop(Runtime& rt, int32_t id);
void sound_stop_all(Runtime& rt);
bool sound_is_playing(Runtime& rt, int32_t id);
void sound_volume(Runtime& rt, int32_t id, double v);
void sound_pan(Runtime& rt, int32_t id, double v);
void sound_frequency(Runtime& rt, int32_t id, double v);

// A sound from a host file: its id, or -1 when the file does not exist.
int32_t sound_add(Runtime& rt, const std::string& path, int32_t buffers, bool effects,
                  bool loadonuse);
bool sound_replace(Runtime& rt, int32_t id, const std::string& path, int32_t buffers, bool effects,
                   bool loadonuse);
bool sound_delete(Runtime& rt, int32_t id);

// Frees or makes one sound's player; nothing for a missing sound.
void sound_discard(Runtime& rt, int32_t id);
void sound_restore(Runtime& rt, int32_t id);
// After each step: the mix advances by the step's share of time where no device runs it.
void sound_step(Runtime& rt, int32_t room_speed);

// Frees the players of the sounds loaded on use that are silent (room change, discard_all).
void sound_discard_unused(Runtime& rt);

} // namespace kelvane
