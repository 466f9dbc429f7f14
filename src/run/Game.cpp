// Room order navigation.
#include "run/Game.h"

namespace kelvane {

int32_t Game::previous_room(int32_t r) const {
    if (room_order.size() < 2) return -1;
    for (size_t k = 1; k < room_order.size(); ++k)
        if (room_order[k] == r) return room_order[k - 1];
    return -1;
}

int32_t Game::next_room(int32_t r) const {
    if (room_order.size() < 2) return -1;
    for (size_t k = room_order.size() - 1; k-- > 0;)
        if (room_order[k] == r) return room_order[k + 1];
    return -1;
}

} // namespace kelvane
