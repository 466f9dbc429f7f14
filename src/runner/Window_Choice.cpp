// Reading and writing the remembered window choice of a game.
#include "runner/Window_Choice.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

std::string window_choice_key(int32_t game_id) {
    return "\\Software\\Kelvane Runner\\Window\\" + std::to_string(game_id);
}

namespace {

std::optional<double> number(RegistryStore& store, const std::string& key, const char* name) {
    auto v = store.read(key, name);
    if (!v || v->kind == RegistryValue::string || !std::isfinite(v->number)) return std::nullopt;
    return v->number;
}

void remember(RegistryStore& store, const std::string& key, const char* name, int32_t value) {
    auto old = number(store, key, name);
    if (old && *old == value) return;
    RegistryValue v;
    v.kind = RegistryValue::dword;
    v.number = value;
    store.write(key, name, v);
}

} // namespace

RWindowChoice read_window_choice(RegistryStore& store, int32_t game_id) {
    const std::string key = window_choice_key(game_id);
    RWindowChoice c;
    if (auto f = number(store, key, "FullScreen")) c.full_screen = *f != 0;
    if (auto z = number(store, key, "Zoom"); z && *z >= 1 && *z <= max_zoom) c.zoom = int32_t(*z);
    return c;
}

void write_window_choice(RegistryStore& store, int32_t game_id, const RWindowChoice& choice) {
    const std::string key = window_choice_key(game_id);
    if (choice.full_screen) remember(store, key, "FullScreen", *choice.full_screen ? 1 : 0);
    if (choice.zoom) remember(store, key, "Zoom", std::clamp(*choice.zoom, 1, max_zoom));
}

RWindowChoice merged(const RWindowChoice& command_line, const RWindowChoice& remembered) {
    RWindowChoice c = remembered;
    if (command_line.full_screen) c.full_screen = command_line.full_screen;
    if (command_line.zoom) c.zoom = command_line.zoom;
    return c;
}

} // namespace kelvane
