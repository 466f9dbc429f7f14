// Instance fields, setters and the derived bounding box and speeds.
#include "run/Instance_Class.h"

#include <cmath>

#include "run/Game.h"

namespace kelvane {

namespace {
constexpr double pi = 3.14159265358979323846;
double snap(double v) {
    double r = std::nearbyint(v);
    return std::fabs(v - r) < 1e-7 ? r : v;
}
} // namespace

CInstance::CInstance(const Game& game, int32_t id_, int32_t object_, double x_, double y_)
    : id(id_), x(x_), y(y_), xstart(x_), ystart(y_), xprevious(x_), yprevious(y_),
      object_index(object_), game_(&game) {
    set_object(object_);
}

void CInstance::set_position(double nx, double ny) {
    if (nx == x && ny == y) return;
    x = nx;
    y = ny;
    compute_bounding_box();
}

void CInstance::set_image_scale(double s) {
    if (s == image_scale) return;
    image_scale = s;
    compute_bounding_box();
}

void CInstance::set_sprite_index(int32_t n) {
    sprite_index = n;
    const CSprite* s = game_->sprites.get(n);
    int32_t count = s ? s->number : 0;
    if (round_int(image_index) >= count) image_index = 0;
    compute_bounding_box();
}

void CInstance::set_mask_index(int32_t n) {
    mask_index = n;
    compute_bounding_box();
}

void CInstance::set_direction(double d) {
    if (d == direction) return;
    direction = d - 360 * std::floor(d / 360);
    speeds_from_direction();
}

void CInstance::set_speed(double s) {
    if (s == speed) return;
    speed = s;
    speeds_from_direction();
}

void CInstance::set_hspeed(double h) {
    if (h == hspeed) return;
    hspeed = h;
    direction_from_speeds();
}

void CInstance::set_vspeed(double v) {
    if (v == vspeed) return;
    vspeed = v;
    direction_from_speeds();
}

void CInstance::speeds_from_direction() {
    double r = direction * pi / 180;
    hspeed = snap(std::cos(r) * speed);
    vspeed = snap(-std::sin(r) * speed);
}

void CInstance::direction_from_speeds() {
    double d;
    if (hspeed != 0) {
        double a = std::atan2(vspeed, hspeed) * 180 / pi;
        d = a > 0 ? 360 - a : -a;
    } else {
        d = vspeed > 0 ? 270 : (vspeed < 0 ? 90 : 0);
    }
    d = snap(d);
    direction = d - 360 * std::floor(d / 360);
    speed = snap(std::sqrt(hspeed * hspeed + vspeed * vspeed));
}

void CInstance::motion_add(double dir, double amount) {
    double r = dir * pi / 180;
    hspeed += std::cos(r) * amount;
    vspeed -= std::sin(r) * amount;
    direction_from_speeds();
}

void CInstance::set_object(int32_t n) {
    object_index = n;
    object = game_->objects.get(n);
    if (object) {
        set_sprite_index(object->sprite);
        mask_index = object->mask;
        depth = object->depth;
        solid = object->solid;
        visible = object->visible;
        persistent = object->persistent;
    }
    compute_bounding_box();
}

int32_t CInstance::image_number() const {
    const CSprite* s = game_->sprites.get(sprite_index);
    return s ? s->number : 0;
}

double CInstance::sprite_width() const {
    const CSprite* s = game_->sprites.get(sprite_index);
    return s ? s->width * image_scale : 0;
}
double CInstance::sprite_height() const {
    const CSprite* s = game_->sprites.get(sprite_index);
    return s ? s->height * image_scale : 0;
}
double CInstance::sprite_xoffset() const {
    const CSprite* s = game_->sprites.get(sprite_index);
    return s ? s->xoffset * image_scale : 0;
}
double CInstance::sprite_yoffset() const {
    const CSprite* s = game_->sprites.get(sprite_index);
    return s ? s->yoffset * image_scale : 0;
}

void CInstance::compute_bounding_box() {
    if (moves_) ++*moves_;
    const CSprite* s = game_->sprites.get(mask_sprite());
    if (!s) {
        bbox_left = bbox_top = bbox_right = bbox_bottom = -100000;
        precise = false;
        return;
    }
    double k = image_scale;
    bbox_left = round_int((s->bbox_left - s->xoffset) * k + x);
    bbox_right = round_int(x + k * (s->bbox_right - s->xoffset));
    bbox_top = round_int((s->bbox_top - s->yoffset) * k + y);
    bbox_bottom = round_int(y + k * (s->bbox_bottom - s->yoffset));
    precise = s->precise;
}

void CInstance::copy_from(const CInstance& o) {
    if (this == &o) return;
    uint64_t* own = moves_;
    *this = o;
    moves_ = own;
}

} // namespace kelvane
