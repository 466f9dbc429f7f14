// What `kelvane info` prints about a game: a readable summary, or one JSON object with
// every record's fields (sizes of pictures and data rather than their bytes).
#pragma once

#include <string>

#include "project/Project_Json.h"

namespace kelvane {

// The JSON form of the game with `seed`; empty slots are null, pictures give their size,
// sound data its byte count, code and the game information their text.
Json game_summary_json(const Game& game);
std::string game_summary_text(const Game& game);

} // namespace kelvane
