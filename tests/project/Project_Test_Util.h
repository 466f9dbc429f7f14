// Helpers for the project tests: a temporary folder, small files, and a game that uses
// every record kind and field.
#pragma once

#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>

#include "platform/Text_Encoding.h"
#include "runner/Sample_Game.h"

namespace kelvane::testing {

namespace fs = std::filesystem;

// A fresh folder, removed with everything in it at the end of the test.
struct TempFolder {
    fs::path path;
    TempFolder() {
        std::random_device rd;
        path = fs::temp_directory_path() /
               ("kelvane-project-test-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    fs::path operator/(const std::string& name) const { return path / name; }
};

inline void write_text(const fs::path& p, const std::string& text) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
}

inline std::string read_text(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline std::string all_bytes() {
    std::string s;
    for (int b = 0; b < 256; ++b) s += char(b);
    return s;
}

// The sample game with every option, odd names and texts, empty slots with names, every
// event type, a partly stored room and the older section versions.
inline Game full_game(int32_t version = 430) {
    Game g = sample_game(version);
    g.options.load_image_on = true;
    g.options.load_image = checker(5, 4, 0x102030, 0x405060);
    g.options.score_font_name = "Font \x80\xff";
    g.options.exclusive_mode = true;
    g.options.score_back_color = -7;
    g.options.uninit_zero = true;

    // Sounds: one without data, one of an unknown kind with an odd file type.
    auto silent = std::make_unique<CSound>();
    silent->kind = sound_none;
    g.sounds.set(0, "snd_silent", std::move(silent));
    auto odd = std::make_unique<CSound>();
    odd->kind = sound_other;
    odd->file_type = "../x y";
    odd->data = std::vector<uint8_t>{0, 1, 2, 255};
    g.sounds.add("snd_odd", std::move(odd));
    g.sounds.add("snd_deleted", nullptr); // an empty slot that kept its name

    // Names that are not file names, and two resources of one name.
    g.scripts.add("../../etc/passwd", std::make_unique<CScript>());
    g.scripts.get(1)->code = crlf_line_ends(all_bytes()); // every byte, lines as Windows ends them
    g.scripts.add("scr_inc", std::make_unique<CScript>());
    g.scripts.get(2)->code = "return 2;\r\n";
    g.scripts.add(all_bytes(), std::make_unique<CScript>());

    auto path = std::make_unique<CPath>();
    path->points = {{1.5, -2.25, 100}, {1e300, 0.1, std::numeric_limits<double>::quiet_NaN()}};
    path->points.push_back({-0.0, std::numeric_limits<double>::infinity(), 3});
    path->build();
    g.paths.add("path_odd", std::move(path));

    // An object with events of every type and every action field.
    auto all = std::make_unique<CObject>();
    all->mask = 0;
    all->visible = false;
    all->persistent = true;
    for (int32_t t = 0; t < event_type_count; ++t) {
        CAction a;
        a.function = t == 4 ? 34 : t;
        a.applies_to = t - 2;
        a.relative = t % 2;
        a.stored_arguments = 8;
        for (int i = 0; i < 8; ++i) a.arguments[size_t(i)] = "arg " + std::to_string(i);
        a.arguments[0] = all_bytes();
        all->event_slot(t, t == 2 ? 7 : t == 4 ? 2 : t)->actions.push_back(a);
        all->event_slot(t, t == 2 ? 7 : t == 4 ? 2 : t)->actions.push_back(CAction());
    }
    all->event_slot(ev_other, 12); // stored without actions
    auto few = std::make_unique<CObject>();
    few->last_event_type = -1; // a record of version 430 that stored no event types
    g.objects.add("obj_few", std::move(few));
    g.objects.set(1, "obj_all", std::move(all));

    // A room that stored only two layers and three views.
    auto small = std::make_unique<CRoom>();
    small->caption = all_bytes();
    small->stored_backgrounds = 2;
    small->stored_views = 3;
    small->backgrounds[1].x = -40;
    small->backgrounds[1].vtiled = false;
    small->views[2].hborder = 5;
    small->stored_int2 = -9;
    small->persistent = true;
    small->background_showcolor = false;
    small->creation_code = "a = 1;\r\n\tb = \"\xe9\";";
    RTile tile;
    tile.x = -3, tile.y = 4, tile.background = 1, tile.left = 2, tile.top = 3;
    tile.width = 5, tile.height = 6, tile.depth = -100, tile.id = 10000009;
    small->tiles = {tile, tile};
    g.rooms.set(0, "room_small", std::move(small));
    g.rooms.add("room_gone", nullptr);

    g.information.version = 400;
    g.information.help_in_window = false;
    g.information.color = 0x123456;
    g.information.text = "{\\rtf1\\ansi caf\\'e9 \xe9\x80}";
    g.room_order = {1, 0, 1};
    g.room_order_version = 400;
    return g;
}

} // namespace kelvane::testing
