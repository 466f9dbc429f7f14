// The scanner: token kinds, positions, values and name resolution.
#include <gtest/gtest.h>

#include "Fake_Room.h"
#include "code/Code_Constant.h"
#include "code/Code_Token.h"
#include "functions/Function_Main.h"

namespace kelvane {
namespace {

using testing::ScriptRuntime;

std::vector<int32_t> kinds(const CTokenList& t) {
    std::vector<int32_t> k;
    for (const auto& tok : t.items) k.push_back(tok.kind);
    return k;
}

std::vector<int32_t> positions(const CTokenList& t) {
    std::vector<int32_t> p;
    for (const auto& tok : t.items) p.push_back(tok.position);
    return p;
}

TEST(Scanner, KindsAndPositions) {
    struct Case {
        const char* text;
        std::vector<int32_t> kinds;
        std::vector<int32_t> positions;
    };
    const Case cases[] = {
        {"", {tk_end}, {1}},
        {"  // only a comment", {tk_end}, {20}},
        {"a//b\nc", {tk_value, tk_value, tk_end}, {1, 6, 7}},
        {"a//b", {tk_value, tk_end}, {1, 5}},
        {"x=y", {tk_value, tk_assign, tk_value, tk_end}, {1, 2, 3, 4}},
        {"x==y", {tk_value, tk_equal, tk_value, tk_end}, {1, 2, 4, 5}},
        // Numbers and strings are placed at the character after them.
        {"3.5.2", {tk_value, tk_dot, tk_value, tk_end}, {4, 4, 6, 6}},
        {".5", {tk_dot, tk_value, tk_end}, {1, 3, 3}},
        {"'ab' \"c\"", {tk_value, tk_value, tk_end}, {5, 9, 9}},
        {"# ^", {tk_unknown, tk_unknown, tk_end}, {1, 3, 4}},
        {":= += -= *= /= && || <= == != <> >=",
         {tk_assign, tk_add_assign, tk_sub_assign, tk_mul_assign, tk_div_assign, tk_and, tk_or,
          tk_less_equal, tk_equal, tk_not_equal, tk_not_equal, tk_greater_equal, tk_end},
         {1, 4, 7, 10, 13, 16, 19, 22, 25, 28, 31, 34, 36}},
        {"!()*+,-./;<[]{}=>",
         {tk_not, tk_open, tk_close, tk_times, tk_plus, tk_comma, tk_minus, tk_dot, tk_divide,
          tk_semicolon, tk_less, tk_open_index, tk_close_index, tk_begin, tk_end_block, tk_assign,
          tk_greater, tk_end},
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}},
        {": & | % ~",
         {tk_unknown, tk_unknown, tk_unknown, tk_unknown, tk_unknown, tk_end},
         {1, 3, 5, 7, 9, 10}},
        // Characters from 128 on are neither letters nor blanks.
        {"a\xe9", {tk_value, tk_unknown, tk_end}, {1, 2, 3}},
    };
    for (const auto& c : cases) {
        ScriptRuntime s;
        CTokenList t;
        tokenize(t, c.text, s.rt);
        EXPECT_EQ(kinds(t), c.kinds) << c.text;
        EXPECT_EQ(positions(t), c.positions) << c.text;
    }
}

TEST(Scanner, Keywords) {
    ScriptRuntime s;
    CTokenList t;
    tokenize(t,
             "begin end if then else while do for with until repeat exit return break "
             "continue and or not div mod",
             s.rt);
    EXPECT_EQ(kinds(t),
              (std::vector<int32_t>{
                  tk_begin,    tk_end_block, tk_if,    tk_then,   tk_else, tk_while,  tk_do,
                  tk_for,      tk_with,      tk_until, tk_repeat, tk_exit, tk_return, tk_break,
                  tk_continue, tk_and,       tk_or,    tk_not,    tk_div,  tk_mod,    tk_end}));
}

TEST(Scanner, Values) {
    ScriptRuntime s;
    CTokenList t;
    tokenize(t, "12.25 'it''s' \"say 'x'\" self other all noone global c_red 'open", s.rt);
    const auto& v = t.items;
    ASSERT_EQ(v.size(), 12u);
    EXPECT_EQ(v[0].value.real, 12.25);
    // A quote is matched only by the same quote character.
    EXPECT_EQ(v[1].value.str, "it");
    EXPECT_EQ(v[2].value.str, "s");
    EXPECT_EQ(v[3].value.str, "say 'x'");
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(v[size_t(4 + i)].value.kind, kind_real);
        EXPECT_EQ(v[size_t(4 + i)].value.real, -1 - i);
    }
    EXPECT_EQ(v[9].value.real, 255);
    // An unclosed string runs to the end of the text.
    EXPECT_EQ(v[10].value.str, "open");
    EXPECT_EQ(v[10].position, 64);
}

TEST(Scanner, NumbersAccumulateInExtendedPrecision) {
    ScriptRuntime s;
    CTokenList t;
    tokenize(t, "0.1 3. 123456789012345678 0.30000000000000004", s.rt);
    EXPECT_EQ(t.items[0].value.real, 0.1);
    EXPECT_EQ(t.items[1].value.real, 3.0);
    EXPECT_EQ(t.items[2].value.real, 123456789012345678.0);
    EXPECT_EQ(t.items[3].value.real, 0.30000000000000004);
}

TEST(Scanner, NamesResolveInOrder) {
    ScriptRuntime s;
    Game& g = s.rt.game;
    g.sprites.add("score", std::make_unique<CSprite>()); // hides the built-in
    g.sprites.add("spr_b", std::make_unique<CSprite>());
    g.objects.add("sin", std::make_unique<CObject>()); // hidden by the function
    g.objects.add("obj_a", std::make_unique<CObject>());
    g.sounds.add("obj_a", std::make_unique<CSound>()); // objects come first
    g.rooms.resize(3);
    g.rooms.set(2, "rm", std::make_unique<CRoom>());
    s.add_script("scr", "return 1");
    CTokenList t;
    tokenize(t, "score spr_b sin obj_a rm scr lives x If hp hp true", s.rt);
    const auto& v = t.items;
    EXPECT_EQ(v[0].kind, tk_value);
    EXPECT_EQ(v[0].value.real, 0);
    EXPECT_EQ(v[1].value.real, 1);
    EXPECT_EQ(v[2].kind, tk_call);
    EXPECT_EQ(v[2].function, function_registry().find("sin"));
    EXPECT_EQ(v[3].value.real, 1);
    EXPECT_EQ(v[4].value.real, 2);
    EXPECT_EQ(v[5].kind, tk_call);
    EXPECT_EQ(v[5].function, script_call_base + 0);
    // Built-in variables: a reference with the built-in's id.
    EXPECT_TRUE(v[6].value.is_reference());
    EXPECT_EQ(v[6].value.scope, scope_unqualified);
    EXPECT_EQ(v[6].value.var_id, bv_lives);
    EXPECT_EQ(v[7].value.var_id, iv_x);
    // Other names are user variables; the same name has the same id.
    EXPECT_EQ(v[8].value.var_id, first_user_variable);
    EXPECT_EQ(v[9].value.var_id, first_user_variable + 1);
    EXPECT_EQ(v[10].value.var_id, first_user_variable + 1);
    EXPECT_EQ(v[11].value.kind, kind_real);
    EXPECT_EQ(s.rt.script.names.name(first_user_variable + 1), "hp");
}

TEST(VariableNames, InternAndReverse) {
    VariableNames n;
    EXPECT_EQ(n.intern("a"), 100000);
    EXPECT_EQ(n.intern("b"), 100001);
    EXPECT_EQ(n.intern("a"), 100000);
    EXPECT_EQ(n.intern("A"), 100002);
    EXPECT_EQ(n.name(100001), "b");
    EXPECT_EQ(n.name(99999), "");
    EXPECT_EQ(n.name(100003), "");
    EXPECT_EQ(n.name(5), "");
    n.clear();
    EXPECT_EQ(n.count(), 0);
    EXPECT_EQ(n.intern("b"), 100000);
}

TEST(Constants, TableInRegistrationOrder) {
    auto t = constant_table();
    ASSERT_EQ(t.size(), 137u);
    EXPECT_EQ(t.front().name, "true");
    EXPECT_EQ(t.back().name, "fa_archive");
    struct Case {
        const char* name;
        double value;
    } cases[] = {{"pi", 3.141592653589793},
                 {"c_aqua", 16776960},
                 {"c_dkgray", 8421504},
                 {"c_ltgray", 12632256},
                 {"bs_vertical", 7},
                 {"fa_right", 2},
                 {"mb_any", -1},
                 {"vk_anykey", -1},
                 {"vk_f1", 112},
                 {"vk_f12", 123},
                 {"vk_numpad9", 105},
                 {"vk_ralt", 165},
                 {"ev_step", 3},
                 {"ev_alarm", 2},
                 {"ev_middle_release", 9},
                 {"ev_animation_end", 7},
                 {"ev_step_end", 2},
                 {"fa_hiddden", 2},
                 {"fa_directory", 16}};
    for (const auto& c : cases) {
        auto v = find_constant(c.name);
        ASSERT_TRUE(v) << c.name;
        EXPECT_EQ(*v, c.value) << c.name;
    }
    EXPECT_FALSE(find_constant("True"));
    EXPECT_FALSE(find_constant("fa_hidden"));
}

} // namespace
} // namespace kelvane
