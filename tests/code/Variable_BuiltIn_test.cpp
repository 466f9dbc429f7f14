// The built-in variable registry and the variable access layer's scope rules.
#include <gtest/gtest.h>

#include "Fake_Room.h"

namespace kelvane {
namespace {

using testing::ScriptRuntime;

TEST(BuiltIns, TablesInRegistrationOrder) {
    EXPECT_EQ(global_builtins().size(), 102u);
    EXPECT_EQ(instance_builtins().size(), 40u);
    struct Case {
        const char* name;
        int32_t id;
        bool writable;
        int32_t array;
    } cases[] = {
        {"argument", 0, true, 10},
        {"argument0", 1, true, 0},
        {"argument9", 10, true, 0},
        {"room", 11, true, 0},
        {"room_first", 12, false, 0},
        {"score", 17, true, 0},
        {"instance_id", 23, false, -1},
        {"background_x", 34, true, 8},
        {"background_width", 36, false, 8},
        {"view_object", 56, true, 8},
        {"fps", 72, false, 0},
        {"error_last", 101, true, 0},
        {"x", 1000, true, 0},
        {"object_index", 1013, false, 0},
        {"alarm", 1015, true, 8},
        {"path_orientation", 1039, true, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(find_builtin(c.name), c.id) << c.name;
        const RBuiltIn* e = builtin_entry(c.id);
        ASSERT_TRUE(e) << c.name;
        EXPECT_EQ(e->writable, c.writable) << c.name;
        EXPECT_EQ(e->array, c.array) << c.name;
    }
    EXPECT_EQ(find_builtin("hp"), -1);
    EXPECT_EQ(builtin_entry(102), nullptr);
    EXPECT_EQ(builtin_entry(1040), nullptr);
    // An index outside an array means index 0.
    const RBuiltIn& alarm = *builtin_entry(iv_alarm);
    EXPECT_EQ(builtin_array_index(alarm, 9), 0);
    EXPECT_EQ(builtin_array_index(alarm, 7), 7);
    EXPECT_EQ(builtin_array_index(*builtin_entry(bv_score), 3), 0);
}

TEST(BuiltIns, SetterConversions) {
    struct Case {
        BuiltInForm form;
        double in;
        double out;
    } cases[] = {
        {BuiltInForm::integer, 2.5, 2}, {BuiltInForm::integer, 3.5, 4},
        {BuiltInForm::boolean, 0.5, 0}, {BuiltInForm::boolean, 0.6, 1},
        {BuiltInForm::boolean, 1.5, 1}, {BuiltInForm::real, 0.25, 0.25},
    };
    for (const auto& c : cases) EXPECT_EQ(convert_builtin(c.form, RValue(c.in)).real, c.out);
    RValue s("text");
    EXPECT_EQ(convert_builtin(BuiltInForm::integer, s).kind, kind_real);
    EXPECT_EQ(convert_builtin(BuiltInForm::string, s).str, "text");
}

TEST(Access, GlobalBuiltInsReadWithoutAnInstanceButWriteOnlyWithOne) {
    ScriptRuntime s;
    s.rt.game.header.game_id = 42;
    RValue out;
    ASSERT_TRUE(get_variable(s.rt, nullptr, nullptr, scope_unqualified, bv_game_id, 0, out));
    EXPECT_EQ(out.real, 42);
    EXPECT_FALSE(set_variable(s.rt, nullptr, nullptr, scope_unqualified, bv_score, 0, RValue(1)));
    testing::FakeInstance& i = s.room.add(0);
    CInstance* h = testing::handle(i);
    EXPECT_TRUE(set_variable(s.rt, h, h, scope_unqualified, bv_score, 0, RValue(2.5)));
    EXPECT_EQ(s.rt.script.values.score, 2);
    EXPECT_FALSE(set_variable(s.rt, h, h, scope_unqualified, bv_game_id, 0, RValue(1)));
    // Reading an instance built-in needs an instance.
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, scope_unqualified, iv_x, 0, out));
    EXPECT_TRUE(get_variable(s.rt, h, h, scope_unqualified, iv_x, 0, out));
    // global.score is a plain variable of the global list.
    EXPECT_FALSE(get_variable(s.rt, h, h, scope_global, bv_score, 0, out));
    EXPECT_TRUE(set_variable(s.rt, h, h, scope_global, bv_score, 0, RValue(8)));
    ASSERT_TRUE(get_variable(s.rt, h, h, scope_global, bv_score, 0, out));
    EXPECT_EQ(out.real, 8);
    EXPECT_EQ(s.rt.script.values.score, 2);
}

TEST(Access, ScopesWithoutInstances) {
    ScriptRuntime s;
    int32_t v = s.rt.script.names.intern("v");
    RValue out;
    EXPECT_TRUE(set_variable(s.rt, nullptr, nullptr, scope_noone, v, 0, RValue(1)));
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, scope_noone, v, 0, out));
    EXPECT_TRUE(set_variable(s.rt, nullptr, nullptr, scope_all, v, 0, RValue(1)));
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, scope_all, v, 0, out));
    EXPECT_TRUE(set_variable(s.rt, nullptr, nullptr, 12, v, 0, RValue(1)));
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, 12, v, 0, out));
    EXPECT_TRUE(set_variable(s.rt, nullptr, nullptr, 100123, v, 0, RValue(1)));
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, 100123, v, 0, out));
    EXPECT_FALSE(set_variable(s.rt, nullptr, nullptr, scope_self, v, 0, RValue(1)));
    EXPECT_FALSE(set_variable(s.rt, nullptr, nullptr, scope_other, v, 0, RValue(1)));
    // With no InstanceAccess at all the same holds.
    s.rt.script.instances = nullptr;
    EXPECT_TRUE(set_variable(s.rt, nullptr, nullptr, scope_all, v, 0, RValue(1)));
    EXPECT_FALSE(get_variable(s.rt, nullptr, nullptr, 3, v, 0, out));
}

TEST(Access, TwoObjectsShareTheIdOfANameButNotTheCells) {
    ScriptRuntime s;
    testing::FakeInstance& a = s.room.add(1);
    testing::FakeInstance& b = s.room.add(2);
    s.run("hp = 3", &a);
    s.run("hp = 4", &b);
    int32_t hp = s.rt.script.names.intern("hp");
    RValue out;
    ASSERT_TRUE(a.vars.get(hp, 0, out));
    EXPECT_EQ(out.real, 3);
    ASSERT_TRUE(b.vars.get(hp, 0, out));
    EXPECT_EQ(out.real, 4);
    EXPECT_EQ(s.rt.script.names.count(), 1);
}

} // namespace
} // namespace kelvane
