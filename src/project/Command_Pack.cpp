// pack and unpack: a game project folder to a game file and back.
#include <charconv>
#include <cstdio>
#include <fstream>
#include <random>

#include "project/Project_Main.h"
#include "runner/Commands.h"
#include "runner/Runner_Load.h"

namespace kelvane {

namespace {

const char* const pack_help =
    "usage: kelvane pack PROJECT -o FILE [--seed N]\n"
    "\n"
    "Packs the game project in the folder PROJECT into the game file FILE (a .kgame).\n"
    "\n"
    "options:\n"
    "  -o FILE     the game file to write\n"
    "  --seed N    scramble the game with seed N (1 ... 214748; 0 or less: unscrambled);\n"
    "              without it a seed is drawn at random from 1 ... 214748\n";

const char* const unpack_help =
    "usage: kelvane unpack FILE -o PROJECT\n"
    "\n"
    "Writes the game in the game file FILE as a game project into the folder PROJECT.\n"
    "PROJECT must be missing, empty, or an earlier project (whose files are replaced).\n"
    "Packing the project again with the game's seed gives the same game file.\n";

int fail(const char* command, const std::string& what) {
    std::fprintf(stderr, "kelvane %s: %s\n", command, what.c_str());
    return 1;
}

// Writes the whole file next to its final name first, so a failure leaves no half file.
bool write_whole_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temp = path + ".part";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        out.close();
        if (!out) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), path.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

// The two names and the seed of pack/unpack; false after printing a usage error.
struct Arguments {
    std::string input, output, seed;
    bool has_seed = false;
    bool help = false;
};

bool parse(const char* command, const Args& args, bool seed_allowed, Arguments& a) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            a.help = true;
            return true;
        }
        if (arg == "-o" || (seed_allowed && arg == "--seed")) {
            if (i + 1 >= args.size()) {
                fail(command, arg + " needs a value (see kelvane " + command + " --help)");
                return false;
            }
            (arg == "-o" ? a.output : a.seed) = args[++i];
            if (arg == "--seed") a.has_seed = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            fail(command, "unknown option " + arg + " (see kelvane " + command + " --help)");
            return false;
        } else if (a.input.empty()) {
            a.input = arg;
        } else {
            fail(command, "more than one input named: " + a.input + ", " + arg);
            return false;
        }
    }
    if (a.input.empty() || a.output.empty()) {
        fail(command, std::string("needs an input and -o (see kelvane ") + command + " --help)");
        return false;
    }
    return true;
}

} // namespace

int command_pack(const Args& args) {
    Arguments a;
    if (!parse("pack", args, true, a)) return 1;
    if (a.help) {
        std::fputs(pack_help, stdout);
        return 0;
    }
    int32_t seed = 0;
    if (a.has_seed) {
        const char* end = a.seed.data() + a.seed.size();
        auto r = std::from_chars(a.seed.data(), end, seed);
        if (r.ec != std::errc() || r.ptr != end)
            return fail("pack", "--seed " + a.seed + " is not a whole number that fits in 32 bits");
        if (seed > SubstitutionTable::max_safe_seed)
            return fail("pack", "--seed " + a.seed + " is above " +
                                    std::to_string(SubstitutionTable::max_safe_seed) +
                                    ", the largest seed a game file can be read with");
    } else {
        std::random_device device;
        seed = std::uniform_int_distribution<int32_t>(1, SubstitutionTable::max_safe_seed)(device);
    }
    Game game;
    try {
        game = read_project(a.input);
    } catch (const ProjectError& e) {
        return fail("pack", e.what());
    }
    auto bytes = write_game_bytes(game, seed);
    // The packed game must load (a project can hold more than the loader accepts, such as
    // absurd counts); such a game is not written.
    Game check;
    LoadResult loaded = load_game_bytes(bytes, check);
    if (!loaded.ok)
        return fail("pack", a.input + ": the packed game would not load, so it is not written: " +
                                loaded.describe());
    if (!write_whole_file(a.output, bytes)) return fail("pack", a.output + ": cannot be written");
    std::printf("packed %s into %s (seed %d)\n", a.input.c_str(), a.output.c_str(), int(seed));
    return 0;
}

int command_unpack(const Args& args) {
    Arguments a;
    if (!parse("unpack", args, false, a)) return 1;
    if (a.help) {
        std::fputs(unpack_help, stdout);
        return 0;
    }
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
