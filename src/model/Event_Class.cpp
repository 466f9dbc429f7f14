// The event record of the game file.
#include "model/Event_Class.h"

namespace kelvane {

bool CEvent::read(CStream& s) {
    if (ReadInt(s) != 400) return false;
    int32_t n = ReadCount(s, "action count", 1 << 20, 20);
    // A number stored twice appends to the same event.
    actions.reserve(actions.size() + size_t(n));
    for (int32_t i = 0; i < n; ++i) {
        CAction a;
        if (!a.read(s)) return false;
        actions.push_back(std::move(a));
    }
    return true;
}

void CEvent::write(CStream& s) const {
    WriteInt(s, 400);
    WriteInt(s, count());
    for (const auto& a : actions) a.write(s);
}

} // namespace kelvane
