// The game as read from a game file: header, options, the resource lists, the game
// information and the room order.
#pragma once

#include <cstdint>
#include <vector>

#include "code/Script_Class.h"
#include "graphics/Background_Class.h"
#include "graphics/Sprite_Class.h"
#include "model/Help_Main.h"
#include "model/Object_Class.h"
#include "model/Option_Main.h"
#include "model/Path_Class.h"
#include "model/Resource_List.h"
#include "model/Room_Class.h"
#include "sound/Sound_Class.h"

namespace kelvane {

struct Game {
    GameHeader header;
    GameOptions options;
    ResourceList<CSound> sounds;
    ResourceList<CSprite> sprites;
    ResourceList<CBackground> backgrounds;
    ResourceList<CPath> paths;
    ResourceList<CScript> scripts;
    ResourceList<CObject> objects;
    ResourceList<CRoom> rooms;
    int32_t last_instance_id = 100000;
    int32_t last_tile_id = 10000000;
    GameInformation information;
    std::vector<int32_t> room_order;
    int32_t room_order_version = 420; // 400 ... 420, all alike

    int32_t first_room() const { return room_order.empty() ? -1 : room_order.front(); }
    int32_t last_room() const { return room_order.empty() ? -1 : room_order.back(); }
    int32_t previous_room(int32_t r) const;
    int32_t next_room(int32_t r) const;
};

} // namespace kelvane
