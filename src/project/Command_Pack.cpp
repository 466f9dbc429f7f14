// pack and unpack: a game project folder to a game file and back.
#include <cstdio>
#include <filesystem>
#include <optional>

#include "platform/Whole_File.h"
#include "project/Project_Check.h"
#include "project/Project_Main.h"
#include "runner/Commands.h"
#include "runner/Runner_Load.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

const char* const pack_help =
    "usage: kelvane pack PROJECT -o FILE [--seed N] [--force]\n"
    "\n"
    "Packs the game project in the folder PROJECT into the game file FILE (a .kgame).\n"
    "First it checks the project: references to sprites, backgrounds and objects that do\n"
    "not exist, sprite frames of another size than their sprite, and syntax errors in\n"
    "any code, reached or not. Each problem is listed as FILE:LINE:COLUMN: message (or\n"
    "the manifest's field), and a project with problems is not packed.\n"
    "\n"
    "options:\n"
    "  -o FILE     the game file to write\n"
    "  --seed N    scramble the game with seed N (1 ... 214748; 0 or less: unscrambled);\n"
    "              without it the seed is derived from the game's content, so packing\n"
    "              the same project twice gives the same file\n"
    "  --force     pack a project with problems all the same\n";

const char* const unpack_help =
    "usage: kelvane unpack FILE -o PROJECT [--force]\n"
    "\n"
    "Writes the game in the game file FILE as a game project into the folder PROJECT.\n"
    "PROJECT must be missing or empty; with --force it may also hold an earlier project,\n"
    "whose files are replaced (a folder with other files is never touched).\n"
    "Packing the project again with the game's seed gives the same game file.\n";

int fail(const char* command, const std::string& what) {
    std::fprintf(stderr, "kelvane %s: %s\n", command, what.c_str());
    return 1;
}

// The two names and the seed of pack/unpack.
struct Arguments {
    std::string input, output;
    std::optional<int64_t> seed;
    bool force = false;
};

// Reads the arguments of pack (with `seed_allowed`) or unpack; false when the command's
// help was asked for (and printed).
bool parse(const char* command, const char* help, const Args& args, bool seed_allowed,
           Arguments& a) {
    CommandLine cl(command, args);
    while (cl.next()) {
        int64_t n = 0;
        if (cl.flag("--help") || cl.flag("-h")) {
            std::fputs(help, stdout);
            return false;
        } else if (cl.option("-o", a.output)) {
        } else if (cl.flag("--force")) {
            a.force = true;
        } else if (seed_allowed && cl.number("--seed", n, INT32_MIN, INT32_MAX)) {
            if (n > SubstitutionTable::max_safe_seed)
                cl.fail("--seed " + std::to_string(n) + " is above " +
                        std::to_string(SubstitutionTable::max_safe_seed) +
                        ", the largest seed a game file can be read with");
            a.seed = n;
        } else if (!cl.plain()) {
            cl.unknown();
        } else if (a.input.empty()) {
            a.input = cl.arg();
        } else {
            cl.fail("more than one input named: " + a.input + ", " + cl.arg());
        }
    }
    if (a.input.empty() || a.output.empty()) cl.fail("needs an input and -o");
    return true;
}

// A seed from the game's own bytes (FNV-1a), in 1 ... the largest readable seed: the same
// project always packs to the same file.
int32_t content_seed(const std::vector<uint8_t>& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (uint8_t b : bytes) h = (h ^ b) * 1099511628211ull;
    return int32_t(1 + h % uint64_t(SubstitutionTable::max_safe_seed));
}

} // namespace

int command_pack(const Args& args) {
    Arguments a;
    if (!parse("pack", pack_help, args, true, a)) return 0;
    Game game;
    std::vector<RCodePiece> pieces;
    try {
        game = read_project(a.input, &pieces);
    } catch (const ProjectError& e) {
        return fail("pack", e.what());
    }
    const auto problems = check_project(game, pieces);
    const fs::path manifest = fs::path(a.input) / project_manifest_name;
    for (const RProjectProblem& p : problems) {
        // Code files by their path, so that editors can jump to the line; fields of the
        // manifest after its name.
        std::fprintf(stderr, "%s: %s\n",
                     p.in_code_file ? (fs::path(a.input) / p.where).string().c_str()
                                    : (manifest.string() + ": " + p.where).c_str(),
                     p.message.c_str());
    }
    if (!problems.empty() && !a.force)
        return fail("pack", a.input + ": " + std::to_string(problems.size()) +
                                (problems.size() == 1 ? " problem" : " problems") +
                                ", so the game is not written (--force writes it all the same)");
    const int32_t seed = a.seed ? int32_t(*a.seed) : content_seed(write_game_bytes(game, 0));
    auto bytes = write_game_bytes(game, seed);
    // The packed game must load (a project can hold more than the loader accepts, such as
    // absurd counts); such a game is not written.
    Game check;
    LoadResult loaded = load_game_bytes(bytes, check);
    if (!loaded.ok)
        return fail("pack", a.input + ": the packed game would not load, so it is not written: " +
                                loaded.describe());
    std::string why;
    if (!write_whole_file(a.output, bytes, &why))
        return fail("pack", a.output + ": cannot be written: " + why);
    std::printf("packed %s into %s (seed %d)\n", a.input.c_str(), a.output.c_str(), int(seed));
    return 0;
}

int command_unpack(const Args& args) {
    Arguments a;
    if (!parse("unpack", unpack_help, args, false, a)) return 0;
    std::error_code ec;
    if (!a.force && fs::is_directory(a.output, ec) && !fs::is_empty(a.output, ec))
        return fail("unpack", a.output + ": the folder is not empty; add --force to replace the "
                                         "earlier project in it");
    Game game;
    LoadResult loaded = load_game_file(a.input, game);
    if (!loaded.ok) {
        return fail("unpack", a.input + ": " + loaded.describe());
    }
    for (const auto& w : loaded.warnings)
        std::fprintf(stderr, "kelvane unpack: %s: warning: %s\n", a.input.c_str(), w.c_str());
    try {
        write_project(game, a.output);
    } catch (const ProjectError& e) {
        return fail("unpack", e.what());
    }
    std::printf("unpacked %s into %s (seed %d)\n", a.input.c_str(), a.output.c_str(),
                int(game.header.seed));
    return 0;
}

} // namespace kelvane
