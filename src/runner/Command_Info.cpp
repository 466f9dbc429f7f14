// info: what a game file holds, as a readable summary or as one JSON object.
#include <cstdio>
#include <filesystem>

#include "graphics/Help_Rtf.h"
#include "platform/Files.h"
#include "platform/Text_Encoding.h"
#include "project/Project_Summary.h"
#include "runner/Commands.h"
#include "runner/Runner_Load.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

constexpr size_t info_lines_shown = 10;

const char* const info_help =
    "usage: kelvane info [--json] FILE\n"
    "\n"
    "Prints the header, the options, the resources and the room order of the game file\n"
    "FILE, and the folder that the files the game writes go to (its own folder, or\n"
    "$XDG_DATA_HOME/kelvane/games/<game id>/ when that cannot be written), then the first\n"
    "lines of the game information as plain text. With --json: one JSON object with every\n"
    "record's fields (empty slots are null) and \"information_lines\", those first lines.\n";

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

// The first lines of the game information as plain text, without the blank ones at the
// start; what the player reads first when pressing F1.
std::vector<std::string> information_lines(const Game& game) {
    const std::string text = rtf_plain_text(read_rtf(game.information.text));
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size() && lines.size() < info_lines_shown) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        for (char& c : line)
            if (c == '\t' || c == '\r') c = ' ';
        if (!line.empty() || !lines.empty()) lines.push_back(cp1252_to_utf8(line));
        start = end + 1;
    }
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    return lines;
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
    const std::vector<std::string> lines = information_lines(game);
    std::string out;
    if (json) {
        Json j = game_summary_json(game);
        j["information_lines"] = lines;
        out = j.dump(2) + "\n";
    } else {
        out = game_summary_text(game);
        out += "files the game writes go to: " + written_files_folder(file, game) + "\n";
        if (!lines.empty()) out += "game information, first lines:\n";
        for (const auto& line : lines) out += "  " + line + "\n";
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
    return 0;
}

} // namespace kelvane
