// What `pack` checks before it writes a game: every reference names a resource that
// exists, every sprite's frames have the sprite's size, and every piece of code parses.
// A game with such problems would load, but fail or misbehave when the code or the
// resource is reached.
#pragma once

#include <string>
#include <vector>

#include "project/Project_Json.h"
#include "run/Game.h"

namespace kelvane {

// One problem: where it is and what it is. `where` is a code file's name with the line
// and column ("objects/obj_player/step-normal-0.kvs:3:7"), or the manifest's field
// ("objects[2] (obj_player).sprite"), with the line and column for inline code.
struct RProjectProblem {
    std::string where;
    std::string message;
    bool in_code_file = false; // `where` names a code file of the project
};

// The problems of a game read from a project, in the order of the manifest; `pieces` are
// its code as the reader listed it. The game is only borrowed (it is given back as it was).
std::vector<RProjectProblem> check_project(Game& game, const std::vector<RCodePiece>& pieces);

} // namespace kelvane
