// A small game that uses every record kind, built in code for loader tests.
#pragma once

#include "run/Game.h"

namespace kelvane::testing {

inline Bitmap24 checker(int32_t w, int32_t h, uint32_t a, uint32_t b) {
    Bitmap24 img(w, h, a);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if ((x + y) % 2) img.set_pixel(x, y, b);
    return img;
}

inline Game sample_game(int32_t version = 430) {
    Game g;
    g.header.version = version;
    g.header.debug = 2;
    g.header.game_id = 777;
    for (int i = 0; i < 16; ++i) g.header.identifier[size_t(i)] = uint8_t(i * 17);
    g.options.scale_window = 150;
    g.options.load_bar = 2;
    g.options.load_bar_back = checker(8, 2, 0xff0000, 0x00ff00);
    g.options.load_bar_front = checker(8, 2, 0x0000ff, 0x00ff00);
    g.options.score_image = true;
    g.options.score_background = checker(3, 3, 0x123456, 0x654321);
    g.options.score_font_name = "Arial";
    g.options.game_icon = {0, 0, 1, 0};

    auto snd = std::make_unique<CSound>();
    snd->kind = sound_wave;
    snd->file_type = ".wav";
    snd->data = std::vector<uint8_t>{'R', 'I', 'F', 'F', 1, 2, 3};
    snd->buffers = 3;
    g.sounds.resize(2);
    g.sounds.set(1, "snd_beep", std::move(snd));

    auto spr = std::make_unique<CSprite>();
    spr->width = 4, spr->height = 3;
    spr->frames.push_back(checker(4, 3, 0xffffff, 0x000080));
    spr->frames.push_back(Bitmap24()); // frame stored without image
    spr->number = 2;
    spr->xoffset = 2, spr->yoffset = 1;
    spr->compute_bounding_box();
    g.sprites.resize(1);
    g.sprites.set(0, "spr_ball", std::move(spr));

    // More than 256 colours: stored with the true-colour scheme.
    auto bg = std::make_unique<CBackground>();
    bg->width = 40, bg->height = 10;
    bg->image = Bitmap24(40, 10);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 40; ++x) bg->image->set_pixel(x, y, uint32_t(y * 40 + x) * 997);
    bg->transparent = true;
    g.backgrounds.resize(2);
    g.backgrounds.set(0, "bg_sky", std::move(bg));
    g.backgrounds.set(1, "bg_none", std::make_unique<CBackground>());

    auto path = std::make_unique<CPath>();
    path->kind = 1;
    path->end = 0;
    path->points = {{0, 0, 100}, {100, 0, 50}, {100, 100, 200}};
    path->build();
    g.paths.resize(1);
    g.paths.set(0, "path_loop", std::move(path));

    auto scr = std::make_unique<CScript>();
    scr->code = "return argument0 + 1;";
    g.scripts.resize(1);
    g.scripts.set(0, "scr_inc", std::move(scr));

    auto parent = std::make_unique<CObject>();
    parent->version = 400;
    CAction a;
    a.function = 34;
    a.stored_arguments = 1;
    a.arguments[0] = "x += 1;";
    parent->event_slot(ev_step, 0)->actions.push_back(a);
    parent->event_slot(ev_alarm, 5)->actions.push_back(a);
    parent->event_slot(ev_draw, 0); // stored with no actions
    auto child = std::make_unique<CObject>();
    child->sprite = 0;
    child->parent = 0;
    child->solid = true;
    child->depth = -5;
    CAction set;
    set.function = 35;
    set.relative = true;
    set.stored_arguments = 2;
    set.arguments[0] = "score";
    set.arguments[1] = "10";
    child->event_slot(ev_collision, 0)->actions.push_back(set);
    child->event_slot(ev_keypress, 37)->actions.push_back(set);
    g.objects.resize(3);
    g.objects.set(0, "obj_parent", std::move(parent));
    g.objects.set(2, "obj_child", std::move(child));

    auto room = std::make_unique<CRoom>();
    room->caption = "Level \xe9";
    room->width = 800;
    room->speed = 30;
    room->stored_int1 = 7;
    room->creation_code = "global.level = 1;";
    room->backgrounds[0].visible = true;
    room->backgrounds[0].index = 0;
    room->backgrounds[0].hspeed = -2;
    room->view_enabled = true;
    room->views[0].visible = true;
    room->views[0].object = 2;
    room->placed = {{32, 48, 2, 100001}, {64, 48, 0, 100002}};
    RTile tile;
    tile.x = 10, tile.y = 20, tile.background = 0, tile.width = 16, tile.height = 8;
    tile.depth = 1000, tile.id = 10000001;
    room->tiles.push_back(tile);
    g.rooms.resize(2);
    g.rooms.set(1, "room_first", std::move(room));
    g.last_instance_id = 100002;
    g.last_tile_id = 10000001;

    g.information.text = "{\\rtf1 Hello}";
    g.information.help_in_window = true;
    g.room_order = {1};
    return g;
}

} // namespace kelvane::testing
