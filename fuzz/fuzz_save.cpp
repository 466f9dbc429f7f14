// fuzz-options: -max_len=65536 -rss_limit_mb=1024 -timeout=10
// libFuzzer target: saved games. The running game is a small one with three rooms, two of
// them alive; the input is either a whole save file (first byte odd) or a change to a
// valid save of that game: bytes XORed over it from an offset, then cut to a length. A
// load must replace the game whole or leave it as it was, and never crash.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include "run/Run_Command.h"
#include "run/Runtime.h"

namespace {

void make_game(kelvane::Runtime& rt) {
    using namespace kelvane;
    rt.game.header.game_id = 77;
    auto spr = std::make_unique<CSprite>();
    spr->width = spr->height = 8;
    spr->number = 1;
    spr->bbox_right = spr->bbox_bottom = 7;
    spr->precise = false;
    rt.game.sprites.add("spr", std::move(spr));
    auto ball = std::make_unique<CObject>();
    ball->sprite = 0;
    rt.game.objects.add("ball", std::move(ball));
    auto small = std::make_unique<CObject>();
    small->parent = 0;
    rt.game.objects.add("small", std::move(small));
    for (const char* r : {"first", "second", "third"})
        rt.game.rooms.add(r, std::make_unique<CRoom>());
    int32_t hp = rt.script.names.intern("hp");
    rt.script.reporter.game_running = true;
    rt.script.reporter.handler = [](const std::string&, bool) {};
    rt.run.rooms.resize(3);
    for (int32_t r : {0, 2}) {
        rt.run.rooms[size_t(r)] = std::make_unique<CRoom>();
        CRoom& room = *rt.run.rooms[size_t(r)];
        room.persistent = r == 0;
        CInstance* a = room.add_instance(rt.game, 0, 10.0 * r, 20, 100001 + r);
        a->set_hspeed(2);
        a->variables.set(hp, 0, RValue("cell"));
        room.add_instance(rt.game, 1, 5, 5, 100010 + r)->destroyed = r == 0;
        room.add_tile({1, 2, 0, 0, 0, 8, 8, 100, 0, 1, 1, 1, true}, rt.game.last_tile_id);
    }
    rt.run.current_room = 2;
    rt.script.globals.set(hp, 0, RValue(3.0));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kelvane::Runtime rt;
    make_game(rt);
    std::vector<uint8_t> file;
    if (size > 0 && (data[0] & 1)) {
        file.assign(data + 1, data + size);
    } else {
        file = kelvane::save_game_bytes(rt);
        if (size >= 5) {
            size_t offset = (data[1] | size_t(data[2]) << 8) % (file.size() + 1);
            for (size_t k = 5; k < size && offset < file.size(); ++k) file[offset++] ^= data[k];
            size_t length = data[3] | size_t(data[4]) << 8;
            if (length > 0 && length < file.size()) file.resize(length);
        }
    }
    const std::string name = "/tmp/kelvane-fuzz-save-" + std::to_string(::getpid()) + ".sav";
    std::ofstream(name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    kelvane::load_game(rt, name);
    // Whatever was loaded must save again.
    kelvane::save_game_bytes(rt);
    ::unlink(name.c_str());
    return 0;
}
