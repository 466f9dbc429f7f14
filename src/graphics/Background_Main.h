// The background list at run time: adding, replacing and deleting backgrounds from
// picture files, keeping the drawable records in step.
#pragma once

#include <cstdint>
#include <string>

#include "graphics/Graphics_Sprites.h"
#include "run/Game.h"

namespace kelvane {

// File names are host paths (the function layer maps the game's Windows names first).
// The new background's id, or -1 (nothing changes) when the file does not load; the new
// background is named "__newbackground" followed by its id. Replace and delete answer
// false for an id outside the list; delete also for an empty slot.
int32_t background_add(Game& game, CDrawables& images, const std::string& path, bool transparent,
                       bool videomem, bool loadonuse);
bool background_replace(Game& game, CDrawables& images, int32_t id, const std::string& path,
                        bool transparent, bool videomem, bool loadonuse);
bool background_delete(Game& game, CDrawables& images, int32_t id);

} // namespace kelvane
