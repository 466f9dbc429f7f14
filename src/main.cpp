// The kelvane command: plays games and packs, unpacks, inspects and runs code.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Data_Folder.h"
#include "platform/sdl/Sdl_Platform.h"
#include "runner/Commands.h"

namespace {

const char* const usage =
    "usage: kelvane COMMAND [ARGS...]\n"
    "\n"
    "commands:\n"
    "  run [OPTIONS] [GAME] [-- GAME-ARGS...]  play a game\n"
    "  pack PROJECT -o FILE [--seed N]        game project folder -> game file\n"
    "  unpack FILE -o PROJECT                 game file -> game project folder\n"
    "  info [--json] FILE                     header, options and resources of a game file\n"
    "  exec [OPTIONS] [-e CODE | FILE]        run script code outside any game\n"
    "  --help, --version\n"
    "\n"
    "Every command also takes --help.\n";

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    const char* cmd = argv[1];
    if (!std::strcmp(cmd, "--help") || !std::strcmp(cmd, "-h") || !std::strcmp(cmd, "help")) {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!std::strcmp(cmd, "--version")) {
        std::printf("kelvane %s\n", KELVANE_VERSION);
        // Where an install keeps its data: shows at once which install is running.
        std::string data = kelvane::data_folder().string();
        std::printf("data folder: %s\n", data.empty() ? "(none found)" : data.c_str());
        return 0;
    }
    kelvane::Args args(argv + 2, argv + argc);
    if (!std::strcmp(cmd, "run"))
        return kelvane::command_run(args, [](const std::string& frames_dir, std::string* error) {
            kelvane::SdlOptions options;
            options.frames_dir = frames_dir;
            return kelvane::make_sdl_platform(options, error);
        });
    if (!std::strcmp(cmd, "pack")) return kelvane::command_pack(args);
    if (!std::strcmp(cmd, "unpack")) return kelvane::command_unpack(args);
    if (!std::strcmp(cmd, "info")) return kelvane::command_info(args);
    if (!std::strcmp(cmd, "exec")) return kelvane::command_exec(args);
    std::fprintf(stderr, "kelvane: unknown command '%s'\n\n%s", cmd, usage);
    return 2;
}
