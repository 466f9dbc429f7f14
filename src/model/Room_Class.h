// A room as designed: size, speed, caption, background layers, views, the instances
// placed in it, its tiles and its creation code.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "stream/Support_Stream.h"

namespace kelvane {

struct Game;
class CInstance;

// A tile: part of a background image placed in the room.
struct RTile {
    double x = 0, y = 0;
    int32_t background = -1;
    int32_t left = 0, top = 0, width = 0, height = 0;
    double depth = 0;
    int32_t id = 0;
    double xscale = 1, yscale = 1;
    double alpha = 1;
    bool visible = true;
};

// An instance placed in the room by its designer.
struct RRoomInstance {
    int32_t x = 0, y = 0;
    int32_t object = 0;
    int32_t id = 0;
};

class CView {
  public:
    bool visible = false;
    int32_t left = 0, top = 0;
    int32_t width = 640, height = 480;
    int32_t x = 0, y = 0;
    int32_t hborder = 32, vborder = 32;
    int32_t hspeed = -1, vspeed = -1;
    int32_t object = -1;
    bool operator==(const CView&) const = default;
};

class CRoom {
  public:
    // A background layer of the room (not the background resource).
    class CBackground {
      public:
        bool visible = false;
        bool foreground = false;
        int32_t index = -1;
        double x = 0, y = 0;
        bool htiled = true, vtiled = true;
        double hspeed = 0, vspeed = 0;
        double alpha = 1;
        bool operator==(const CBackground&) const = default;
    };

    std::string caption;
    int32_t speed = 20;
    int32_t width = 640, height = 480;
    int32_t stored_int1 = 0, stored_int2 = 0;
    bool persistent = false;
    int32_t background_color = 12632256;
    bool background_showcolor = true;
    std::array<CBackground, 8> backgrounds;
    bool view_enabled = false;
    std::array<CView, 8> views;
    // How many layers and views the record stored; the others kept their defaults.
    int32_t stored_backgrounds = 8, stored_views = 8;
    std::string creation_code;
    // The instances placed in the room by its designer (the file's form of the room's
    // instances); a room the game plays in makes live instances from them.
    std::vector<RRoomInstance> placed;
    std::vector<RTile> tiles;

    // Live state, for a room the game plays in: its instances in creation order, and per
    // object id the instances of exactly that object and of that object or a descendant.
    // What works on the live instances is defined beside the run engine (run/Room_Live.cpp).
    std::vector<std::unique_ptr<CInstance>> instances;
    std::vector<std::vector<CInstance*>> object_lists;
    std::vector<std::vector<CInstance*>> ancestor_lists;
    // Raised whenever an instance of the room gets a new bounding box (it moved, or its
    // sprite, mask or scale changed): lets the collision phase know its grid is stale.
    uint64_t layout_changes = 0;
    int32_t last_tile_found = -1;

    CRoom();
    ~CRoom();
    CRoom(CRoom&&) noexcept;
    CRoom& operator=(CRoom&&) noexcept;

    CBackground* background(int32_t i) {
        return i >= 0 && i < 8 ? &backgrounds[size_t(i)] : nullptr;
    }
    CView* view(int32_t i) { return i >= 0 && i < 8 ? &views[size_t(i)] : nullptr; }
    void clear();

    // Adds an instance with this id, appends it to the lists and returns it.
    CInstance* add_instance(const Game& game, int32_t object, double x, double y, int32_t id);
    // Appends an instance made elsewhere to the instances (not to the lists) and has it
    // report its moves to this room; every instance enters a room this way.
    CInstance* adopt(std::unique_ptr<CInstance> inst);
    // The lists of exactly object o / of o and its descendants; empty outside the objects.
    const std::vector<CInstance*>& instances_of(int32_t o) const;
    const std::vector<CInstance*>& instances_of_family(int32_t o) const;
    void rebuild_lists(const Game& game);
    // Insertion sort by non-increasing depth; equal depths keep their order.
    void sort_by_depth();
    // Frees destroyed instances and rebuilds the lists.
    void purge(const Game& game);
    void scroll_backgrounds();
    // Becomes a live copy of a designed room: its fields, fresh instances made from its
    // placed instances (ids and positions kept), its tiles.
    void copy_from(const CRoom& designed, const Game& game);

    // Tiles.
    int32_t add_tile(RTile tile, int32_t& last_tile_id);
    int32_t find_tile(int32_t id);
    int32_t find_tile_at(double px, double py, bool foreground);
    void delete_tiles_at(double px, double py, bool foreground);
    void delete_tile(int32_t index);
    void sort_tiles_by_depth();
    // How many layers and views the record writes.
    int32_t background_count() const;
    int32_t view_count() const;
    // Reads the game file record; false for a wrong version. Malformed data throws.
    bool read(CStream& s);
    // Writes the game file record with the stored number of layers and views, more when a
    // layer or view beyond them differs from its defaults.
    void write(CStream& s) const;
};

} // namespace kelvane
