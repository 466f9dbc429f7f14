// The image and tile functions: sprites and backgrounds drawn at room positions (the
// selected port's offsets apply), the drawing buffer saved as a Windows bitmap, run-time
// sprites and backgrounds from picture files, and the tiles of the current room with their
// lookup, hit and delete rules.
#include "functions/Function_Graphics_Images.h"

#include <optional>
#include <string>

#include "code/Code_Main.h"
#include "graphics/Background_Main.h"
#include "graphics/Sprite_Main.h"
#include "run/Instance_Class.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t n(const RValue& v) {
    return to_int32(v.real);
}
bool flag(const RValue& v) {
    return v.real >= 0.5;
}
// A game's file name as a host path; empty when it cannot name a host file (loading
// then fails as for a missing file).
std::string host_path(Runtime& rt, const RValue& v) {
    auto h = rt.file_names.to_host(v.str.str());
    return h ? *h : std::string();
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)
#define UNUSED (void)rt, (void)self, (void)other, (void)result, (void)a

// ---- drawing ----

// The sprite id, after reporting a sprite that does not exist (-1 then).
int32_t drawn_sprite(Runtime& rt, const RValue& v) {
    int32_t id = n(v);
    if (rt.game.sprites.exists(id)) return id;
    report_error(rt, "Trying to draw non-existing sprite number: " + std::to_string(id), false);
    return -1;
}
int32_t drawn_background(Runtime& rt, const RValue& v) {
    int32_t id = n(v);
    if (rt.game.backgrounds.exists(id)) return id;
    report_error(rt, "Trying to draw non-existing background number: " + std::to_string(id), false);
    return -1;
}
// A negative sub-image is the calling instance's own.
int32_t sub_image(CInstance* self, const RValue& v) {
    int32_t i = n(v);
    return i < 0 && self ? round_int(self->image_index) : i;
}

H(fn_draw_sprite) {
    UNUSED;
    int32_t id = drawn_sprite(rt, a[0]);
    if (id >= 0) rt.images.draw_sprite(id, sub_image(self, a[1]), n(a[2]), n(a[3]));
}
H(fn_draw_sprite_scaled) {
    UNUSED;
    int32_t id = drawn_sprite(rt, a[0]);
    if (id >= 0)
        rt.images.draw_sprite(id, sub_image(self, a[1]), n(a[2]), n(a[3]), a[4].real, a[4].real);
}
H(fn_draw_sprite_stretched) {
    UNUSED;
    int32_t id = drawn_sprite(rt, a[0]);
    if (id >= 0)
        rt.images.draw_sprite_stretched(id, sub_image(self, a[1]), n(a[2]), n(a[3]), n(a[4]),
                                        n(a[5]));
}
H(fn_draw_sprite_transparent) {
    UNUSED;
    int32_t id = drawn_sprite(rt, a[0]);
    if (id >= 0)
        rt.images.draw_sprite(id, sub_image(self, a[1]), n(a[2]), n(a[3]), a[4].real, a[4].real,
                              a[5].real);
}
H(fn_draw_background) {
    UNUSED;
    int32_t id = drawn_background(rt, a[0]);
    if (id >= 0) rt.images.draw_background(id, n(a[1]), n(a[2]));
}
H(fn_draw_background_scaled) {
    UNUSED;
    int32_t id = drawn_background(rt, a[0]);
    if (id >= 0) rt.images.draw_background(id, n(a[1]), n(a[2]), a[3].real, a[3].real);
}
H(fn_draw_background_stretched) {
    UNUSED;
    int32_t id = drawn_background(rt, a[0]);
    if (id >= 0) rt.images.draw_background_stretched(id, n(a[1]), n(a[2]), n(a[3]), n(a[4]));
}
H(fn_draw_background_transparent) {
    UNUSED;
    int32_t id = drawn_background(rt, a[0]);
    if (id >= 0) rt.images.draw_background(id, n(a[1]), n(a[2]), a[3].real, a[3].real, a[4].real);
}
// Tiled in both directions over the whole room.
H(fn_draw_background_tiled) {
    UNUSED;
    int32_t id = drawn_background(rt, a[0]);
    CRoom* room = rt.run.room();
    if (id >= 0 && room)
        rt.images.draw_background_tiled(id, n(a[1]), n(a[2]), {0, 0, room->width, room->height},
                                        true, true);
}

// ---- saving the screen ----

// The name of the file, after reporting an empty one (nullopt then).
std::optional<std::string> screen_file(Runtime& rt, const RValue& v) {
    const std::string& name = v.str.str();
    if (name.empty()) {
        report_error(rt, "Trying to save screen to empty image file name.", false);
        return std::nullopt;
    }
    // Secure mode keeps every file the game writes inside its own folder.
    if (rt.files &&
        rt.files->refused("In secure mode you cannot save screen to file " + name, {&name}))
        return std::nullopt;
    auto h = rt.file_names.to_host_for_writing(name);
    return h ? *h : std::string();
}
// A file that cannot be written is left unwritten without a message.
H(fn_screen_save) {
    UNUSED;
    if (auto path = screen_file(rt, a[0]); path && !path->empty()) rt.display.save_buffer(*path);
}
// Buffer coordinates: the rectangle's right and bottom edges are outside it. A rectangle
// without pixels, or larger than any picture, writes nothing.
H(fn_screen_save_part) {
    UNUSED;
    auto path = screen_file(rt, a[0]);
    RRect r{n(a[1]), n(a[2]), n(a[3]), n(a[4])};
    if (!path || path->empty() ||
        !surface_size_allowed(int64_t(r.right) - r.left, int64_t(r.bottom) - r.top))
        return;
    rt.display.save_buffer_part(*path, r);
}

// ---- sprites and backgrounds from files ----

H(fn_background_add) {
    UNUSED;
    std::string path = host_path(rt, a[0]);
    int32_t id = path.empty()
                     ? -1
                     : background_add(rt.game, rt.images, path, flag(a[1]), flag(a[2]), flag(a[3]));
    result = RValue(double(id));
}
H(fn_background_replace) {
    UNUSED;
    int32_t id = n(a[0]);
    if (!rt.game.backgrounds.exists(id)) {
        report_error(rt, "Trying to replace non-existing background.", false);
        return;
    }
    std::string path = host_path(rt, a[1]);
    bool ok = !path.empty() &&
              background_replace(rt.game, rt.images, id, path, flag(a[2]), flag(a[3]), flag(a[4]));
    result = RValue(ok ? 1.0 : 0.0);
}
H(fn_background_delete) {
    UNUSED;
    int32_t id = n(a[0]);
    if (!rt.game.backgrounds.exists(id)) {
        report_error(rt, "Trying to delete non-existing background.", false);
        return;
    }
    result = RValue(background_delete(rt.game, rt.images, id) ? 1.0 : 0.0);
}
H(fn_sprite_add) {
    UNUSED;
    std::string path = host_path(rt, a[0]);
    int32_t id = path.empty() ? -1
                              : sprite_add(rt.game, rt.images, path, n(a[1]), flag(a[2]),
                                           flag(a[3]), flag(a[4]), flag(a[5]), n(a[6]), n(a[7]));
    result = RValue(double(id));
}
H(fn_sprite_replace) {
    UNUSED;
    int32_t id = n(a[0]);
    if (!rt.game.sprites.exists(id)) {
        report_error(rt, "Trying to replace non-existing sprite.", false);
        return;
    }
    std::string path = host_path(rt, a[1]);
    bool ok = !path.empty() && sprite_replace(rt.game, rt.images, id, path, n(a[2]), flag(a[3]),
                                              flag(a[4]), flag(a[5]), flag(a[6]), n(a[7]), n(a[8]));
    result = RValue(ok ? 1.0 : 0.0);
}
H(fn_sprite_delete) {
    UNUSED;
    int32_t id = n(a[0]);
    if (!rt.game.sprites.exists(id)) {
        report_error(rt, "Trying to delete non-existing sprite.", false);
        return;
    }
    result = RValue(sprite_delete(rt.game, rt.images, id) ? 1.0 : 0.0);
}

// ---- tiles ----

// The tile of the current room with this id, after reporting one that does not exist
// (nullptr then). The room's lookup tries the tile found last first.
RTile* found_tile(Runtime& rt, const RValue& v) {
    CRoom* room = rt.run.room();
    int32_t i = room ? room->find_tile(n(v)) : -1;
    if (i >= 0) return &room->tiles[size_t(i)];
    report_error(rt, "Tile does not exist.", false);
    return nullptr;
}
bool background_known(Runtime& rt, int32_t id) {
    if (rt.game.backgrounds.exists(id)) return true;
    report_error(rt, "Background does not exist.", false);
    return false;
}

enum class TileField {
    x,
    y,
    left,
    top,
    width,
    height,
    depth,
    visible,
    xscale,
    yscale,
    alpha,
    back
};

double field(const RTile& t, TileField f) {
    switch (f) {
    case TileField::x:
        return t.x;
    case TileField::y:
        return t.y;
    case TileField::left:
        return t.left;
    case TileField::top:
        return t.top;
    case TileField::width:
        return t.width;
    case TileField::height:
        return t.height;
    case TileField::depth:
        return t.depth;
    case TileField::visible:
        return t.visible ? 1 : 0;
    case TileField::xscale:
        return t.xscale;
    case TileField::yscale:
        return t.yscale;
    case TileField::alpha:
        return t.alpha;
    case TileField::back:
        return t.background;
    }
    return 0;
}

template <TileField F> H(fn_tile_get) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) result = RValue(field(*t, F));
}

H(fn_tile_set_visible) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) t->visible = flag(a[1]);
}
H(fn_tile_set_background) {
    UNUSED;
    RTile* t = found_tile(rt, a[0]);
    if (t && background_known(rt, n(a[1]))) t->background = n(a[1]);
}
H(fn_tile_set_region) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) {
        t->left = n(a[1]);
        t->top = n(a[2]);
        t->width = n(a[3]);
        t->height = n(a[4]);
    }
}
H(fn_tile_set_position) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) t->x = a[1].real, t->y = a[2].real;
}
// Only stored: the tiles are sorted by depth when the room is next drawn.
H(fn_tile_set_depth) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) t->depth = a[1].real;
}
H(fn_tile_set_scale) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) t->xscale = a[1].real, t->yscale = a[2].real;
}
H(fn_tile_set_alpha) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0])) t->alpha = a[1].real;
}
// The new tile's id is the next value of the game-wide tile counter.
H(fn_tile_add) {
    UNUSED;
    CRoom* room = rt.run.room();
    if (!room || !background_known(rt, n(a[0]))) return;
    RTile t;
    t.background = n(a[0]);
    t.left = n(a[1]);
    t.top = n(a[2]);
    t.width = n(a[3]);
    t.height = n(a[4]);
    t.x = a[5].real;
    t.y = a[6].real;
    t.depth = a[7].real;
    int32_t i = room->add_tile(t, rt.game.last_tile_id);
    result = RValue(double(room->tiles[size_t(i)].id));
}
H(fn_tile_find) {
    UNUSED;
    CRoom* room = rt.run.room();
    int32_t i = room ? room->find_tile_at(n(a[0]), n(a[1]), flag(a[2])) : -1;
    result = RValue(i >= 0 ? double(room->tiles[size_t(i)].id) : -1.0);
}
// Answers only 1 or 0, never reporting.
H(fn_tile_exists) {
    UNUSED;
    CRoom* room = rt.run.room();
    result = RValue(room && room->find_tile(n(a[0])) >= 0 ? 1.0 : 0.0);
}
H(fn_tile_delete) {
    UNUSED;
    if (RTile* t = found_tile(rt, a[0]))
        rt.run.room()->delete_tile(int32_t(t - rt.run.room()->tiles.data()));
}
H(fn_tile_delete_at) {
    UNUSED;
    if (CRoom* room = rt.run.room()) room->delete_tiles_at(n(a[0]), n(a[1]), flag(a[2]));
}

#undef H
#undef UNUSED

const RFunction images[] = {
    {"draw_sprite", fn_draw_sprite, 4},
    {"draw_sprite_scaled", fn_draw_sprite_scaled, 5},
    {"draw_sprite_stretched", fn_draw_sprite_stretched, 6},
    {"draw_sprite_transparent", fn_draw_sprite_transparent, 6},
    {"draw_background", fn_draw_background, 3},
    {"draw_background_scaled", fn_draw_background_scaled, 4},
    {"draw_background_stretched", fn_draw_background_stretched, 5},
    {"draw_background_transparent", fn_draw_background_transparent, 5},
    {"draw_background_tiled", fn_draw_background_tiled, 3},
    {"screen_save", fn_screen_save, 1},
    {"screen_save_part", fn_screen_save_part, 5},
    {"background_add", fn_background_add, 4},
    {"background_replace", fn_background_replace, 5},
    {"background_delete", fn_background_delete, 1},
    {"sprite_add", fn_sprite_add, 8},
    {"sprite_replace", fn_sprite_replace, 9},
    {"sprite_delete", fn_sprite_delete, 1},
};

const RFunction tiles[] = {
    {"tile_get_x", fn_tile_get<TileField::x>, 1},
    {"tile_get_y", fn_tile_get<TileField::y>, 1},
    {"tile_get_left", fn_tile_get<TileField::left>, 1},
    {"tile_get_top", fn_tile_get<TileField::top>, 1},
    {"tile_get_width", fn_tile_get<TileField::width>, 1},
    {"tile_get_height", fn_tile_get<TileField::height>, 1},
    {"tile_get_depth", fn_tile_get<TileField::depth>, 1},
    {"tile_get_visible", fn_tile_get<TileField::visible>, 1},
    {"tile_get_xscale", fn_tile_get<TileField::xscale>, 1},
    {"tile_get_yscale", fn_tile_get<TileField::yscale>, 1},
    {"tile_get_alpha", fn_tile_get<TileField::alpha>, 1},
    {"tile_get_background", fn_tile_get<TileField::back>, 1},
    {"tile_set_visible", fn_tile_set_visible, 2},
    {"tile_set_background", fn_tile_set_background, 2},
    {"tile_set_region", fn_tile_set_region, 5},
    {"tile_set_position", fn_tile_set_position, 3},
    {"tile_set_depth", fn_tile_set_depth, 2},
    {"tile_set_scale", fn_tile_set_scale, 3},
    {"tile_set_alpha", fn_tile_set_alpha, 2},
    {"tile_add", fn_tile_add, 8},
    {"tile_find", fn_tile_find, 3},
    {"tile_exists", fn_tile_exists, 1},
    {"tile_delete", fn_tile_delete, 1},
    {"tile_delete_at", fn_tile_delete_at, 3},
};

} // namespace

std::span<const RFunction> image_functions() {
    return images;
}
std::span<const RFunction> tile_functions() {
    return tiles;
}

} // namespace kelvane
