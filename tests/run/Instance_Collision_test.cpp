// Instance setters and derived fields, and the collision tests with masks.
#include <gtest/gtest.h>

#include "run/Collision_Main.h"
#include "run/Game.h"
#include "run/Instance_Class.h"
#include "run/Sprite_Game.h"

using namespace kelvane;

namespace {

// A game with one sprite and one object (Sprite_Game.h), precise or not.
Game game_with_sprite(bool precise) {
    Game g;
    kelvane::testing::add_sprite_and_object(g, precise);
    return g;
}

} // namespace

TEST(Instance, DirectionAndSpeedFollowEachOther) {
    Game g = game_with_sprite(false);
    CInstance i(g, 100001, 0, 0, 0);
    i.set_vspeed(3);
    EXPECT_EQ(i.direction, 270);
    EXPECT_EQ(i.speed, 3);
    i.set_direction(450);
    EXPECT_EQ(i.direction, 90);
    EXPECT_EQ(i.vspeed, -3);
    EXPECT_EQ(i.hspeed, 0); // cos 90 is snapped to 0
    i.set_direction(-90);
    EXPECT_EQ(i.direction, 270);
    i.set_hspeed(0);
    i.set_vspeed(0);
    EXPECT_EQ(i.direction, 0);
    EXPECT_EQ(i.speed, 0);
}

TEST(Instance, BoundingBoxFollowsPositionScaleAndMissingSprites) {
    Game g = game_with_sprite(false);
    CInstance i(g, 100001, 0, 10, 20);
    // The box of the sprite's pixels that are not see-through: (0, 0) ... (1, 1).
    EXPECT_EQ(i.bbox_left, 10);
    EXPECT_EQ(i.bbox_right, 11);
    EXPECT_EQ(i.bbox_bottom, 21);
    i.set_image_scale(2);
    EXPECT_EQ(i.bbox_right, 12);
    i.set_sprite_index(5); // no such sprite: far away, never precise
    EXPECT_EQ(i.bbox_left, -100000);
    EXPECT_FALSE(i.precise);
    EXPECT_EQ(i.image_number(), 0);
}

TEST(Collision, BoxesAreInclusiveAndMasksDecideForPreciseSprites) {
    for (bool precise : {false, true}) {
        Game g = game_with_sprite(precise);
        // Widen the box to the whole frame so the mask matters.
        CSprite* s = g.sprites.get(0);
        s->bbox_right = s->bbox_bottom = 3;
        CollisionMasks masks;
        masks.build_all(g, [](const std::string&) {});
        CInstance a(g, 100001, 0, 0, 0), b(g, 100002, 0, 3, 3);
        // The boxes share one pixel, (3, 3): see-through in a's frame.
        EXPECT_EQ(instances_collide(masks, a, b), !precise) << precise;
        EXPECT_FALSE(instances_collide(masks, a, a)); // never with itself
        EXPECT_TRUE(instance_contains_point(masks, a, 1, 1));
        EXPECT_EQ(instance_contains_point(masks, a, 3, 3), !precise); // the edge is inside
        EXPECT_FALSE(instance_contains_point(masks, a, 4, 3));
        b.set_position(1, 1);
        EXPECT_TRUE(instances_collide(masks, a, b));
        b.destroyed = true;
        EXPECT_FALSE(instances_collide(masks, a, b));
    }
}

// The grid finds every instance whose box meets a given one, among instances of all sizes,
// instances without a shape, far-out and destroyed ones, in ascending list order.
TEST(CollisionGrid, FindsEveryOverlappingBoxInListOrder) {
    Game g = game_with_sprite(false);
    std::vector<std::unique_ptr<CInstance>> owned;
    std::vector<CInstance*> list;
    uint32_t seed = 12345;
    auto next = [&](int32_t range) {
        seed = seed * 1103515245u + 12345u;
        return int32_t((seed >> 8) % uint32_t(range));
    };
    for (int32_t k = 0; k < 400; ++k) {
        owned.push_back(std::make_unique<CInstance>(g, 100001 + k, 0, next(600) - 50, next(400)));
        CInstance& i = *owned.back();
        if (k % 7 == 0) i.set_image_scale(1 + next(40)); // boxes up to 80 pixels
        if (k % 53 == 0) i.set_image_scale(5000);        // covers everything
        if (k % 31 == 0) i.set_position(200000, 5);      // far out
        if (k % 41 == 0) i.set_sprite_index(-1);         // no shape
        if (k % 17 == 0) i.destroyed = true;
        list.push_back(&i);
    }
    CollisionGrid grid;
    grid.build(list, list.size());
    std::vector<uint32_t> found;
    for (CInstance* probe : list) {
        grid.query(*probe, found);
        ASSERT_TRUE(std::is_sorted(found.begin(), found.end()));
        std::vector<uint32_t> colliding, expected;
        for (uint32_t j : found)
            if (instances_collide(CollisionMasks(), *probe, *list[j])) colliding.push_back(j);
        for (uint32_t j = 0; j < list.size(); ++j)
            if (instances_collide(CollisionMasks(), *probe, *list[j])) expected.push_back(j);
        EXPECT_EQ(colliding, expected) << "probe " << probe->id;
    }
}

// Precise instances at the ends of the coordinate range meet without overflowing.
TEST(InstanceCollision, PreciseInstancesFarOut) {
    Game g = game_with_sprite(true);
    CInstance a(g, 100001, 0, 2147483646.0, -2147483647.0);
    CInstance b(g, 100002, 0, 2147483646.0, -2147483647.0);
    EXPECT_TRUE(instances_collide(CollisionMasks(), a, b));
    EXPECT_TRUE(instance_contains_point(CollisionMasks(), a, 2147483647.0, -2147483647.0));
}

// Unscaled precise instances meet exactly where both masks hold a pixel: every placement
// of two ring-shaped sprites with their origins off the corner, and a ring against an
// instance without a precise shape, checked against the pixels themselves.
TEST(Collision, UnscaledMasksMeetWhereBothHoldAPixel) {
    Game g;
    auto ring = [](int32_t xorig, int32_t yorig, bool precise) {
        auto s = std::make_unique<CSprite>();
        s->width = s->height = 5;
        Bitmap24 frame(5, 5, 0x00ff00); // the bottom-left pixel, so see-through
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                if (x == 0 || x == 4 || y == 0 || y == 3) frame.set_pixel(x, y, 0x0000ff);
        frame.set_pixel(0, 4, 0x00ff00);
        s->frames.push_back(frame);
        s->number = 1;
        s->precise = precise;
        s->xoffset = xorig, s->yoffset = yorig;
        s->compute_bounding_box();
        return s;
    };
    g.sprites.add("a", ring(2, 1, true));
    g.sprites.add("b", ring(0, 3, true));
    g.sprites.add("box", ring(1, 1, false));
    for (int32_t i = 0; i < 3; ++i) {
        auto o = std::make_unique<CObject>();
        o->sprite = i;
        g.objects.add("o" + std::to_string(i), std::move(o));
    }
    CollisionMasks masks;
    masks.build_all(g, [](const std::string&) {});
    // Does the room pixel (x, y) belong to the instance's shape?
    auto holds = [&](const CInstance& inst, int32_t x, int32_t y) {
        const CSprite* s = g.sprites.get(inst.sprite_index);
        if (x < inst.bbox_left || x > inst.bbox_right || y < inst.bbox_top || y > inst.bbox_bottom)
            return false;
        if (!s->precise) return true;
        int32_t px = x - int32_t(inst.x) + s->xoffset, py = y - int32_t(inst.y) + s->yoffset;
        return s->frames[0].pixel(px, py) != 0x00ff00;
    };
    for (int32_t other : {1, 2}) {
        int hits = 0, misses = 0;
        for (int32_t dy = -7; dy <= 7; ++dy)
            for (int32_t dx = -7; dx <= 7; ++dx) {
                CInstance a(g, 100001, 0, 20, 20), b(g, 100002, other, 20 + dx, 20 + dy);
                bool expected = false;
                for (int32_t y = 10; y < 35 && !expected; ++y)
                    for (int32_t x = 10; x < 35 && !expected; ++x)
                        expected = holds(a, x, y) && holds(b, x, y);
                EXPECT_EQ(instances_collide(masks, a, b), expected) << dx << "," << dy;
                EXPECT_EQ(instances_collide(masks, b, a), expected) << dx << "," << dy;
                (expected ? hits : misses)++;
            }
        EXPECT_GT(hits, 10) << other;
        EXPECT_GT(misses, 10) << other;
    }
}
