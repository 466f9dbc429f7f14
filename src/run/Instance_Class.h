// An instance: one live copy of an object in the current room, with its position and
// motion, alarms, animation, path state and its own variables. The setters keep the
// derived fields (bounding box, direction/speed versus hspeed/vspeed) consistent.
#pragma once

#include <array>
#include <cstdint>

#include "code/Variable_Class.h"

namespace kelvane {

struct Game;
class CObject;

class CInstance {
  public:
    // The instance reads its object and sprites from the game it lives in.
    CInstance(const Game& game, int32_t id, int32_t object, double x, double y);

    int32_t id = 0;
    int32_t sprite_index = -1;
    double image_index = 0;
    double image_single = -1;
    double image_speed = 1;
    double image_scale = 1;
    double image_alpha = 1;
    int32_t mask_index = -1;
    double depth = 0;
    bool precise = false;
    double x = 0, y = 0;
    double xstart = 0, ystart = 0;
    double xprevious = 0, yprevious = 0;
    double direction = 0;
    double speed = 0;
    double friction = 0;
    double gravity_direction = 270;
    double gravity = 0;
    double hspeed = 0, vspeed = 0;
    int32_t bbox_left = 0, bbox_top = 0, bbox_right = 0, bbox_bottom = 0;
    bool visible = true;
    bool solid = false;
    bool persistent = false;
    int32_t object_index = 0;
    const CObject* object = nullptr;
    std::array<int32_t, 8> alarm{-1, -1, -1, -1, -1, -1, -1, -1};
    CVariableList variables;
    bool destroyed = false;
    int32_t path_index = -1;
    double path_position = 0;
    double path_scale = 1;
    double path_orientation = 0;

    // Setters that keep derived fields consistent.
    void set_position(double nx, double ny);
    void set_image_scale(double s);
    void set_sprite_index(int32_t n);
    void set_mask_index(int32_t n);
    void set_direction(double d);
    void set_speed(double s);
    void set_hspeed(double h);
    void set_vspeed(double v);
    void set_object(int32_t n);
    void motion_add(double dir, double amount);
    int32_t get_alarm(int32_t i) const { return i >= 0 && i < 8 ? alarm[size_t(i)] : -1; }
    void set_alarm(int32_t i, int32_t v) {
        if (i >= 0 && i < 8) alarm[size_t(i)] = v;
    }

    int32_t image_number() const;
    double sprite_width() const;
    double sprite_height() const;
    double sprite_xoffset() const;
    double sprite_yoffset() const;
    // The sprite whose shape is used for collisions.
    int32_t mask_sprite() const { return mask_index >= 0 ? mask_index : sprite_index; }
    void compute_bounding_box();
    // Copies every field of another instance (id, destroyed and variables included); the
    // counter it reports moves to stays its own.
    void copy_from(const CInstance& o);
    // A counter (its room's) raised whenever the bounding box is computed anew.
    void report_moves_to(uint64_t* counter) { moves_ = counter; }

    const Game& game() const { return *game_; }

  private:
    const Game* game_;
    uint64_t* moves_ = nullptr;
    void speeds_from_direction();
    void direction_from_speeds();
};

// Rounds to the nearest integer, halves to even, as everywhere in the run engine.
inline int32_t round_int(double v) {
    return to_int32(v);
}

} // namespace kelvane
