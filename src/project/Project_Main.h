// Game projects: a game in source form, a folder with one JSON manifest beside picture,
// sound, code and rich-text files. `pack` reads one into a game, `unpack` writes one, and
// `kelvane run` plays one after reading it in memory.
#pragma once

#include <filesystem>
#include <stdexcept>

#include "project/Project_Json.h"
#include "run/Game.h"

namespace kelvane {

// The manifest's file name inside a project folder.
inline constexpr const char* project_manifest_name = "kelvane-project.json";

// A project that cannot be read or written; the message names the file and the field.
class ProjectError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// True when `dir` is a folder holding a manifest.
bool is_project_folder(const std::filesystem::path& dir);

// Reads the project in `dir`; with `pieces`, lists its code there. Throws ProjectError.
Game read_project(const std::filesystem::path& dir, std::vector<RCodePiece>* pieces = nullptr);

// Writes the game as a project into `dir`, which is made when missing. An empty folder is
// written into; so is a project folder, after the files its old manifest named are
// removed (files it did not name stay). Any other non-empty folder is refused, and so is
// a game that no project can hold (ProjectError).
void write_project(const Game& game, const std::filesystem::path& dir);

} // namespace kelvane
