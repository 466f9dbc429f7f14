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
