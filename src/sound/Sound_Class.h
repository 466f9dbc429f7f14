// A sound resource: its kind, file type and the sound file's bytes from the game file, and
// once prepared, the file it plays and its player.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sound/Sound_Play.h"
#include "stream/Support_Stream.h"

namespace kelvane {

// Sound kinds, as `sound_get_kind` answers.
enum SoundKind : int32_t {
    sound_none = -1,
    sound_wave = 0,
    sound_midi = 1,
    sound_mp3 = 2,
    sound_other = 10
};

class CSound {
  public:
    int32_t kind = sound_none;
    std::string file_type;
    // The sound file's bytes, until the sound is prepared.
    std::optional<std::vector<uint8_t>> data;
    int32_t buffers = 1;
    bool effects = false;
    bool loadonuse = false;
    std::string file_name;
    // Made at preparation (or at first use when loaded on use); freed by discard.
    std::unique_ptr<TPlaySound> player;

    // Back to no sound, its player freed.
    void clear() {
        player.reset();
        kind = sound_none;
        file_type.clear();
        data.reset();
        buffers = 1;
        effects = loadonuse = false;
        file_name.clear();
    }

    // Reads the record; false for a wrong record version. Malformed data throws.
    bool read(CStream& s);
    void write(CStream& s) const;
};

} // namespace kelvane
