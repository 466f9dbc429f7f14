// Finding a fused game, and the fuse command that makes one.
#include "runner/Runner_Fuse.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>

#include "platform/Whole_File.h"
#include "project/Project_Main.h"
#include "runner/Command_Line.h"
#include "runner/Runner_Load.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

constexpr char fuse_magic[8] = {'K', 'L', 'V', 'F', 'U', 'S', 'E', '1'};

const char* const fuse_help =
    "usage: kelvane fuse GAME -o PROGRAM\n"
    "\n"
    "Writes PROGRAM: a copy of this runner with the game GAME (a game file or a game\n"
    "project folder) inside. Started without arguments, PROGRAM plays the game; it takes\n"
    "the options of kelvane run (PROGRAM --headless --steps 3, PROGRAM --help).\n";

int fail(const std::string& what) {
    std::fprintf(stderr, "kelvane fuse: %s\n", what.c_str());
    return 1;
}

} // namespace

std::vector<uint8_t> fuse_trailer(uint64_t block_size) {
    std::vector<uint8_t> t(fuse_trailer_size);
    for (int i = 0; i < 8; ++i) t[size_t(i)] = uint8_t(block_size >> (8 * i));
    std::memcpy(t.data() + 8, fuse_magic, 8);
    return t;
}

std::optional<RFusedBlock> find_fused_block(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const std::streamoff length = in.tellg();
    if (length < std::streamoff(fuse_trailer_size)) return std::nullopt;
    in.seekg(length - std::streamoff(fuse_trailer_size));
    uint8_t t[fuse_trailer_size];
    if (!in.read(reinterpret_cast<char*>(t), sizeof t)) return std::nullopt;
    if (std::memcmp(t + 8, fuse_magic, 8) != 0) return std::nullopt;
    uint64_t size = 0;
    for (int i = 0; i < 8; ++i) size |= uint64_t(t[i]) << (8 * i);
    // A size the file cannot hold is no trailer of ours.
    const uint64_t room = uint64_t(length) - fuse_trailer_size;
    if (size == 0 || size > room || size > whole_file_limit) return std::nullopt;
    return RFusedBlock{room - size, size};
}

int command_fuse(const std::vector<std::string>& args) {
    std::string game, output;
    CommandLine cl("fuse", args);
    while (cl.next()) {
        if (cl.flag("--help") || cl.flag("-h")) {
            std::fputs(fuse_help, stdout);
            return 0;
        } else if (cl.option("-o", output)) {
        } else if (!cl.plain()) {
            cl.unknown();
        } else if (game.empty()) {
            game = cl.arg();
        } else {
            cl.fail("more than one game named: " + game + ", " + cl.arg());
        }
    }
    if (game.empty() || output.empty()) cl.fail("needs a game and -o");

    std::vector<uint8_t> bytes;
    std::error_code ec;
    if (fs::is_directory(game, ec)) {
        try {
            bytes = write_game_bytes(read_project(game), 0);
        } catch (const ProjectError& e) {
            return fail(e.what());
        }
    } else {
        std::string why;
        auto file = read_whole_file(game, &why);
        if (!file) return fail(game + ": cannot be read: " + why);
        bytes = std::move(*file);
    }
    Game check;
    LoadResult loaded = load_game_bytes(bytes, check);
    if (!loaded.ok) return fail(game + ": " + loaded.describe());

    // This runner without any game fused into it.
    const std::string self = fs::read_symlink("/proc/self/exe", ec).string();
    std::string why;
    auto runner = read_whole_file(self, &why, UINT64_MAX);
    if (!runner) return fail("the runner " + self + " cannot be read: " + why);
    if (auto fused = find_fused_block(self)) runner->resize(size_t(fused->offset));

    const uint64_t block = bytes.size() - game_block_offset;
    runner->insert(runner->end(), bytes.begin() + long(game_block_offset), bytes.end());
    auto trailer = fuse_trailer(block);
    runner->insert(runner->end(), trailer.begin(), trailer.end());
    if (!write_whole_file(output, *runner, &why))
        return fail(output + ": cannot be written: " + why);
    ::chmod(output.c_str(), 0755);
    std::printf("fused %s into %s\n", game.c_str(), output.c_str());
    return 0;
}

} // namespace kelvane
