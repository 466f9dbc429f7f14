// The room record of the game file.
#include "model/Room_Class.h"

#include <algorithm>
#include <cmath>

namespace kelvane {

void CRoom::scroll_backgrounds() {
    for (auto& b : backgrounds) {
        b.x += b.hspeed;
        b.y += b.vspeed;
    }
}

int32_t CRoom::add_tile(RTile tile, int32_t& last_tile_id) {
    tile.id = ++last_tile_id;
    tiles.push_back(tile);
    last_tile_found = int32_t(tiles.size()) - 1;
    return last_tile_found;
}

int32_t CRoom::find_tile(int32_t id) {
    if (last_tile_found >= 0 && size_t(last_tile_found) < tiles.size() &&
        tiles[size_t(last_tile_found)].id == id)
        return last_tile_found;
    for (size_t i = 0; i < tiles.size(); ++i)
        if (tiles[i].id == id) return last_tile_found = int32_t(i);
    return -1;
}

int32_t CRoom::find_tile_at(double px, double py, bool foreground) {
    for (size_t i = 0; i < tiles.size(); ++i) {
        const RTile& t = tiles[i];
        if (t.x <= px && px < t.x + t.width && t.y <= py && py < t.y + t.height &&
            (t.depth < 0) == foreground)
            return last_tile_found = int32_t(i);
    }
    return -1;
}

void CRoom::delete_tiles_at(double px, double py, bool foreground) {
    std::erase_if(tiles, [&](const RTile& t) {
        bool depth_ok = foreground ? t.depth <= 0 : t.depth >= 0;
        return t.x <= px && px <= t.x + t.width && t.y <= py && py <= t.y + t.height && depth_ok;
    });
}

void CRoom::delete_tile(int32_t index) {
    if (index >= 0 && size_t(index) < tiles.size()) tiles.erase(tiles.begin() + index);
}

void CRoom::sort_tiles_by_depth() {
    std::stable_sort(tiles.begin(), tiles.end(),
                     [](const RTile& a, const RTile& b) { return a.depth > b.depth; });
}

namespace {
// Layer positions and speeds are stored as ints; rounding matches how they were read.
int32_t stored(double v) {
    return static_cast<int32_t>(std::nearbyint(v));
}

// The stored count, raised to cover every entry that differs from its defaults.
template <typename T> int32_t written_count(const std::array<T, 8>& items, int32_t stored) {
    int32_t n = stored < 0 ? 0 : stored > 8 ? 8 : stored;
    for (int32_t i = n; i < 8; ++i)
        if (!(items[size_t(i)] == T())) n = i + 1;
    return n;
}
} // namespace

int32_t CRoom::background_count() const {
    return written_count(backgrounds, stored_backgrounds);
}

int32_t CRoom::view_count() const {
    return written_count(views, stored_views);
}

bool CRoom::read(CStream& s) {
    clear();
    if (ReadInt(s) != 420) return false;
    caption = ReadString(s);
    width = ReadInt(s);
    height = ReadInt(s);
    stored_int1 = ReadInt(s);
    stored_int2 = ReadInt(s);
    speed = ReadInt(s);
    persistent = ReadBool(s);
    background_color = ReadInt(s);
    background_showcolor = ReadBool(s);
    creation_code = ReadString(s);
    int32_t nb = ReadCount(s, "background layer count", 8, 36);
    stored_backgrounds = nb;
    for (int32_t i = 0; i < nb; ++i) {
        CBackground& b = backgrounds[size_t(i)];
        b.visible = ReadBool(s);
        b.foreground = ReadBool(s);
        b.index = ReadInt(s);
        b.x = ReadInt(s);
        b.y = ReadInt(s);
        b.htiled = ReadBool(s);
        b.vtiled = ReadBool(s);
        b.hspeed = ReadInt(s);
        b.vspeed = ReadInt(s);
        b.alpha = 1;
    }
    view_enabled = ReadBool(s);
    int32_t nv = ReadCount(s, "view count", 8, 48);
    stored_views = nv;
    for (int32_t i = 0; i < nv; ++i) {
        CView& v = views[size_t(i)];
        v.visible = ReadBool(s);
        v.left = ReadInt(s);
        v.top = ReadInt(s);
        v.width = ReadInt(s);
        v.height = ReadInt(s);
        v.x = ReadInt(s);
        v.y = ReadInt(s);
        v.hborder = ReadInt(s);
        v.vborder = ReadInt(s);
        v.hspeed = ReadInt(s);
        v.vspeed = ReadInt(s);
        v.object = ReadInt(s);
    }
    int32_t ni = ReadCount(s, "instance count", 1 << 24, 16);
    placed.resize(size_t(ni));
    for (auto& in : placed) {
        in.x = ReadInt(s);
        in.y = ReadInt(s);
        in.object = ReadInt(s);
        in.id = ReadInt(s);
    }
    int32_t nt = ReadCount(s, "tile count", 1 << 24, 36);
    tiles.resize(size_t(nt));
    for (auto& t : tiles) {
        t.x = ReadInt(s);
        t.y = ReadInt(s);
        t.background = ReadInt(s);
        t.left = ReadInt(s);
        t.top = ReadInt(s);
        t.width = ReadInt(s);
        t.height = ReadInt(s);
        t.depth = ReadInt(s);
        t.id = ReadInt(s);
    }
    return true;
}

void CRoom::write(CStream& s) const {
    WriteInt(s, 420);
    WriteString(s, caption);
    WriteInt(s, width);
    WriteInt(s, height);
    WriteInt(s, stored_int1);
    WriteInt(s, stored_int2);
    WriteInt(s, speed);
    WriteBool(s, persistent);
    WriteInt(s, background_color);
    WriteBool(s, background_showcolor);
    WriteString(s, creation_code);
    int32_t nb = background_count();
    WriteInt(s, nb);
    for (int32_t i = 0; i < nb; ++i) {
        const CBackground& b = backgrounds[size_t(i)];
        WriteBool(s, b.visible);
        WriteBool(s, b.foreground);
        WriteInt(s, b.index);
        WriteInt(s, stored(b.x));
        WriteInt(s, stored(b.y));
        WriteBool(s, b.htiled);
        WriteBool(s, b.vtiled);
        WriteInt(s, stored(b.hspeed));
        WriteInt(s, stored(b.vspeed));
    }
    WriteBool(s, view_enabled);
    int32_t nv = view_count();
    WriteInt(s, nv);
    for (int32_t i = 0; i < nv; ++i) {
        const CView& v = views[size_t(i)];
        WriteBool(s, v.visible);
        for (int32_t f : {v.left, v.top, v.width, v.height, v.x, v.y, v.hborder, v.vborder,
                          v.hspeed, v.vspeed, v.object})
            WriteInt(s, f);
    }
    WriteInt(s, static_cast<int32_t>(placed.size()));
    for (const auto& in : placed)
        for (int32_t f : {in.x, in.y, in.object, in.id}) WriteInt(s, f);
    WriteInt(s, static_cast<int32_t>(tiles.size()));
    for (const auto& t : tiles)
        for (int32_t f : {stored(t.x), stored(t.y), t.background, t.left, t.top, t.width, t.height,
                          stored(t.depth), t.id})
            WriteInt(s, f);
}

} // namespace kelvane
