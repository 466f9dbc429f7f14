// The image and tile functions of the drawing family: drawing sprites and backgrounds,
// saving the screen, sprites and backgrounds added, replaced and deleted from picture
// files, and reading and changing the tiles of the current room.
#pragma once

#include <span>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> image_functions();
std::span<const RFunction> tile_functions();

} // namespace kelvane
