// The sound back end on SDL2_mixer. This header includes no SDL header, so the program's
// start-up can call it.
#pragma once

#include <memory>
#include <string>

#include "platform/Audio.h"

namespace kelvane {

// Opens the sound device; null with the reason in `error` when there is none.
std::unique_ptr<Audio> open_sdl_audio(std::string* error = nullptr);

// SDL2_mixer's decoders, for outputs without a device (they open no device).
AudioDecoder make_sdl_decoder();

} // namespace kelvane
