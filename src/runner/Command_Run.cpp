// run: plays a game; parses the options of the command line.
#include <cctype>
#include <cstdio>
#include <filesystem>

#include "graphics/Form_Host.h"
#include "platform/Recording.h"
#include "platform/Scripted_Input.h"
#include "runner/Command_Line.h"
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
    "  --debug        show the debug window beside the game (pause, step, watches, the\n"
    "                 room's instances and their variables); F12 in the game window\n"
    "                 pauses the game and shows it\n"
    "  --seed N       seed the random generator with N at every game start\n"
    "  --fullscreen   start in full screen (F4 switches; remembered per game)\n"
    "  --window       start in a window\n"
    "  --scale N      show the window N times larger, in whole pixels (1 ... 16;\n"
    "                 remembered per game; resizing the window changes it)\n"
    "  --frames DIR   write every presented frame as DIR/frame-NNNNNN.png\n"
    "  --input FILE   scripted input, one event a line: STEP EVENT ARGS\n"
    "  --deterministic  everything the game reads of time (current_time, the date,\n"
    "                 sleep, the seed at game start) comes from its steps, not the clock\n"
    "  --record FILE  write the input the game receives to FILE, with the game's\n"
    "                 checksum and the seed; time comes from the steps as with\n"
    "                 --deterministic\n"
    "  --replay FILE  play a recorded session again (with --headless)\n"
    "  --workdir DIR  the game's working directory (default: GAME's folder)\n"
    "  --answers FILE the player's answers to the game's boxes, one a line, taken in\n"
    "                 order: a button number or caption, a typed text, a menu entry,\n"
    "                 a high-score name, a colour (255, #RRGGBB), a file or folder\n"
    "                 name; an empty line cancels a chooser\n"
    "  --drive X=DIR  the folder that the game's drive letter X: stands for\n"
    "                 (C: is / unless given)\n"
    "  --audio-out FILE  write everything the game plays to FILE as a 44 100 Hz\n"
    "                 16-bit stereo wave file, mixed in step time (no sound device)\n"
    "  --mute         open no sound device; the game plays silently\n"
    "  --tree         run game code with the tree-walking interpreter instead of the\n"
    "                 compiled one (slower; for checking the compiler)\n"
    "  --cd DIR       a folder of track files (track01.ogg, 02.mp3, ...) is the CD in\n"
    "                 the drive; without it the drive has no disc\n"
    "  --watch EXPR   after every step write a line with the step number and the value\n"
    "                 of EXPR, tab-separated (repeat for more expressions; \"ERROR\"\n"
    "                 when one cannot be evaluated)\n"
    "  --watch-out FILE  write the watch lines to FILE instead of stderr\n"
    "\n"
    "Options take their value as --name VALUE or --name=VALUE.\n"
    "\n"
    "environment:\n"
    "  KELVANE_MPLAY_PORT  the UDP port of multiplayer sessions for games that name none\n"
    "                 (default 25490; docs/multiplayer.md: ports and port forwarding)\n"
    "  KELVANE_MPLAY_BROADCAST  addresses, separated by commas, that a search for\n"
    "                 sessions on the local network asks instead of every network\n"
    "                 interface's broadcast address\n"
    "\n"
    "exit status: 0 normal end, 1 the game could not be loaded or prepared,\n"
    "2 the game ended on a fatal error or the command was called the wrong way\n";

// What `run` says when it has nothing to play, instead of an error.
const char* const run_nothing =
    "kelvane run: no game named and no game.dat here.\n"
    "\n"
    "To play a game:  kelvane run GAME\n"
    "GAME is a .kgame file, a game executable, a game.dat, a game project folder, or a\n"
    "folder holding one game file. kelvane run --help lists the options.\n";

// The sound output: the device for a windowed run, else (headless, muted, writing a file,
// or no device) the mix in step time. False after explaining why the file cannot be made.
bool attach_audio(const RunOptions& o, Platform& platform, const AudioBackEnd& back_end) {
    if (!o.headless && !o.mute && o.audio_out.empty() && back_end.open_device) {
        std::string error;
        if ((platform.audio = back_end.open_device(&error))) return true;
        std::fprintf(stderr, "kelvane: no sound device (%s); the game plays silently\n",
                     error.c_str());
    }
    std::string error;
    platform.audio = make_step_audio(o.audio_out, back_end.decode, &error);
    if (!platform.audio) std::fprintf(stderr, "kelvane run: %s\n", error.c_str());
    return platform.audio != nullptr;
}

} // namespace

int command_run(const Args& args, const WindowedPlatformFactory& make_windowed,
                const AudioBackEnd& audio) {
    RunOptions o;
    std::string replay_file;
    CommandLine cl("run", args);
    while (cl.next()) {
        int64_t n = 0;
        std::string v;
        if (cl.flag("--help") || cl.flag("-h")) {
            std::fputs(run_help, stdout);
            return 0;
        } else if (cl.flag("--headless")) {
            o.headless = true;
        } else if (cl.flag("--debug")) {
            o.debug = true;
        } else if (cl.number("--steps", n, 0, INT64_MAX)) {
            o.steps = n;
        } else if (cl.number("--seed", n, INT32_MIN, INT32_MAX)) {
            o.seed = int32_t(n);
        } else if (cl.flag("--fullscreen")) {
            o.window.full_screen = true;
        } else if (cl.flag("--window")) {
            o.window.full_screen = false;
        } else if (cl.number("--scale", n, 1, max_zoom)) {
            o.window.zoom = int32_t(n);
        } else if (cl.option("--frames", o.frames_dir)) {
        } else if (cl.option("--input", o.input_file)) {
        } else if (cl.flag("--deterministic")) {
            o.deterministic = true;
        } else if (cl.option("--record", o.record_file)) {
        } else if (cl.option("--replay", replay_file)) {
        } else if (cl.option("--workdir", o.workdir)) {
        } else if (cl.option("--answers", v)) {
            std::string error;
            auto lines = read_answers_file(v, &error);
            if (!lines) {
                std::fprintf(stderr, "kelvane run: the answers file %s %s\n", v.c_str(),
                             error.c_str());
                return exit_not_loaded;
            }
            o.answers = std::move(*lines);
        } else if (cl.option("--drive", v)) {
            if (v.size() < 3 || v[1] != '=' || !std::isalpha((unsigned char)v[0]))
                cl.fail("--drive needs a letter, '=' and a folder, as in D=/media/cd");
            o.drives.emplace_back(v[0], v.substr(2));
        } else if (cl.option("--audio-out", o.audio_out)) {
        } else if (cl.flag("--mute")) {
            o.mute = true;
        } else if (cl.flag("--tree")) {
            o.tree = true;
        } else if (cl.option("--cd", o.cd_dir)) {
        } else if (cl.option("--watch", v)) {
            if (v.empty()) cl.fail("--watch needs an expression");
            o.watches.push_back(v);
        } else if (cl.option("--watch-out", o.watch_out)) {
        } else if (cl.end_of_options()) {
            o.game_args = cl.rest();
        } else if (!cl.plain()) {
            cl.unknown();
        } else if (o.game.empty()) {
            o.game = cl.arg();
        } else {
            cl.fail("more than one game named (" + o.game + ", " + cl.arg() +
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
    // Named from where the command was given; the game runs in its own folder.
    if (!o.frames_dir.empty()) o.frames_dir = std::filesystem::absolute(o.frames_dir).string();
    if (!o.watch_out.empty()) {
        if (o.watches.empty()) cl.fail("--watch-out goes with --watch");
        o.watch_out = std::filesystem::absolute(o.watch_out).string();
    }
    std::vector<RScriptedEvent> input;
    if (!replay_file.empty()) {
        // A replay is scripted input with the recording's seed, clock and length.
        if (!o.input_file.empty()) cl.fail("--replay and --input cannot go together");
        if (o.seed) cl.fail("--replay plays with the recording's seed; leave out --seed");
        if (!o.headless) cl.fail("--replay goes with --headless");
        std::string text, error;
        auto header = read_whole_file(replay_file, text) ? parse_recording_header(text, &error)
                                                         : (error = "cannot be read", std::nullopt);
        auto events = header ? parse_scripted_input(text, &error) : std::nullopt;
        if (!events) {
            std::fprintf(stderr, "kelvane run: the recording %s: %s\n", replay_file.c_str(),
                         error.c_str());
            return exit_not_loaded;
        }
        input = std::move(*events);
        o.deterministic = true;
        o.seed = header->seed;
        o.clock_start = header->clock_start;
        o.replay_checksum = header->game_checksum;
        if (!o.steps) o.steps = header->steps;
    }
    if (!o.headless) {
        if (!o.input_file.empty()) cl.fail("--input goes with --headless");
        std::string error;
        auto platform = make_windowed(o.frames_dir, &error);
        if (!platform) {
            std::fprintf(stderr,
                         "kelvane run: cannot open the game window (%s); to run without a "
                         "window, add --headless\n",
                         error.c_str());
            return exit_not_loaded;
        }
        if (!attach_audio(o, *platform, audio)) return exit_not_loaded;
        return run_game(o, *platform);
    }
    HeadlessOptions headless;
    headless.frames_dir = o.frames_dir;
    headless.input = std::move(input);
    if (!o.input_file.empty()) {
        std::string error;
        auto events = read_scripted_input_file(o.input_file, &error);
        if (!events) {
            std::fprintf(stderr, "kelvane run: the input file %s: %s\n", o.input_file.c_str(),
                         error.c_str());
            return exit_not_loaded;
        }
        headless.input = std::move(*events);
    }
    // The answers a recording (or an input file) holds answer the game's boxes.
    if (auto answers = take_answers(headless.input); !answers.empty()) {
        if (!o.answers.empty())
            cl.fail(replay_file.empty() ? "the input file holds answers; leave out --answers"
                                        : "the recording holds answers; leave out --answers");
        o.answers = std::move(answers);
    }
    Platform platform = make_headless_platform(std::move(headless));
    if (!attach_audio(o, platform, audio)) return exit_not_loaded;
    return run_game(o, platform);
}

} // namespace kelvane
