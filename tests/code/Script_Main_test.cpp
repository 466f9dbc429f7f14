// Scripts and compiled actions: compile all, calls with argument slots, the set-variable
// action's assignment text, and the reset of the script state.
#include <gtest/gtest.h>

#include "Fake_Room.h"

namespace kelvane {
namespace {

using testing::ScriptRuntime;

TEST(Scripts, CompileAllAndCall) {
    ScriptRuntime s;
    s.add_script("twice", "return argument0 * 2");
    s.rt.game.scripts.resize(3); // an empty slot
    s.add_script("later", "return twice(argument1)");
    compile_all_scripts(s.rt);
    EXPECT_TRUE(s.rt.game.scripts.get(0)->compiled);
    EXPECT_FALSE(script_exists(s.rt, 2));
    EXPECT_EQ(script_name(s.rt, 2), "<undefined>");
    EXPECT_EQ(find_script(s.rt, "later"), 3);
    RValue args[2] = {RValue(1), RValue(21)};
    RValue result;
    ASSERT_TRUE(call_script(s.rt, 3, nullptr, nullptr, args, 2, result));
    EXPECT_EQ(result.real, 42);
    EXPECT_FALSE(call_script(s.rt, 2, nullptr, nullptr, args, 2, result));
    EXPECT_FALSE(call_script(s.rt, 9, nullptr, nullptr, args, 2, result));
}

TEST(Scripts, ArgumentSlotsAreRestoredAfterEveryCall) {
    ScriptRuntime s;
    testing::FakeInstance& self = s.room.add(0);
    // The callee changes slots it got and slots it did not get, directly and by index.
    s.add_script("scribble", "argument0 = 'a'; argument7 = 'b'; argument[9] = 'c'; "
                             "return argument3");
    compile_all_scripts(s.rt);
    for (int i = 0; i < 10; ++i) s.rt.script.arguments[size_t(i)] = RValue(double(i + 1));
    RValue args[1] = {RValue(50)};
    RValue result;
    ASSERT_TRUE(call_script(s.rt, 0, testing::handle(self), nullptr, args, 1, result));
    EXPECT_EQ(result.real, 4); // argument3 kept the caller's value
    for (int i = 0; i < 10; ++i) EXPECT_EQ(s.rt.script.arguments[size_t(i)].real, i + 1) << i;
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
}

// Script n compiled again from `text`: the old code is freed first, so that the new one
// may lie where it was.
void give_new_code(ScriptRuntime& s, int32_t n, const std::string& text) {
    std::shared_ptr<CCode>& code = s.rt.game.scripts.get(n)->compiled;
    code.reset();
    code = std::make_shared<CCode>(text, s.rt);
}

// The machine keeps a script call's callee at the call site: code that calls a script
// whose code was replaced since (a script compiled again) must call the new code, also
// when the new code lies where the old one was.
TEST(Scripts, ACallSiteFollowsTheScriptsCurrentCode) {
    ScriptRuntime s;
    s.add_script("f", "return 1");
    compile_all_scripts(s.rt);
    CCode caller("return f() * 10 + f()", s.rt);
    EXPECT_EQ(run_program(s.rt, nullptr, nullptr, caller).real, 11);
    for (int round = 2; round < 6; ++round) {
        give_new_code(s, 0, "return " + std::to_string(round));
        EXPECT_EQ(run_program(s.rt, nullptr, nullptr, caller).real, round * 11) << round;
    }
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
}

// The frame of a call is kept for the next call of the same code; a script given new code
// (freed and made again, maybe in the same place) gets a frame shaped for that code: its
// registers, with levels and variable slots.
TEST(Scripts, AFrameIsShapedForEachNewCodeOfAScript) {
    ScriptRuntime s;
    s.add_script("f", "return argument0 + 1");
    compile_all_scripts(s.rt);
    CCode caller("return f(1) + f(2) * 10", s.rt);
    struct Case {
        const char* text;
        double result;
    };
    const Case cases[] = {
        {"return argument0 + 1", 32},
        {"global.a = argument0 * 2 return max(global.a, 1) + min(argument0, 0)", 42},
        {"with (self) global.c = 1 global.b = argument0 return global.b + argument0 * 3", 84},
    };
    for (int round = 0; round < 6; ++round) {
        const Case& c = cases[round % 3];
        give_new_code(s, 0, c.text);
        EXPECT_EQ(run_program(s.rt, nullptr, nullptr, caller).real, c.result) << c.text;
    }
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
}

TEST(Actions, CompilingSetVariableAndOtherActions) {
    ScriptRuntime s;
    auto obj = std::make_unique<CObject>();
    CEvent* e = obj->event_slot(ev_step, 0);
    CAction set;
    set.function = set_variable_action;
    set.arguments[0] = "x";
    set.arguments[1] = "5";
    CAction rel = set;
    rel.relative = true;
    CAction other;
    other.function = 7;
    other.arguments[1] = "1 + 2";
    e->actions = {set, rel, other};
    s.rt.game.objects.add("o", std::move(obj));
    s.rt.game.objects.resize(2); // an absent object is passed over
    compile_object_actions(s.rt);
    const auto& acts = s.rt.game.objects.get(0)->events[ev_step].at(0).actions;
    ASSERT_TRUE(acts[0].codes[0]);
    EXPECT_EQ(acts[0].codes[0]->text(), "x = 5");
    EXPECT_EQ(acts[1].codes[0]->text(), "x += 5");
    for (int i = 1; i < 8; ++i) EXPECT_FALSE(acts[0].codes[size_t(i)]);
    for (int i = 0; i < 8; ++i) ASSERT_TRUE(acts[2].codes[size_t(i)]) << i;
    EXPECT_TRUE(acts[2].codes[0]->is_constant());
    EXPECT_EQ(evaluate_expression(s.rt, nullptr, nullptr, *acts[2].codes[1]).real, 3);
}

TEST(ScriptState, ResetAndGameStart) {
    ScriptRuntime s;
    s.rt.script.arguments[4] = RValue(3);
    s.rt.script.globals.set(s.rt.script.names.intern("g"), 0, RValue(1));
    s.rt.script.values.score = 9;
    s.rt.script.values.transition_steps = 2;
    reset_script_state(s.rt);
    EXPECT_EQ(s.rt.script.arguments[4].real, 0);
    EXPECT_EQ(s.rt.script.globals.count(), 0);
    EXPECT_EQ(s.rt.script.names.count(), 0);
    start_game_values(s.rt);
    EXPECT_EQ(s.rt.script.values.score, 0);
    EXPECT_EQ(s.rt.script.values.lives, -1);
    EXPECT_EQ(s.rt.script.values.transition_steps, 40);
}

} // namespace
} // namespace kelvane
