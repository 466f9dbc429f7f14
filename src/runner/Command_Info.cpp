// info: what a game file holds, as a readable summary or as one JSON object.
#include <cstdio>
#include <filesystem>

#include "platform/Files.h"
#include "project/Project_Summary.h"
#include "runner/Commands.h"
#include "runner/Runner_Load.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

const char* const info_help =
    "usage: kelvane info [--json] FILE\n"
    "\n"
    "Prints the header, the options, the resources and the room order of the game file\n"
    "FILE, and the folder that the files the game writes go to (its own folder, or\n"
    "$XDG_DATA_HOME/kelvane/games/<game id>/ when that cannot be written). With --json:\n"
    "one JSON object with every record's fields (empty slots are null).\n";

int fail(const std::string& what) {
    std::fprintf(stderr, "kelvane info: %s\n", what.c_str());
    return 1;
}

// The game plays in its own folder (a project's folder, or the game file's); when that
// cannot be written, what it writes goes to its data folder.
std::string written_files_folder(const std::string& file, const Game& game) {
    std::error_code ec;
    fs::path absolute = fs::absolute(file, ec);
    fs::path folder = fs::is_directory(absolute, ec) ? absolute : absolute.parent_path();
    if (folder_writable(folder.string())) return folder.string() + " (the game's folder)";
    return game_data_folder(game.header.game_id) + " (the game's folder cannot be written)";
}

} // namespace

int command_info(const Args& args) {
    bool json = false;
    std::string file;
    CommandLine cl("info", args);
    while (cl.next()) {
        if (cl.flag("--help") || cl.flag("-h")) {
            std::fputs(info_help, stdout);
            return 0;
        } else if (cl.flag("--json")) {
            json = true;
        } else if (!cl.plain()) {
            cl.unknown();
        } else if (file.empty()) {
            file = cl.arg();
        } else {
            cl.fail("more than one file named: " + file + ", " + cl.arg());
        }
    }
    if (file.empty()) cl.fail("needs a game file");
    Game game;
    LoadResult loaded = load_game_file(file, game);
    if (!loaded.ok) {
        return fail(file + ": " + loaded.describe());
    }
    for (const auto& w : loaded.warnings)
        std::fprintf(stderr, "kelvane info: %s: warning: %s\n", file.c_str(), w.c_str());
    std::string out = json ? game_summary_json(game).dump(2) + "\n" : game_summary_text(game);
    if (!json) out += "files the game writes go to: " + written_files_folder(file, game) + "\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace kelvane
