// The kelvane command: plays games and packs, unpacks, inspects and runs code.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

#include "graphics/Support_File.h"
#include "platform/Data_Folder.h"
#include "platform/sdl/Sdl_Audio.h"
#include "platform/sdl/Sdl_Platform.h"
#include "runner/Commands.h"
#include "runner/Runner_Fuse.h"
#include "runner/Runner_LoadForm.h"

namespace {

const char* const usage =
    "usage: kelvane COMMAND [ARGS...]\n"
    "       kelvane GAME [RUN-OPTIONS...]      the same as kelvane run GAME\n"
    "\n"
    "commands:\n"
    "  run [OPTIONS] [GAME] [-- GAME-ARGS...]  play a game\n"
    "  pack PROJECT -o FILE [--seed N]        game project folder -> game file\n"
    "  unpack FILE -o PROJECT                 game file -> game project folder\n"
    "  info [--json] FILE                     header, options and resources of a game file\n"
    "  exec [OPTIONS] [-e CODE | FILE]        run script code outside any game\n"
    "  fuse GAME -o PROGRAM                   one program that plays GAME\n"
    "  --help, --version\n"
    "\n"
    "Every command also takes --help. Options take their value as --name VALUE or\n"
    "--name=VALUE. Exit status 2: the command was called the wrong way.\n";

int run_command(const kelvane::Args& args) {
    return kelvane::command_run(args,
                                [](const std::string& frames_dir, std::string* error) {
                                    kelvane::SdlOptions options;
                                    options.frames_dir = frames_dir;
                                    options.loading_picture = [] {
                                        return std::make_unique<kelvane::TLoadForm>();
                                    };
                                    return kelvane::make_sdl_platform(options, error);
                                },
                                {[](std::string* error) { return kelvane::open_sdl_audio(error); },
                                 kelvane::make_sdl_decoder()});
}

struct Command {
    const char* name;
    int (*run)(const kelvane::Args&);
};

const Command commands[] = {
    {"run", run_command},
    {"pack", kelvane::command_pack},
    {"unpack", kelvane::command_unpack},
    {"info", kelvane::command_info},
    {"exec", kelvane::command_exec},
    {"fuse", kelvane::command_fuse},
};

int dispatch(int argc, char** argv) {
    // A fused game is a program of its own: every argument is an option of run.
    std::error_code ec;
    const std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    if (!self.empty() && kelvane::find_fused_block(self))
        return run_command(kelvane::Args(argv + 1, argv + argc));
    if (argc < 2) {
        std::fputs(usage, stderr);
        return kelvane::exit_usage;
    }
    const std::string cmd = argv[1];
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (cmd == "--version") {
        std::printf("kelvane %s\n", KELVANE_VERSION);
        // Where an install keeps its data: shows at once which install is running.
        std::string data = kelvane::data_folder().string();
        std::printf("data folder: %s\n", data.empty() ? "(none found)" : data.c_str());
        return 0;
    }
    for (const auto& c : commands)
        if (cmd == c.name) return c.run(kelvane::Args(argv + 2, argv + argc));
    // A game file or project named in place of a command is played, as "run" would.
    if (cmd[0] != '-' && std::filesystem::exists(std::filesystem::symlink_status(cmd, ec)))
        return run_command(kelvane::Args(argv + 1, argv + argc));
    std::vector<std::string> names;
    for (const auto& c : commands) names.emplace_back(c.name);
    const std::string near = kelvane::closest_name(cmd, names);
    std::fprintf(stderr, "kelvane: unknown command or missing file '%s'%s (see kelvane --help)\n",
                 cmd.c_str(), near.empty() ? "" : ("; did you mean '" + near + "'?").c_str());
    return kelvane::exit_usage;
}

// Whatever still escapes (an exception out of a destructor, a broken promise of noexcept)
// ends the program as a caught one does: one line, the temporary directory gone, status 1.
[[noreturn]] void on_terminate() {
    std::string what = "unknown failure";
    if (auto e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            what = x.what();
        } catch (...) {
        }
    }
    std::fprintf(stderr, "kelvane: internal error: %s\n", what.c_str());
    kelvane::remove_live_temp_directories();
    std::_Exit(1);
}

} // namespace

int main(int argc, char** argv) {
    // Window captions, typed text and file names follow the user's language; numbers keep
    // the dot, as games and files write them.
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    std::set_terminate(on_terminate);
    try {
        return dispatch(argc, argv);
    } catch (const kelvane::UsageError& e) {
        std::fprintf(stderr, "kelvane %s: %s (see kelvane %s --help)\n", e.command.c_str(),
                     e.what(), e.command.c_str());
        return kelvane::exit_usage;
    } catch (const std::exception& e) {
        // Unwinding has run the destructors, the temporary directory's among them.
        std::fprintf(stderr, "kelvane: internal error: %s\n", e.what());
        return 1;
    } catch (...) {
        std::fputs("kelvane: internal error: unknown failure\n", stderr);
        return 1;
    }
}
