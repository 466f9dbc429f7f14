// The object record of the game file and the object's own event lookups.
#include "model/Object_Class.h"

#include <algorithm>

namespace kelvane {

CEvent* CObject::event_slot(int32_t type, int32_t number) {
    if (type < 0 || type >= event_type_count || number < 0) return nullptr;
    return &events[size_t(type)][number];
}

const CEvent* CObject::own_event(int32_t type, int32_t number) const {
    if (type < 0 || type >= event_type_count || number < 0) return nullptr;
    const auto& list = events[size_t(type)];
    auto it = list.find(number);
    if (it == list.end() || it->second.actions.empty()) return nullptr;
    return &it->second;
}

bool CObject::has_own_events_of_type(int32_t type) const {
    if (type < 0 || type >= event_type_count) return false;
    for (const auto& [number, e] : events[size_t(type)])
        if (!e.actions.empty()) return true;
    return false;
}

void CObject::clear() {
    *this = CObject();
}

bool CObject::read(CStream& s) {
    clear();
    version = ReadInt(s);
    if (version != 400 && version != 430) return false;
    sprite = ReadInt(s);
    solid = ReadBool(s);
    visible = ReadBool(s);
    depth = ReadInt(s);
    persistent = ReadBool(s);
    parent = ReadInt(s);
    mask = ReadInt(s);
    int32_t last = 8;
    if (version == 430) {
        size_t at = s.file_offset();
        last = ReadInt(s);
        if (last >= event_type_count)
            throw StreamError("impossible event type " + std::to_string(last), at);
        last_event_type = last;
    }
    for (int32_t t = 0; t <= last; ++t) {
        for (;;) {
            int32_t number = ReadInt(s);
            if (number < 0) break;
            if (!event_slot(t, number)->read(s)) return false;
        }
    }
    return true;
}

void CObject::write(CStream& s) const {
    int32_t v = version;
    if (v == 400 && (!events[ev_keypress].empty() || !events[ev_keyrelease].empty())) v = 430;
    int32_t last = v == 400 ? ev_draw : std::min(last_event_type, event_type_count - 1);
    if (v == 430)
        for (int32_t t = last + 1; t < event_type_count; ++t)
            if (!events[size_t(t)].empty()) last = t;
    WriteInt(s, v);
    WriteInt(s, sprite);
    WriteBool(s, solid);
    WriteBool(s, visible);
    WriteInt(s, depth);
    WriteBool(s, persistent);
    WriteInt(s, parent);
    WriteInt(s, mask);
    if (v == 430) WriteInt(s, last);
    for (int32_t t = 0; t <= last; ++t) {
        for (const auto& [number, e] : events[size_t(t)]) {
            WriteInt(s, number);
            e.write(s);
        }
        WriteInt(s, -1);
    }
}

} // namespace kelvane
