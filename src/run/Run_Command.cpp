// Saving and loading a running game: the save file with the game's values, its global
// variables and every live room with views, layers, tiles and instances. A save replaces
// its file only once the whole file is written; a load reads the whole file into new rooms
// and values first and switches the game over only when every part of it read soundly.
#include "run/Run_Command.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <unistd.h>

#include "platform/Replace_File.h"
#include "run/Run_Draw.h"

namespace fs = std::filesystem;

namespace kelvane {

namespace {

constexpr int32_t save_version = 420;
constexpr int32_t room_version = 420;
// The fewest bytes an instance record takes (its variable list cut to the version word)
// and the bytes of a tile record: counts are checked against what is left of the file.
constexpr size_t instance_record_bytes =
    4 + 4 + 5 * 8 + 4 + 8 + 4 + 13 * 8 + 4 * 4 + 3 * 4 + 4 + 8 * 4 + 4 + 4 + 3 * 8 + 4;
constexpr size_t tile_record_bytes = 8 + 8 + 4 + 4 * 4 + 8 + 4 + 8 + 8 + 8 + 4;
// Built-in variable ids, which the global list may hold as plain ids (global.x for a
// built-in x), end here; and how many names past the game's own a save may use.
constexpr int32_t first_builtin_end = 2000;
constexpr int32_t names_to_come = 1024;
// Instance and tile ids past this are damaged data: no game counts that far, and the
// counters that continue from the loaded ids must never overflow.
constexpr int32_t largest_id = int32_t(1) << 30;
// A save file is a few kilobytes to a few megabytes; anything past this is not one.
constexpr uintmax_t largest_save_file = uintmax_t(1) << 30;

// ---- writing ----

void write_instance(CStream& s, const CInstance& i) {
    WriteInt(s, i.id);
    WriteInt(s, i.sprite_index);
    for (double v : {i.image_index, i.image_single, i.image_speed, i.image_scale, i.image_alpha})
        WriteReal(s, v);
    WriteInt(s, i.mask_index);
    WriteReal(s, i.depth);
    WriteBool(s, i.precise);
    for (double v : {i.x, i.y, i.xstart, i.ystart, i.xprevious, i.yprevious, i.direction, i.speed,
                     i.friction, i.gravity_direction, i.gravity, i.hspeed, i.vspeed})
        WriteReal(s, v);
    for (int32_t v : {i.bbox_left, i.bbox_right, i.bbox_top, i.bbox_bottom}) WriteInt(s, v);
    WriteBool(s, i.visible);
    WriteBool(s, i.solid);
    WriteBool(s, i.persistent);
    WriteInt(s, i.object_index);
    for (int32_t a : i.alarm) WriteInt(s, a);
    WriteBool(s, i.destroyed);
    WriteInt(s, i.path_index);
    for (double v : {i.path_position, i.path_scale, i.path_orientation}) WriteReal(s, v);
    i.variables.write(s);
}

void write_room(CStream& s, const CRoom& r) {
    WriteInt(s, room_version);
    WriteString(s, r.caption);
    WriteInt(s, r.width);
    WriteInt(s, r.height);
    WriteInt(s, r.stored_int1);
    WriteInt(s, r.stored_int2);
    WriteInt(s, r.speed);
    WriteBool(s, r.persistent);
    WriteInt(s, r.background_color);
    WriteBool(s, r.background_showcolor);
    WriteString(s, r.creation_code);
    WriteInt(s, int32_t(r.backgrounds.size()));
    for (const auto& b : r.backgrounds) {
        WriteBool(s, b.visible);
        WriteBool(s, b.foreground);
        WriteInt(s, b.index);
        WriteReal(s, b.x);
        WriteReal(s, b.y);
        WriteBool(s, b.htiled);
        WriteBool(s, b.vtiled);
        WriteReal(s, b.hspeed);
        WriteReal(s, b.vspeed);
        WriteReal(s, b.alpha);
    }
    WriteBool(s, r.view_enabled);
    WriteInt(s, int32_t(r.views.size()));
    for (const auto& v : r.views) {
        WriteBool(s, v.visible);
        for (int32_t f : {v.left, v.top, v.width, v.height, v.x, v.y, v.hborder, v.vborder,
                          v.hspeed, v.vspeed, v.object})
            WriteInt(s, f);
    }
    WriteInt(s, int32_t(r.instances.size()));
    for (const auto& i : r.instances) write_instance(s, *i);
    WriteInt(s, int32_t(r.tiles.size()));
    for (const auto& t : r.tiles) {
        WriteReal(s, t.x);
        WriteReal(s, t.y);
        for (int32_t f : {t.background, t.left, t.top, t.width, t.height}) WriteInt(s, f);
        WriteReal(s, t.depth);
        WriteInt(s, t.id);
        WriteReal(s, t.xscale);
        WriteReal(s, t.yscale);
        WriteReal(s, t.alpha);
        WriteBool(s, t.visible);
    }
}

// ---- reading ----

// Everything a load replaces, read completely before any of it reaches the game.
struct RLoadedGame {
    int32_t current_room = -1;
    int32_t transition_kind = 0, transition_time = 0, transition_steps = 0;
    int32_t score = 0, lives = 0;
    CVariableList globals;
    std::vector<std::unique_ptr<CRoom>> rooms;
    int32_t highest_instance_id = 0, highest_tile_id = 0;
};

class SaveReader {
  public:
    SaveReader(Runtime& rt, CStream& s) : rt_(rt), s_(s) {}

    // Reads the values, globals and rooms that follow the version and the game id.
    void read(RLoadedGame& out) {
        out.current_room = ReadInt(s_);
        out.transition_kind = ReadInt(s_);
        out.transition_time = ReadInt(s_);
        out.transition_steps = ReadInt(s_);
        out.score = ReadInt(s_);
        out.lives = ReadInt(s_);
        read_variables(out.globals);
        out.highest_instance_id = rt_.game.last_instance_id;
        out.highest_tile_id = rt_.game.last_tile_id;
        out.rooms.resize(size_t(std::max(0, rt_.game.rooms.count())));
        for (auto& slot : out.rooms) {
            if (!ReadBool(s_)) continue;
            slot = std::make_unique<CRoom>();
            read_room(*slot, out);
        }
        // A game without a room to run in could never go on.
        if (out.current_room < 0 || size_t(out.current_room) >= out.rooms.size() ||
            !out.rooms[size_t(out.current_room)])
            fail("the current room " + std::to_string(out.current_room) + " is not in the file");
    }

  private:
    Runtime& rt_;
    CStream& s_;

    [[noreturn]] void fail(const std::string& what) { throw StreamError(what, s_.position()); }

    // Variables keep the ids the game's code gave their names. An id far beyond every name
    // the code has introduced (code run from a text may still introduce a few) could never
    // be read, and would only cost memory: such variables are read past and dropped, as
    // are ids no code can make at all.
    void read_variables(CVariableList& list) {
        int32_t names = rt_.script.names.count();
        list.read(s_, [names](int32_t id) {
            return (id >= 0 && id < first_builtin_end) ||
                   (id >= first_user_variable && id - first_user_variable < names + names_to_come);
        });
        // Variables hold reals and strings; a reference or a kind without meaning is
        // damaged data.
        auto plain = [](int32_t kind) { return kind == kind_real || kind == kind_string; };
        for (int32_t k = 0; k < list.count(); ++k) {
            const CVariable& v = list.item(k);
            bool ok = plain(v.value.kind);
            for (const auto& row : v.rows)
                ok = ok && std::all_of(row.begin(), row.end(),
                                       [&](const Cell& c) { return plain(c.kind()); });
            if (!ok) fail("a variable holds a value of no known kind");
        }
    }

    void read_instance(CRoom& room) {
        // Made with default values, then every field read over them.
        auto inst = std::make_unique<CInstance>(rt_.game, 0, -1, 0, 0);
        CInstance& i = *inst;
        i.id = ReadInt(s_);
        i.sprite_index = ReadInt(s_);
        for (double* v :
             {&i.image_index, &i.image_single, &i.image_speed, &i.image_scale, &i.image_alpha})
            *v = ReadReal(s_);
        i.mask_index = ReadInt(s_);
        i.depth = ReadReal(s_);
        i.precise = ReadBool(s_);
        for (double* v :
             {&i.x, &i.y, &i.xstart, &i.ystart, &i.xprevious, &i.yprevious, &i.direction, &i.speed,
              &i.friction, &i.gravity_direction, &i.gravity, &i.hspeed, &i.vspeed})
            *v = ReadReal(s_);
        for (int32_t* v : {&i.bbox_left, &i.bbox_right, &i.bbox_top, &i.bbox_bottom})
            *v = ReadInt(s_);
        i.visible = ReadBool(s_);
        i.solid = ReadBool(s_);
        i.persistent = ReadBool(s_);
        i.object_index = ReadInt(s_);
        // An object this game does not have leaves the instance without events, as an
        // instance placed in a room for a missing object is.
        i.object = rt_.game.objects.get(i.object_index);
        for (int32_t& a : i.alarm) a = ReadInt(s_);
        i.destroyed = ReadBool(s_);
        i.path_index = ReadInt(s_);
        for (double* v : {&i.path_position, &i.path_scale, &i.path_orientation}) *v = ReadReal(s_);
        read_variables(i.variables);
        // The box follows from the sprite, mask, scale and position just read; a box taken
        // from the file as it stands could disagree with them and send the pixel tests
        // over areas no instance covers.
        i.compute_bounding_box();
        room.adopt(std::move(inst));
    }

    void read_room(CRoom& r, RLoadedGame& out) {
        int32_t version = ReadInt(s_);
        if (version != room_version) fail("room version " + std::to_string(version));
        r.caption = ReadString(s_);
        r.width = ReadInt(s_);
        r.height = ReadInt(s_);
        r.stored_int1 = ReadInt(s_);
        r.stored_int2 = ReadInt(s_);
        r.speed = ReadInt(s_);
        r.persistent = ReadBool(s_);
        r.background_color = ReadInt(s_);
        r.background_showcolor = ReadBool(s_);
        r.creation_code = ReadString(s_);
        int32_t nb = ReadCount(s_, "background layer count", 8, 4 * 4 + 6 * 8);
        for (int32_t k = 0; k < nb; ++k) {
            CRoom::CBackground& b = r.backgrounds[size_t(k)];
            b.visible = ReadBool(s_);
            b.foreground = ReadBool(s_);
            b.index = ReadInt(s_);
            b.x = ReadReal(s_);
            b.y = ReadReal(s_);
            b.htiled = ReadBool(s_);
            b.vtiled = ReadBool(s_);
            b.hspeed = ReadReal(s_);
            b.vspeed = ReadReal(s_);
            b.alpha = ReadReal(s_);
        }
        r.view_enabled = ReadBool(s_);
        int32_t nv = ReadCount(s_, "view count", 8, 12 * 4);
        for (int32_t k = 0; k < nv; ++k) {
            CView& v = r.views[size_t(k)];
            v.visible = ReadBool(s_);
            for (int32_t* f : {&v.left, &v.top, &v.width, &v.height, &v.x, &v.y, &v.hborder,
                               &v.vborder, &v.hspeed, &v.vspeed, &v.object})
                *f = ReadInt(s_);
        }
        int32_t ni = ReadCount(s_, "instance count", INT32_MAX, instance_record_bytes);
        for (int32_t k = 0; k < ni; ++k) {
            read_instance(r);
            int32_t id = r.instances.back()->id;
            if (id > largest_id) fail("instance id " + std::to_string(id));
            out.highest_instance_id = std::max(out.highest_instance_id, id);
        }
        r.rebuild_lists(rt_.game);
        int32_t nt = ReadCount(s_, "tile count", INT32_MAX, tile_record_bytes);
        r.tiles.resize(size_t(nt));
        for (RTile& t : r.tiles) {
            t.x = ReadReal(s_);
            t.y = ReadReal(s_);
            for (int32_t* f : {&t.background, &t.left, &t.top, &t.width, &t.height})
                *f = ReadInt(s_);
            t.depth = ReadReal(s_);
            t.id = ReadInt(s_);
            t.xscale = ReadReal(s_);
            t.yscale = ReadReal(s_);
            t.alpha = ReadReal(s_);
            t.visible = ReadBool(s_);
            if (t.id > largest_id) fail("tile id " + std::to_string(t.id));
            out.highest_tile_id = std::max(out.highest_tile_id, t.id);
        }
    }
};

// The whole file, or nothing when it cannot be read as a regular file of sensible size.
std::optional<std::vector<uint8_t>> read_whole_file(const std::string& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    uintmax_t size = fs::file_size(path, ec);
    if (ec || size > largest_save_file) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> bytes(size_t(size), 0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    if (in.gcount() != std::streamsize(bytes.size())) return std::nullopt;
    return bytes;
}

} // namespace

std::vector<uint8_t> save_game_bytes(const Runtime& rt) {
    CStream s;
    const GameValues& v = rt.script.values;
    WriteInt(s, save_version);
    WriteInt(s, rt.game.header.game_id);
    WriteInt(s, rt.run.current_room);
    for (int32_t f : {v.transition_kind, v.transition_time, v.transition_steps, v.score, v.lives})
        WriteInt(s, f);
    rt.script.globals.write(s);
    int32_t slots = std::max(0, rt.game.rooms.count());
    for (int32_t r = 0; r < slots; ++r) {
        const CRoom* room =
            size_t(r) < rt.run.rooms.size() ? rt.run.rooms[size_t(r)].get() : nullptr;
        WriteBool(s, room != nullptr);
        if (room) write_room(s, *room);
    }
    return s.take_bytes();
}

void save_game(Runtime& rt, const std::string& name) {
    if (rt.files &&
        rt.files->refused("In secure mode you cannot save game to file " + name, {&name}))
        return;
    auto host = rt.file_names.to_host_for_writing(name);
    std::vector<uint8_t> bytes = save_game_bytes(rt);
    if (!host || !replace_file(*host, bytes.data(), bytes.size()))
        report_error(rt, "Failed to save game to file " + name, false);
}

void load_game(Runtime& rt, const std::string& name) {
    auto host = rt.file_names.to_host(name);
    std::error_code ec;
    if (!host || host->empty() || !fs::exists(*host, ec)) return;
    const std::string failed = "Failed to load game from file " + name;
    auto bytes = read_whole_file(*host);
    if (!bytes) return report_error(rt, failed, false);
    CStream s(std::move(*bytes));
    RLoadedGame loaded;
    try {
        if (s.remaining() >= 4 && ReadInt(s) != save_version)
            return report_error(rt, "Cannot load game saved with other version.", false);
        if (s.remaining() >= 4 && ReadInt(s) != rt.game.header.game_id)
            return report_error(rt, "This is a save file for a different game!", false);
        if (s.position() < 8) return report_error(rt, failed, false);
        SaveReader(rt, s).read(loaded);
    } catch (const std::exception&) {
        // Cut short, impossible counts or lengths, a value of no known kind, no memory:
        // the game goes on as it was.
        return report_error(rt, failed, false);
    }
    // A room whose drawing buffer could not be made (a damaged size) refuses the whole
    // save, as any other impossible value does: the game goes on as it was.
    const CRoom* shown =
        loaded.current_room >= 0 && size_t(loaded.current_room) < loaded.rooms.size()
            ? loaded.rooms[size_t(loaded.current_room)].get()
            : nullptr;
    if (shown && !room_display_fits(*shown)) return report_error(rt, failed, false);
    GameValues& v = rt.script.values;
    v.transition_kind = loaded.transition_kind;
    v.transition_time = loaded.transition_time;
    v.transition_steps = loaded.transition_steps;
    v.score = loaded.score;
    v.lives = loaded.lives; // stored as it is: no "No more Lives" here
    rt.script.globals = std::move(loaded.globals);
    rt.run.rooms = std::move(loaded.rooms);
    rt.run.current_room = loaded.current_room;
    // New instances and tiles must not take an id that a loaded one has: the counters
    // move past every loaded id (they never move back).
    rt.game.last_instance_id = loaded.highest_instance_id;
    rt.game.last_tile_id = loaded.highest_tile_id;
    size_room_display(rt);
}

void request_load(Runtime& rt, const std::string& name) {
    rt.run.load_file_name = name;
    rt.run.pending = pending_load;
}

} // namespace kelvane
