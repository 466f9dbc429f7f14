// run: plays a game; parses the options of the command line.
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "platform/Scripted_Input.h"
#include "runner/Commands.h"
#include "runner/Runner_Form.h"

namespace kelvane {

namespace {

const char* const run_help =
    "usage: kelvane run [OPTIONS] [GAME] [-- GAME-ARGS...]\n"
    "\n"
    "Plays a game. GAME is a game file (a file holding a game block at byte offset\n"
    "1 350 000, such as a packed .kgame file or a game.dat) or a game project folder.\n"
    "Without GAME the runner plays the game block in its own executable, else ./game.dat.\n"
    "GAME-ARGS are the game's parameters (parameter_count, parameter_string).\n"
    "\n"
    "options:\n"
    "  --headless     no window, no audio, no modal dialogs; steps run without pacing;\n"
    "                 message texts go to stderr\n"
    "  --steps N      end the game after N steps, as the Esc key does\n"
    "  --seed N       seed the random generator with N at every game start\n"
    "  --frames DIR   write every presented frame as DIR/frame-NNNNNN.png\n"
    "  --input FILE   scripted input, one event a line: STEP EVENT ARGS\n"
    "  --workdir DIR  the game's working directory (default: GAME's folder)\n"
    "  --drive X=DIR  the folder that the game's drive letter X: stands for\n"
    "                 (C: is / unless given)\n"
    "\n"
    "exit status: 0 normal end, 1 the game could not be loaded or prepared,\n"
    "2 the game ended on a fatal error\n";

bool parse_int(const std::string& text, int64_t& out) {
    const char* b = text.data();
    const char* e = b + text.size();
    auto r = std::from_chars(b, e, out);
    return r.ec == std::errc() && r.ptr == e;
}

// What `run` says when it has nothing to play, instead of an error.
const char* const run_nothing =
    "kelvane run: no game named and no game.dat here.\n"
    "\n"
    "To play a game:  kelvane run GAME\n"
    "GAME is a .kgame file, a game executable, a game.dat, a game project folder, or a\n"
    "folder holding one game file. kelvane run --help lists the options.\n";

int usage_error(const std::string& what) {
    std::fprintf(stderr, "kelvane run: %s\n(see kelvane run --help)\n", what.c_str());
    return exit_not_loaded;
}

} // namespace

int command_run(const Args& args, const WindowedPlatformFactory& make_windowed) {
    RunOptions o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        int64_t n = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(run_help, stdout);
            return 0;
        } else if (a == "--headless") {
            o.headless = true;
        } else if (a == "--steps") {
            if (!value(v) || !parse_int(v, n) || n < 0)
                return usage_error("--steps needs a whole number of steps (0 or more)");
            o.steps = n;
        } else if (a == "--seed") {
            if (!value(v) || !parse_int(v, n) || n < INT32_MIN || n > INT32_MAX)
                return usage_error("--seed needs a whole number that fits in 32 bits");
            o.seed = int32_t(n);
        } else if (a == "--frames") {
            if (!value(o.frames_dir)) return usage_error("--frames needs a folder");
        } else if (a == "--input") {
            if (!value(o.input_file)) return usage_error("--input needs a file");
        } else if (a == "--workdir") {
            if (!value(o.workdir)) return usage_error("--workdir needs a folder");
        } else if (a == "--drive") {
            if (!value(v) || v.size() < 3 || v[1] != '=' || !std::isalpha((unsigned char)v[0]))
                return usage_error("--drive needs a letter, '=' and a folder, as in D=/media/cd");
            o.drives.emplace_back(v[0], v.substr(2));
        } else if (a == "--") {
            o.game_args.assign(args.begin() + long(i) + 1, args.end());
            break;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage_error("unknown option " + a);
        } else if (o.game.empty()) {
            o.game = a;
        } else {
            return usage_error("more than one game named (" + o.game + ", " + a +
                               "); put the game's own arguments after --");
        }
    }
    if (o.game.empty()) {
        std::error_code ec;
        std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        if (!std::filesystem::exists(default_game_file(self), ec)) {
            std::fputs(run_nothing, stdout);
            return exit_normal;
        }
    }
    if (!o.headless) {
        if (!o.input_file.empty()) return usage_error("--input goes with --headless");
        std::string error;
        auto platform = make_windowed(o.frames_dir, &error);
        if (!platform) {
            std::fprintf(stderr,
                         "kelvane run: cannot open the game window (%s); to run without a "
                         "window, add --headless\n",
                         error.c_str());
            return exit_not_loaded;
        }
        return run_game(o, *platform);
    }
    HeadlessOptions headless;
    headless.frames_dir = o.frames_dir;
    if (!o.input_file.empty()) {
        std::string error;
        auto events = read_scripted_input_file(o.input_file, &error);
        if (!events) return usage_error("the input file " + o.input_file + ": " + error);
        headless.input = std::move(*events);
    }
    Platform platform = make_headless_platform(std::move(headless));
    return run_game(o, platform);
}

} // namespace kelvane
