// Instance lists and instance built-in variables for the script language.
#include "run/Run_Instances.h"

#include "code/Variable_BuiltIn.h"
#include "run/Instance_Class.h"
#include "run/Runtime.h"

namespace kelvane {

// The fields of CInstance that hold instance built-ins. Reads of these give what
// get_builtin gives; the ones marked plain are written by set_builtin as a plain store of
// the value's number, the others need their setter (given straight for the commonest).
RoomInstances::RoomInstances(Runtime& rt) : rt_(rt) {
    CInstance probe(rt.game, 0, -1, 0, 0);
    auto at = [&](int32_t id, BuiltInField::Storage storage, const void* field, bool plain) {
        BuiltInField& f = fields_[size_t(id - first_instance_builtin)];
        f.storage = storage;
        f.plain_store = plain;
        f.form = BuiltInForm::real;
        f.offset =
            uint32_t(static_cast<const char*>(field) - reinterpret_cast<const char*>(&probe));
    };
    using S = BuiltInField::Storage;
    at(iv_x, S::real, &probe.x, false);
    at(iv_y, S::real, &probe.y, false);
    at(iv_xprevious, S::real, &probe.xprevious, true);
    at(iv_yprevious, S::real, &probe.yprevious, true);
    at(iv_xstart, S::real, &probe.xstart, true);
    at(iv_ystart, S::real, &probe.ystart, true);
    at(iv_hspeed, S::real, &probe.hspeed, false);
    at(iv_vspeed, S::real, &probe.vspeed, false);
    at(iv_direction, S::real, &probe.direction, false);
    at(iv_speed, S::real, &probe.speed, false);
    at(iv_friction, S::real, &probe.friction, true);
    at(iv_gravity, S::real, &probe.gravity, true);
    at(iv_gravity_direction, S::real, &probe.gravity_direction, true);
    at(iv_object_index, S::integer, &probe.object_index, false);
    at(iv_id, S::integer, &probe.id, false);
    at(iv_solid, S::flag, &probe.solid, false);
    at(iv_visible, S::flag, &probe.visible, false);
    at(iv_persistent, S::flag, &probe.persistent, false);
    at(iv_depth, S::real, &probe.depth, true);
    at(iv_bbox_left, S::integer, &probe.bbox_left, false);
    at(iv_bbox_right, S::integer, &probe.bbox_right, false);
    at(iv_bbox_top, S::integer, &probe.bbox_top, false);
    at(iv_bbox_bottom, S::integer, &probe.bbox_bottom, false);
    at(iv_sprite_index, S::integer, &probe.sprite_index, false);
    at(iv_image_index, S::real, &probe.image_index, false);
    at(iv_image_single, S::real, &probe.image_single, false);
    at(iv_image_scale, S::real, &probe.image_scale, false);
    at(iv_image_alpha, S::real, &probe.image_alpha, true);
    at(iv_image_speed, S::real, &probe.image_speed, true);
    at(iv_mask_index, S::integer, &probe.mask_index, false);
    at(iv_path_index, S::integer, &probe.path_index, false);
    at(iv_path_position, S::real, &probe.path_position, true);
    at(iv_path_scale, S::real, &probe.path_scale, true);
    at(iv_path_orientation, S::real, &probe.path_orientation, true);
    // The setters of set_builtin, called straight.
    using Setter = void (*)(CInstance*, double);
    auto setter = [&](int32_t id, Setter set) {
        fields_[size_t(id - first_instance_builtin)].setter = set;
    };
    setter(iv_x, [](CInstance* i, double v) { i->set_position(v, i->y); });
    setter(iv_y, [](CInstance* i, double v) { i->set_position(i->x, v); });
    setter(iv_hspeed, [](CInstance* i, double v) { i->set_hspeed(v); });
    setter(iv_vspeed, [](CInstance* i, double v) { i->set_vspeed(v); });
    setter(iv_direction, [](CInstance* i, double v) { i->set_direction(v); });
    setter(iv_speed, [](CInstance* i, double v) { i->set_speed(v); });
    setter(iv_image_scale, [](CInstance* i, double v) { i->set_image_scale(v); });
    setter(iv_sprite_index, [](CInstance* i, double v) { i->set_sprite_index(round_int(v)); });
    setter(iv_mask_index, [](CInstance* i, double v) { i->set_mask_index(round_int(v)); });
    setter(iv_image_index, [](CInstance* i, double v) { i->image_index = round_int(v); });
    setter(iv_image_single, [](CInstance* i, double v) { i->image_single = round_int(v); });
    setter(iv_path_index, [](CInstance* i, double v) { i->path_index = round_int(v); });
    setter(iv_solid, [](CInstance* i, double v) { i->solid = round_int(v) > 0.5; });
    setter(iv_visible, [](CInstance* i, double v) { i->visible = round_int(v) > 0.5; });
    setter(iv_persistent, [](CInstance* i, double v) { i->persistent = round_int(v) > 0.5; });
    builtin_fields = fields_.data();
}

CVariableList& RoomInstances::locals(CInstance& inst) {
    return inst.variables;
}
bool RoomInstances::destroyed(CInstance& inst) {
    return inst.destroyed;
}

int32_t RoomInstances::count() {
    CRoom* room = rt_.run.room();
    return room ? int32_t(room->instances.size()) : 0;
}

CInstance* RoomInstances::at(int32_t position) {
    CRoom* room = rt_.run.room();
    if (!room || position < 0 || size_t(position) >= room->instances.size()) return nullptr;
    return room->instances[size_t(position)].get();
}

int32_t RoomInstances::object_count(int32_t object) {
    CRoom* room = rt_.run.room();
    return room ? int32_t(room->instances_of_family(object).size()) : 0;
}

CInstance* RoomInstances::object_at(int32_t object, int32_t position) {
    CRoom* room = rt_.run.room();
    if (!room) return nullptr;
    const auto& list = room->instances_of_family(object);
    return position >= 0 && size_t(position) < list.size() ? list[size_t(position)] : nullptr;
}

CInstance* RoomInstances::find(int32_t id) {
    CRoom* room = rt_.run.room();
    if (!room) return nullptr;
    for (const auto& p : room->instances)
        if (p->id == id) return p.get();
    return nullptr;
}

bool RoomInstances::get_builtin(CInstance& i, int32_t var_id, int32_t index, RValue& out) {
    double v = 0;
    switch (var_id) {
    case iv_x:
        v = i.x;
        break;
    case iv_y:
        v = i.y;
        break;
    case iv_xprevious:
        v = i.xprevious;
        break;
    case iv_yprevious:
        v = i.yprevious;
        break;
    case iv_xstart:
        v = i.xstart;
        break;
    case iv_ystart:
        v = i.ystart;
        break;
    case iv_hspeed:
        v = i.hspeed;
        break;
    case iv_vspeed:
        v = i.vspeed;
        break;
    case iv_direction:
        v = i.direction;
        break;
    case iv_speed:
        v = i.speed;
        break;
    case iv_friction:
        v = i.friction;
        break;
    case iv_gravity:
        v = i.gravity;
        break;
    case iv_gravity_direction:
        v = i.gravity_direction;
        break;
    case iv_object_index:
        v = i.object_index;
        break;
    case iv_id:
        v = i.id;
        break;
    case iv_alarm:
        v = i.get_alarm(index);
        break;
    case iv_solid:
        v = i.solid;
        break;
    case iv_visible:
        v = i.visible;
        break;
    case iv_persistent:
        v = i.persistent;
        break;
    case iv_depth:
        v = i.depth;
        break;
    case iv_bbox_left:
        v = i.bbox_left;
        break;
    case iv_bbox_right:
        v = i.bbox_right;
        break;
    case iv_bbox_top:
        v = i.bbox_top;
        break;
    case iv_bbox_bottom:
        v = i.bbox_bottom;
        break;
    case iv_sprite_index:
        v = i.sprite_index;
        break;
    case iv_image_index:
        v = i.image_index;
        break;
    case iv_image_single:
        v = i.image_single;
        break;
    case iv_image_number:
        v = i.image_number();
        break;
    case iv_sprite_width:
        v = i.sprite_width();
        break;
    case iv_sprite_height:
        v = i.sprite_height();
        break;
    case iv_sprite_xoffset:
        v = i.sprite_xoffset();
        break;
    case iv_sprite_yoffset:
        v = i.sprite_yoffset();
        break;
    case iv_image_scale:
        v = i.image_scale;
        break;
    case iv_image_alpha:
        v = i.image_alpha;
        break;
    case iv_image_speed:
        v = i.image_speed;
        break;
    case iv_mask_index:
        v = i.mask_index;
        break;
    case iv_path_index:
        v = i.path_index;
        break;
    case iv_path_position:
        v = i.path_position;
        break;
    case iv_path_scale:
        v = i.path_scale;
        break;
    case iv_path_orientation:
        v = i.path_orientation;
        break;
    default:
        return false;
    }
    out = RValue(v);
    return true;
}

bool RoomInstances::set_builtin(CInstance& i, int32_t var_id, int32_t index, const RValue& value) {
    // Setters read the value's number whatever its kind.
    double v = value.real;
    int32_t n = round_int(v);
    bool b = n > 0.5;
    switch (var_id) {
    case iv_x:
        i.set_position(v, i.y);
        break;
    case iv_y:
        i.set_position(i.x, v);
        break;
    case iv_xprevious:
        i.xprevious = v;
        break;
    case iv_yprevious:
        i.yprevious = v;
        break;
    case iv_xstart:
        i.xstart = v;
        break;
    case iv_ystart:
        i.ystart = v;
        break;
    case iv_hspeed:
        i.set_hspeed(v);
        break;
    case iv_vspeed:
        i.set_vspeed(v);
        break;
    case iv_direction:
        i.set_direction(v);
        break;
    case iv_speed:
        i.set_speed(v);
        break;
    case iv_friction:
        i.friction = v;
        break;
    case iv_gravity:
        i.gravity = v;
        break;
    case iv_gravity_direction:
        i.gravity_direction = v;
        break;
    case iv_alarm:
        i.set_alarm(index, n);
        break;
    case iv_solid:
        i.solid = b;
        break;
    case iv_visible:
        i.visible = b;
        break;
    case iv_persistent:
        i.persistent = b;
        break;
    case iv_depth:
        i.depth = v;
        break;
    case iv_sprite_index:
        i.set_sprite_index(n);
        break;
    case iv_image_index:
        i.image_index = n;
        break;
    case iv_image_single:
        i.image_single = n;
        break;
    case iv_image_scale:
        i.set_image_scale(v);
        break;
    case iv_image_alpha:
        i.image_alpha = v;
        break;
    case iv_image_speed:
        i.image_speed = v;
        break;
    case iv_mask_index:
        i.set_mask_index(n);
        break;
    case iv_path_index:
        i.path_index = n;
        break;
    case iv_path_position:
        i.path_position = v;
        break;
    case iv_path_scale:
        i.path_scale = v;
        break;
    case iv_path_orientation:
        i.path_orientation = v;
        break;
    default:
        return false;
    }
    return true;
}

} // namespace kelvane
