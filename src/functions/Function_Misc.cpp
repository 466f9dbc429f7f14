// Code executed from text or files, and the resource queries: each takes a resource index;
// `_exists` answers 1 or 0, a name query "<undefined>" and any other query -1 for a
// resource that does not exist.
#include "functions/Function_Misc.h"

#include <fstream>
#include <sstream>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

int32_t n(const RValue& v) {
    return to_int32(v.real);
}

#define H(name)                                                                                    \
    void name(Runtime& rt, CInstance* self, CInstance* other, int32_t, RValue& result,             \
              const RValue* a)

void execute_text(Runtime& rt, CInstance* self, CInstance* other, const std::string& text,
                  RValue& result) {
    CCode code(text, rt);
    result = run_program(rt, self, other, code);
}

H(fn_execute_string) {
    execute_text(rt, self, other, a[0].str.str(), result);
}

// The file's lines, each followed by a carriage return.
H(fn_execute_file) {
    std::optional<std::string> host = rt.file_names.to_host(a[0].str.str());
    std::ifstream in;
    if (host) in.open(*host, std::ios::binary);
    if (!in) {
        report_error(rt, "Trying to execute non-existing file.", false);
        return;
    }
    std::string text, line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        text += line;
        text += '\r';
    }
    execute_text(rt, self, other, text, result);
}

// ---- resource queries ----

// The value of `field` for an existing resource, else -1 (or the name rule).
template <typename T, typename F>
void query(const ResourceList<T>& list, const RValue& index, RValue& result, F field) {
    const T* item = list.get(n(index));
    result = item ? RValue(double(field(*item))) : RValue(-1.0);
}

#define EXISTS(fn, list)                                                                           \
    H(fn) {                                                                                        \
        (void)self, (void)other;                                                                   \
        result = RValue(rt.game.list.exists(n(a[0])) ? 1.0 : 0.0);                                 \
    }
#define NAME(fn, list)                                                                             \
    H(fn) {                                                                                        \
        (void)self, (void)other;                                                                   \
        result = RValue(rt.game.list.name(n(a[0])));                                               \
    }
#define FIELD(fn, list, expr)                                                                      \
    H(fn) {                                                                                        \
        (void)self, (void)other;                                                                   \
        query(rt.game.list, a[0], result, [](const auto& r) { return expr; });                     \
    }

EXISTS(fn_object_exists, objects)
NAME(fn_object_name, objects)
FIELD(fn_object_get_sprite, objects, r.sprite)
FIELD(fn_object_get_solid, objects, r.solid)
FIELD(fn_object_get_visible, objects, r.visible)
FIELD(fn_object_get_depth, objects, r.depth)
FIELD(fn_object_get_persistent, objects, r.persistent)
FIELD(fn_object_get_mask, objects, r.mask)
FIELD(fn_object_get_parent, objects, r.parent)

// Whether `par` occurs in the parent chain of `obj` (never obj itself, unless the chain
// loops back to it); a looping chain is followed at most once round.
H(fn_object_is_ancestor) {
    (void)self, (void)other;
    int32_t obj = n(a[0]), par = n(a[1]);
    const CObject* o = rt.game.objects.get(obj);
    if (!o) return void(result = RValue(-1.0));
    int32_t steps = rt.game.objects.count();
    for (int32_t p = o->parent; p >= 0 && steps-- >= 0;) {
        if (p == par) return void(result = RValue(1.0));
        const CObject* next = rt.game.objects.get(p);
        if (!next) break;
        p = next->parent;
    }
    result = RValue(0.0);
}

EXISTS(fn_sprite_exists, sprites)
NAME(fn_sprite_name, sprites)
FIELD(fn_sprite_get_number, sprites, r.number)
FIELD(fn_sprite_get_width, sprites, r.width)
FIELD(fn_sprite_get_height, sprites, r.height)
FIELD(fn_sprite_get_transparent, sprites, r.transparent)
FIELD(fn_sprite_get_xoffset, sprites, r.xoffset)
FIELD(fn_sprite_get_yoffset, sprites, r.yoffset)
FIELD(fn_sprite_get_bbox_left, sprites, r.bbox_left)
FIELD(fn_sprite_get_bbox_right, sprites, r.bbox_right)
FIELD(fn_sprite_get_bbox_top, sprites, r.bbox_top)
FIELD(fn_sprite_get_bbox_bottom, sprites, r.bbox_bottom)
FIELD(fn_sprite_get_precise, sprites, r.precise)
FIELD(fn_sprite_get_videomem, sprites, r.videomem)
FIELD(fn_sprite_get_loadonuse, sprites, r.loadonuse)

EXISTS(fn_background_exists, backgrounds)
NAME(fn_background_name, backgrounds)
FIELD(fn_background_get_width, backgrounds, r.width)
FIELD(fn_background_get_height, backgrounds, r.height)
FIELD(fn_background_get_transparent, backgrounds, r.transparent)
FIELD(fn_background_get_videomem, backgrounds, r.videomem)
FIELD(fn_background_get_loadonuse, backgrounds, r.loadonuse)

EXISTS(fn_room_exists, rooms)
NAME(fn_room_name, rooms)

EXISTS(fn_sound_exists, sounds)
NAME(fn_sound_name, sounds)
FIELD(fn_sound_get_kind, sounds, r.kind)
FIELD(fn_sound_get_buffers, sounds, r.buffers)
FIELD(fn_sound_get_effects, sounds, r.effects)
FIELD(fn_sound_get_loadonuse, sounds, r.loadonuse)

EXISTS(fn_script_exists, scripts)
NAME(fn_script_name, scripts)
H(fn_script_get_text) {
    (void)self, (void)other;
    const CScript* s = rt.game.scripts.get(n(a[0]));
    result = RValue(s ? s->code : std::string());
}

EXISTS(fn_path_exists, paths)
NAME(fn_path_name, paths)
H(fn_path_get_length) {
    (void)self, (void)other;
    const CPath* p = rt.game.paths.get(n(a[0]));
    result = RValue(p ? p->length : -1.0);
}
FIELD(fn_path_get_kind, paths, r.kind)
FIELD(fn_path_get_end, paths, r.end)

#undef EXISTS
#undef NAME
#undef FIELD
#undef H

const RFunction misc[] = {
    {"execute_string", fn_execute_string, 1},
    {"execute_file", fn_execute_file, 1},
    {"object_exists", fn_object_exists, 1},
    {"object_name", fn_object_name, 1},
    {"object_get_name", fn_object_name, 1},
    {"object_get_sprite", fn_object_get_sprite, 1},
    {"object_get_solid", fn_object_get_solid, 1},
    {"object_get_visible", fn_object_get_visible, 1},
    {"object_get_depth", fn_object_get_depth, 1},
    {"object_get_persistent", fn_object_get_persistent, 1},
    {"object_get_mask", fn_object_get_mask, 1},
    {"object_get_parent", fn_object_get_parent, 1},
    {"object_is_ancestor", fn_object_is_ancestor, 2},
    {"sprite_exists", fn_sprite_exists, 1},
    {"sprite_name", fn_sprite_name, 1},
    {"sprite_get_name", fn_sprite_name, 1},
    {"sprite_get_number", fn_sprite_get_number, 1},
    {"sprite_get_width", fn_sprite_get_width, 1},
    {"sprite_get_height", fn_sprite_get_height, 1},
    {"sprite_get_transparent", fn_sprite_get_transparent, 1},
    {"sprite_get_xoffset", fn_sprite_get_xoffset, 1},
    {"sprite_get_yoffset", fn_sprite_get_yoffset, 1},
    {"sprite_get_bbox_left", fn_sprite_get_bbox_left, 1},
    {"sprite_get_bbox_right", fn_sprite_get_bbox_right, 1},
    {"sprite_get_bbox_top", fn_sprite_get_bbox_top, 1},
    {"sprite_get_bbox_bottom", fn_sprite_get_bbox_bottom, 1},
    {"sprite_get_precise", fn_sprite_get_precise, 1},
    {"sprite_get_videomem", fn_sprite_get_videomem, 1},
    {"sprite_get_loadonuse", fn_sprite_get_loadonuse, 1},
    {"background_exists", fn_background_exists, 1},
    {"background_name", fn_background_name, 1},
    {"background_get_name", fn_background_name, 1},
    {"background_get_width", fn_background_get_width, 1},
    {"background_get_height", fn_background_get_height, 1},
    {"background_get_transparent", fn_background_get_transparent, 1},
    {"background_get_videomem", fn_background_get_videomem, 1},
    {"background_get_loadonuse", fn_background_get_loadonuse, 1},
    {"room_exists", fn_room_exists, 1},
    {"room_name", fn_room_name, 1},
    {"room_get_name", fn_room_name, 1},
    {"sound_exists", fn_sound_exists, 1},
    {"sound_name", fn_sound_name, 1},
    {"sound_get_name", fn_sound_name, 1},
    {"sound_get_kind", fn_sound_get_kind, 1},
    {"sound_get_buffers", fn_sound_get_buffers, 1},
    {"sound_get_effects", fn_sound_get_effects, 1},
    {"sound_get_loadonuse", fn_sound_get_loadonuse, 1},
    {"script_exists", fn_script_exists, 1},
    {"script_name", fn_script_name, 1},
    {"script_get_name", fn_script_name, 1},
    {"script_get_text", fn_script_get_text, 1},
    {"path_exists", fn_path_exists, 1},
    {"path_name", fn_path_name, 1},
    {"path_get_name", fn_path_name, 1},
    {"path_get_length", fn_path_get_length, 1},
    {"path_get_kind", fn_path_get_kind, 1},
    {"path_get_end", fn_path_get_end, 1},
};

} // namespace

std::span<const RFunction> misc_functions() {
    return misc;
}

} // namespace kelvane
