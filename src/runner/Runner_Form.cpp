// The one-shot sequence load -> prepare -> run, and the end work of the program.
#include "runner/Runner_Form.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "code/Code_Class.h"
#include "code/Script_Main.h"
#include "graphics/Graphics_Main.h"
#include "graphics/Sprite_Main.h"
#include "graphics/Support_File.h"
#include "platform/Recording.h"
#include "platform/Virtual_Clock.h"
#include "project/Project_Main.h"
#include "run/Event_Name.h"
#include "run/Run_Draw.h"
#include "run/Run_Instances.h"
#include "run/Runner_Debug.h"
#include "runner/Debug_Form.h"
#include "runner/Runner_Fuse.h"
#include "runner/Runner_Load.h"
#include "runner/Runner_Watch.h"
#include "sound/Sound_Main.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

void diagnose(const std::string& line) {
    std::fprintf(stderr, "kelvane: %s\n", line.c_str());
}

void show(Platform& platform, const std::string& message) {
    platform.dialogs->show_message(message);
    if (!platform.dialogs->shown_on_stderr()) std::fprintf(stderr, "%s\n", message.c_str());
}

} // namespace

bool holds_game_block(const std::string& path) {
    if (find_fused_block(path)) return true;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    if (in.tellg() < std::streamoff(game_block_offset + 8)) return false;
    in.seekg(std::streamoff(game_block_offset));
    std::vector<uint8_t> head(8);
    in.read(reinterpret_cast<char*>(head.data()), 8);
    CStream s(std::move(head));
    int32_t seed = ReadInt(s);
    if (seed > SubstitutionTable::max_safe_seed) return false;
    SubstitutionTable table;
    table.set_seed(seed);
    s.set_table(&table);
    return ReadInt(s) == 1234321;
}

std::optional<std::string> find_game_in_folder(const std::string& dir, std::string* error) {
    std::vector<std::string> games;
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (it->is_regular_file(ec) && holds_game_block(it->path().string()))
            games.push_back(it->path().string());
    }
    if (ec) {
        if (error) *error = "cannot read the folder " + dir + ": " + ec.message();
        return std::nullopt;
    }
    if (games.size() == 1) return games[0];
    if (error) {
        if (games.empty()) {
            *error = dir + " holds no game file and no game project";
        } else {
            std::sort(games.begin(), games.end());
            *error = dir + " holds several game files; name the one to play:";
            for (const auto& g : games) *error += "\n  " + g;
        }
    }
    return std::nullopt;
}

std::string default_game_file(const std::string& executable) {
    if (!executable.empty() && holds_game_block(executable)) return executable;
    return "game.dat";
}

bool load_game(Runtime& rt, Platform& platform, const std::string& path) {
    bool shown = false;
    auto progress = [&](int percent, const std::string& caption) {
        if (!shown) {
            // The header and options are read by now: the game's own pictures are known.
            const GameOptions& o = rt.game.options;
            RLoadingPictures pictures;
            pictures.load_bar = o.load_bar;
            if (o.load_image_on) pictures.image = o.load_image;
            pictures.bar_back = o.load_bar_back;
            pictures.bar_front = o.load_bar_front;
            platform.loading->set_pictures(pictures);
            platform.loading->show(rt.game.header.debug_flag());
            platform.loading->progress(0, "Loading");
            shown = true;
        }
        platform.loading->progress(percent, caption);
    };
    LoadResult r;
    // A game that runs is never written back: its pictures' stored encodings are not kept.
    const LoadOptions running{.keep_encodings = false};
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        // A project folder is packed in memory and then loaded like any game file.
        if (!is_project_folder(path)) {
            diagnose(path + " is a folder without a game project");
            return false;
        }
        try {
            r = load_game_bytes(write_game_bytes(read_project(path), 0), rt.game, progress,
                                running);
        } catch (const ProjectError& e) {
            diagnose(e.what());
            return false;
        }
    } else {
        r = load_game_file(path, rt.game, progress, running);
    }
    for (const auto& w : r.warnings) diagnose("warning: " + w);
    if (r.ok) {
        // The collision structure is built from the sprites as loaded; the game is not
        // running yet, so a failing mask is reported to nobody.
        rt.masks.build_all(rt.game, [](const std::string&) {});
        return true;
    }
    // The why goes to the terminal first: a dialog may wait for the player.
    if (!r.diagnostic.empty()) diagnose(path + ": " + r.diagnostic);
    if (!r.message.empty()) show(platform, r.message);
    if (r.message.empty() && r.diagnostic.empty())
        diagnose(path + ": the game could not be loaded");
    if (shown) platform.loading->hide();
    return false;
}

bool prepare_game(Runtime& rt, Platform& platform) {
    if (rt.game.first_room() == -1) {
        show(platform, "Game has no rooms?");
        platform.loading->hide();
        return false;
    }
    reset_script_state(rt);
    platform.loading->progress(50, "Compiling scripts");
    compile_all_scripts(rt);
    platform.loading->progress(65, "Compiling object actions");
    compile_object_actions(rt);
    platform.loading->progress(75, "Preparing rooms");
    platform.loading->progress(80, "Preparing sounds");
    prepare_sounds(rt, platform.audio.get());
    platform.loading->progress(90, "Preparing graphics");
    if (platform.display) {
        int32_t desktop_width = 0, desktop_height = 0;
        platform.display->desktop_size(desktop_width, desktop_height);
        if (!initialise_display(rt, *platform.display,
                                display_setup_for(rt.game.options, desktop_width))) {
            show(platform, "Failed to initialize DirectX.");
            platform.loading->hide();
            return false;
        }
    }
    platform.loading->progress(100, "Ready");
    // The drawable records hold the pictures now.
    release_resource_images(rt.game);
    platform.loading->hide();
    // Built-in variables that start as the game's options.
    const GameOptions& o = rt.game.options;
    rt.run.keyboard_continuous = o.keyboard_continuous;
    rt.run.mouse_continuous = o.mouse_continuous;
    rt.run.show_score = o.show_score;
    rt.run.show_cursor = o.show_cursor;
    return true;
}

std::optional<uint64_t> checksum_of_game(const std::string& path) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        try {
            auto bytes = write_game_bytes(read_project(path), 0);
            return checksum_add(checksum_start, reinterpret_cast<const char*>(bytes.data()),
                                bytes.size());
        } catch (const ProjectError&) {
            return std::nullopt;
        }
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    uint64_t sum = checksum_start;
    std::vector<char> chunk(1 << 16);
    while (in) {
        in.read(chunk.data(), std::streamsize(chunk.size()));
        sum = checksum_add(sum, chunk.data(), size_t(in.gcount()));
    }
    return in.eof() ? std::optional<uint64_t>(sum) : std::nullopt;
}

namespace {

// The virtual clock of deterministic runs and recordings, and the recording of the input;
// false (with the message on stderr) when the recording cannot be made.
bool set_up_time_and_recording(const RunOptions& options, Platform& platform,
                               const std::string& game, const std::string& record_file,
                               RecordingDisplay*& recording) {
    bool recording_asked = !record_file.empty();
    if (!options.deterministic && !recording_asked) return true;
    std::optional<uint64_t> checksum;
    if (recording_asked || options.replay_checksum) checksum = checksum_of_game(game);
    if (options.replay_checksum && checksum && *checksum != *options.replay_checksum) {
        char made[17], here[17];
        std::snprintf(made, sizeof made, "%016llx", (unsigned long long)*options.replay_checksum);
        std::snprintf(here, sizeof here, "%016llx", (unsigned long long)*checksum);
        diagnose(std::string("warning: the recording was made with another game file (checksum ") +
                 made + ", this one's is " + here + "); the replay may go differently");
    }
    // A recording without --deterministic starts its clock at a time of the real clock, so
    // that sessions differ as they would without recording; the header keeps it.
    int64_t start = options.clock_start;
    if (recording_asked && !options.deterministic)
        start = platform.clock->ticks_ms() & ((int64_t(1) << 31) - 1);
    platform.clock =
        std::make_unique<VirtualClock>(std::move(platform.clock), !options.headless, start);
    if (!recording_asked) return true;
    RRecordingHeader header;
    header.version = KELVANE_VERSION;
    header.game_checksum = checksum.value_or(0);
    header.clock_start = start;
    header.seed = options.seed;
    header.steps = options.steps;
    std::string error;
    auto display = RecordingDisplay::open(std::move(platform.display), record_file, header, &error);
    if (!display) {
        diagnose("cannot record into " + record_file + ": " + error);
        return false;
    }
    recording = display.get();
    platform.display = std::move(display);
    return true;
}

} // namespace

void install_error_report(Runtime& rt, Platform& platform) {
    rt.script.reporter.handler = [&rt, &platform](const std::string& message, bool fatal) {
        const Game& g = rt.game;
        const RunState& run = rt.run;
        ErrorPlace place;
        place.action_number = run.action_number;
        place.event_name = event_name(
            run.event_type, run.event_number,
            run.event_type == ev_collision ? g.objects.name(run.event_number) : std::string());
        place.object_name = g.objects.name(run.event_object);
        ErrorOptions options{g.options.show_errors, g.options.log_errors, g.options.abort_on_error,
                             g.options.exclusive_mode};
        if (auto log = rt.file_names.to_host_for_writing("game_errors.log"))
            options.log_file = *log;
        ErrorOutcome out = report_running_error(message, fatal, place, options, *platform.dialogs,
                                                rt.run.first_error);
        rt.script.values.error_last = out.text;
        rt.script.values.error_occurred = true;
        if (out.fatal) {
            rt.run.pending = pending_error_end;
            rt.run.fatal_error = true;
        }
    };
}

int play_game(Runtime& rt, Platform& platform, const RunOptions& options,
              const std::string& game_file, const std::string& game_folder) {
    rt.platform = &platform;
    for (const auto& [letter, dir] : options.drives) rt.file_names.map_drive(letter, dir);
    rt.sound.cd.insert(options.cd_dir, platform.audio.get());
    std::error_code ec;
    if (!folder_writable(".")) {
        // An installed game or a read-only medium: what the game writes goes to its own
        // folder under the user's data, and is read from there first.
        std::string own = game_data_folder(rt.game.header.game_id);
        fs::create_directories(own, ec);
        rt.file_names.set_data_folder(own);
    }
    if (!rt.registry) rt.registry = std::make_unique<RegistryStore>(RegistryStore::default_path());
    rt.files = std::make_unique<GameFiles>(
        rt.file_names, *rt.registry, [&rt](const std::string& m) { report_error(rt, m, false); });
    rt.files->secure_mode = read_secure_mode(*rt.registry);
    rt.files->game_id = rt.game.header.game_id;
    rt.files->game_path = game_file;
    rt.files->parameters = options.game_args;
    rt.files->keep_alive = [&rt] { process_window_events(rt); };
    rt.externals.game_folder = game_folder;
    // Sprites added or replaced while the game runs get their collision masks rebuilt, with
    // failures shown now that the game runs; a deleted sprite's mask goes.
    rt.images.report = [&rt](const std::string& m) { report_error(rt, m, false); };
    rt.images.mask_hook = [&rt](int32_t id, const CSprite* sprite) {
        if (sprite)
            rt.masks.build(rt.game, id, rt.images.report);
        else
            rt.masks.free(id);
    };
    RoomInstances instances(rt);
    rt.script.instances = &instances;
    install_error_report(rt, platform);
    rt.run.headless = options.headless;
    rt.answers = options.answers;
    rt.run.max_steps = options.steps;
    if (options.seed) rt.run.fixed_seed = uint32_t(*options.seed);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> watch_file(nullptr, std::fclose);
    std::optional<CWatchOutput> watches;
    if (!options.watches.empty()) {
        std::FILE* out = stderr;
        if (!options.watch_out.empty()) {
            watch_file.reset(std::fopen(options.watch_out.c_str(), "wb"));
            if (!watch_file) {
                diagnose("cannot write the watches to " + options.watch_out);
                rt.script.instances = nullptr;
                return exit_not_loaded;
            }
            out = watch_file.get();
        }
        watches.emplace(options.watches, out);
        rt.run.after_step = [&rt, &watches](int64_t step) { watches->step_done(rt, step); };
    }
    // The debug window: for games built in debug mode, and for any game with --debug.
    std::unique_ptr<TDebugForm> debug;
    if (rt.game.header.debug_flag() || options.debug) {
        debug = std::make_unique<TDebugForm>(rt, options.debug);
        if (debug->open()) {
            rt.run.debugger = debug.get();
            if (options.debug) rt.run.debug_key = debug_pause_key;
        } else {
            debug.reset();
        }
    }
    run_game_loop(rt);
    // A paused game stays alive until it is run again or stopped.
    while (debug && rt.run.running)
        if (debug->wait_while_paused()) run_game_loop(rt);
    rt.run.debugger = nullptr;
    rt.run.after_step = nullptr;
    rt.script.instances = nullptr;
    return rt.run.fatal_error ? exit_fatal_error : exit_normal;
}

int run_game(const RunOptions& options, Platform& platform) {
    // Module start-up work.
    Runtime rt;
    rt.script.compiled = !options.tree;
    if (!rt.temp.create()) show(platform, TempDirectory::failure_message);

    std::error_code ec;
    // Named from where the command was given, before the game's folder becomes current.
    fs::path record_file =
        options.record_file.empty() ? fs::path() : fs::absolute(options.record_file, ec);
    std::string game_path = options.game;
    if (game_path.empty()) game_path = default_game_file(fs::read_symlink("/proc/self/exe", ec));
    if (fs::is_directory(game_path, ec) && !is_project_folder(game_path)) {
        // A folder holding one game plays it, as a double-click on the game would.
        std::string why;
        auto found = find_game_in_folder(game_path, &why);
        if (!found) {
            diagnose(why);
            return exit_not_loaded;
        }
        game_path = *found;
    }
    fs::path absolute = fs::absolute(game_path, ec);
    // The game runs in its own folder: a project's folder, or the game file's.
    fs::path home = fs::is_directory(absolute, ec) ? absolute : absolute.parent_path();
    fs::path workdir = options.workdir.empty() ? home : fs::path(options.workdir);
    if (!workdir.empty()) {
        fs::current_path(workdir, ec);
        if (ec) {
            diagnose("cannot change to the working directory " + workdir.string() + ": " +
                     ec.message());
            return exit_not_loaded;
        }
    }

    if (options.game.empty() && !fs::exists(absolute, ec)) {
        // Neither the executable nor a game.dat holds a game.
        show(platform, "This is not a valid kelvane file.");
        return exit_not_loaded;
    }
    RecordingDisplay* recording = nullptr;
    if (!set_up_time_and_recording(options, platform, absolute.string(), record_file.string(),
                                   recording))
        return exit_not_loaded;
    rt.recording = recording;
    if (!load_game(rt, platform, absolute.string())) return exit_not_loaded;
    rt.registry = std::make_unique<RegistryStore>(RegistryStore::default_path());
    // The window as the player had it last time, unless the command line says otherwise;
    // a headless run neither uses nor changes what is remembered.
    const int32_t game_id = rt.game.header.game_id;
    const RWindowChoice window =
        options.headless ? options.window
                         : merged(options.window, read_window_choice(*rt.registry, game_id));
    if (window.full_screen) rt.game.options.start_full_screen = *window.full_screen;
    if (window.zoom && platform.display) platform.display->set_zoom(*window.zoom);
    if (!prepare_game(rt, platform)) return exit_not_loaded;
    int status = play_game(rt, platform, options, absolute.string(), home.string());
    if (!options.headless && platform.display && rt.registry)
        write_window_choice(*rt.registry, game_id,
                            {rt.display.is_full_screen(), platform.display->zoom()});
    if (recording && !recording->flush())
        diagnose("the recording " + record_file.string() + " could not be written completely");
    return status;
}

} // namespace kelvane
