// info: what a game file holds, as a readable summary or as one JSON object.
#include <cstdio>

#include "project/Project_Summary.h"
#include "runner/Commands.h"
#include "runner/Runner_Load.h"

namespace kelvane {

namespace {

const char* const info_help =
    "usage: kelvane info [--json] FILE\n"
    "\n"
    "Prints the header, the options, the resources and the room order of the game file\n"
    "FILE. With --json: one JSON object with every record's fields (empty slots are null).\n";

int fail(const std::string& what) {
    std::fprintf(stderr, "kelvane info: %s\n", what.c_str());
    return 1;
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
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace kelvane
