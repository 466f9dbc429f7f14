// A live room: per-object and per-ancestor lists, the depth sort, purge and tiles.
#include <gtest/gtest.h>

#include "run/Game.h"
#include "run/Instance_Class.h"

using namespace kelvane;

namespace {
Game family() {
    Game g;
    for (int i = 0; i < 3; ++i) {
        auto o = std::make_unique<CObject>();
        o->parent = i - 1; // 0 <- 1 <- 2
        g.objects.add("o" + std::to_string(i), std::move(o));
    }
    return g;
}
} // namespace

TEST(LiveRoom, ListsSortAndPurge) {
    Game g = family();
    CRoom room;
    room.rebuild_lists(g);
    double depths[] = {0, 5, 5, -3};
    for (int i = 0; i < 4; ++i) room.add_instance(g, i % 3, 0, 0, 100001 + i)->depth = depths[i];
    EXPECT_EQ(room.instances_of(2).size(), 1u);
    EXPECT_EQ(room.instances_of_family(0).size(), 4u); // every object descends from 0
    EXPECT_EQ(room.instances_of_family(2).size(), 1u);
    room.sort_by_depth();
    std::vector<int32_t> ids;
    for (auto& p : room.instances) ids.push_back(p->id);
    EXPECT_EQ(ids, (std::vector<int32_t>{100002, 100003, 100001, 100004}));
    room.instances[0]->destroyed = true;
    room.purge(g);
    EXPECT_EQ(room.instances.size(), 3u);
    EXPECT_EQ(room.instances_of(1).size(), 0u);
}

TEST(LiveRoom, TilesAreFoundAndDeletedWithTheirEdgeRules) {
    CRoom room;
    int32_t last = 10000000;
    RTile t;
    t.x = 10, t.width = 20, t.y = 0, t.height = 10, t.depth = 0;
    EXPECT_EQ(room.add_tile(t, last), 0);
    EXPECT_EQ(room.tiles[0].id, 10000001);
    EXPECT_EQ(room.find_tile(10000001), 0);
    EXPECT_EQ(room.find_tile(5), -1);
    EXPECT_EQ(room.find_tile_at(29, 5, false), 0);
    EXPECT_EQ(room.find_tile_at(30, 5, false), -1);
    EXPECT_EQ(room.find_tile_at(10, 5, true), -1); // depth 0 is not a foreground
    room.delete_tiles_at(30, 5, true);             // the right edge counts when deleting
    EXPECT_TRUE(room.tiles.empty());
}
