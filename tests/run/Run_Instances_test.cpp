// The instance built-ins of the run engine's instances as code reaches them: the fields
// that the compiled interpreter reads and writes straight, and the setters it must still
// go through, give the same instance as the tree walker does.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "run/Game.h"
#include "run/Instance_Class.h"
#include "run/Run_Instances.h"
#include "run/Runtime.h"
#include "run/Sprite_Game.h"

using namespace kelvane;

namespace {

// A program run on an instance at (10, 20) by the tree walker or the compiler.
struct CodeRun {
    Runtime rt;
    RoomInstances instances{rt};
    CInstance* inst = nullptr;
    std::unique_ptr<CInstance> owned;
    RValue result;
    std::vector<std::string> reports;

    CodeRun(const std::string& program, bool compiled) {
        kelvane::testing::add_sprite_and_object(rt.game, false);
        reset_script_state(rt);
        start_game_values(rt);
        rt.script.compiled = compiled;
        rt.script.reporter.game_running = true;
        rt.script.reporter.handler = [this](const std::string& m, bool) { reports.push_back(m); };
        rt.script.instances = &instances;
        owned = std::make_unique<CInstance>(rt.game, 100001, 0, 10, 20);
        inst = owned.get();
        CCode code(program, rt);
        result = run_program(rt, inst, inst, code);
    }
};

} // namespace

TEST(RunInstances, CodeWritesBuiltInsWithTheirSettersEffects) {
    // Position and box, speed and direction, plain fields, a string into a real field,
    // reads in place as operands.
    const std::string program = "x = 30; y += 5; depth = 'ab'; xprevious = 4.5\r\n"
                                "hspeed = 3; speed *= 2; image_alpha /= 4; visible = 0.4\r\n"
                                "gravity = 2; gravity += xprevious; self.friction = y - x\r\n"
                                "return bbox_left + bbox_top * 1000 + bbox_right * 1000000";
    for (bool compiled : {false, true}) {
        SCOPED_TRACE(compiled ? "compiled" : "tree walker");
        CodeRun o(program, compiled);
        EXPECT_TRUE(o.reports.empty()) << o.reports.front();
        EXPECT_EQ(o.result.real, 30 + 25 * 1000 + 31 * 1000000);
        EXPECT_EQ(o.inst->x, 30);
        EXPECT_EQ(o.inst->y, 25);
        EXPECT_EQ(o.inst->bbox_left, 30);
        EXPECT_EQ(o.inst->bbox_bottom, 26);
        EXPECT_EQ(o.inst->depth, 0);
        EXPECT_EQ(o.inst->xprevious, 4.5);
        EXPECT_EQ(o.inst->direction, 0);
        EXPECT_EQ(o.inst->speed, 6);
        EXPECT_EQ(o.inst->hspeed, 6);
        EXPECT_EQ(o.inst->image_alpha, 0.25);
        EXPECT_FALSE(o.inst->visible);
        EXPECT_EQ(o.inst->gravity, 6.5);
        EXPECT_EQ(o.inst->friction, -5);
    }
}

TEST(RunInstances, ReadOnlyBuiltInsRefuseWritesAlike) {
    for (const char* program : {"x = 3; id = 5; x = 4", "x = 3; bbox_left += 1; x = 4",
                                "x = 3; y /= 0; x = 4", "x = 3; y += 'a'; x = 4"}) {
        CodeRun tree(program, false);
        CodeRun compiled(program, true);
        ASSERT_EQ(tree.reports.size(), 1u) << program;
        EXPECT_EQ(compiled.reports, tree.reports) << program;
        EXPECT_EQ(compiled.inst->x, 3) << program;
        EXPECT_EQ(compiled.inst->y, 20) << program;
    }
}

TEST(RunInstances, EveryWritableBuiltInEndsAsTheTreeWalkerLeavesIt) {
    // Each writable built-in with a field, written plainly and combined, with values that
    // round, halves, a string and values beyond the integers.
    const char* const names[] = {"x",
                                 "y",
                                 "xprevious",
                                 "yprevious",
                                 "xstart",
                                 "ystart",
                                 "hspeed",
                                 "vspeed",
                                 "direction",
                                 "speed",
                                 "friction",
                                 "gravity",
                                 "gravity_direction",
                                 "solid",
                                 "visible",
                                 "persistent",
                                 "depth",
                                 "sprite_index",
                                 "image_index",
                                 "image_single",
                                 "image_scale",
                                 "image_alpha",
                                 "image_speed",
                                 "mask_index",
                                 "path_index",
                                 "path_position",
                                 "path_scale",
                                 "path_orientation"};
    const char* const values[] = {"2.5", "-0.5", "0.6", "'s'", "1e12", "-3.5"};
    for (const char* name : names) {
        for (const char* value : values) {
            std::string n = name;
            std::string program = n + " = " + value + "; " + n + " += 1.5; " + n + " *= " + value +
                                  "; self." + n + " -= 0.25; return " + n + " + 0";
            CodeRun tree(program, false);
            CodeRun compiled(program, true);
            SCOPED_TRACE(program);
            EXPECT_EQ(compiled.reports, tree.reports);
            EXPECT_EQ(compiled.result.real, tree.result.real);
            const CInstance& a = *tree.inst;
            const CInstance& b = *compiled.inst;
            auto same = [](double p, double q) { return p == q || (p != p && q != q); };
            for (auto [p, q] : {std::pair{a.x, b.x},
                                {a.y, b.y},
                                {a.xprevious, b.xprevious},
                                {a.yprevious, b.yprevious},
                                {a.xstart, b.xstart},
                                {a.ystart, b.ystart},
                                {a.hspeed, b.hspeed},
                                {a.vspeed, b.vspeed},
                                {a.direction, b.direction},
                                {a.speed, b.speed},
                                {a.friction, b.friction},
                                {a.gravity, b.gravity},
                                {a.gravity_direction, b.gravity_direction},
                                {a.depth, b.depth},
                                {a.image_index, b.image_index},
                                {a.image_single, b.image_single},
                                {a.image_scale, b.image_scale},
                                {a.image_alpha, b.image_alpha},
                                {a.image_speed, b.image_speed},
                                {a.path_position, b.path_position},
                                {a.path_scale, b.path_scale},
                                {a.path_orientation, b.path_orientation}})
                EXPECT_TRUE(same(p, q)) << p << " " << q;
            for (auto [p, q] : {std::pair{a.sprite_index, b.sprite_index},
                                {a.mask_index, b.mask_index},
                                {a.path_index, b.path_index},
                                {a.bbox_left, b.bbox_left},
                                {a.bbox_top, b.bbox_top},
                                {a.bbox_right, b.bbox_right},
                                {a.bbox_bottom, b.bbox_bottom}})
                EXPECT_EQ(p, q);
            EXPECT_EQ(a.solid, b.solid);
            EXPECT_EQ(a.visible, b.visible);
            EXPECT_EQ(a.persistent, b.persistent);
        }
    }
}
