// The sprite list at run time: adding, replacing and deleting sprites from picture files,
// keeping the drawable records (and, through the mask hook, the collision masks) in step.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/Graphics_Sprites.h"
#include "run/Game.h"

namespace kelvane {

// File names are host paths (the function layer maps the game's Windows names first).

// The new sprite's id, or -1 (nothing changes) when the file does not load. The new
// sprite is named "__newsprite" followed by its id.
int32_t sprite_add(Game& game, CDrawables& images, const std::string& path, int32_t imgnumb,
                   bool precise, bool transparent, bool videomem, bool loadonuse, int32_t xorig,
                   int32_t yorig);
// False for an id outside the list or a file that does not load (the sprite stays as it
// was). An empty slot in the list gets a new sprite first.
bool sprite_replace(Game& game, CDrawables& images, int32_t id, const std::string& path,
                    int32_t imgnumb, bool precise, bool transparent, bool videomem, bool loadonuse,
                    int32_t xorig, int32_t yorig);
// False for an id outside the list or an empty slot.
bool sprite_delete(Game& game, CDrawables& images, int32_t id);

// Frees the pictures the resources no longer need once the drawable records hold them:
// every background, then every sprite.
void release_resource_images(Game& game);

} // namespace kelvane
