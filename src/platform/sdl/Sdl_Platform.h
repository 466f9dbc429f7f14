// The windowed back end on SDL2: the game window with its presentation and input, the
// loading window, message boxes and the clock. This header includes no SDL header, so the
// program's start-up can call it; only the files of this folder do.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

namespace kelvane {

struct SdlOptions {
    std::string frames_dir; // when set, every presented picture is also written as PNG
    // Draws the loading window's picture; without one no loading window shows.
    std::function<std::unique_ptr<LoadingPicture>()> loading_picture;
};

// Starts SDL's video (and joystick) support and makes the platform. Nullopt, with the
// reason in `error`, when there is no display to open windows on.
std::optional<Platform> make_sdl_platform(const SdlOptions& options, std::string* error = nullptr);

} // namespace kelvane
