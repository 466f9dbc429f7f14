// The compiled form as kelvane exec --disassemble lists it: syntax errors kept as
// instructions at the place where parsing stops, comparisons fused with their jumps, and
// the listing naming the line and column of each statement.
#include <gtest/gtest.h>

#include <initializer_list>

#include "Fake_Room.h"
#include "code/Code_Machine.h"

namespace kelvane {
namespace {

// Every fragment appears in the listing.
void expect_listed(const std::string& listing, std::initializer_list<const char*> fragments) {
    for (const char* f : fragments)
        EXPECT_NE(listing.find(f), std::string::npos) << f << "\n" << listing;
}

TEST(Listing, SyntaxErrorsBecomeInstructionsThatRaiseWhenReached) {
    testing::ScriptRuntime s;
    const char* text = "global.a = 1\r\n"
                       "while (global.a < 3) global.a += 1\r\n"
                       "if global.a > 5 { b = ) }\r\n"
                       "global.c = (2";
    CCode code(text, s.rt);
    std::string listing = machine_listing(code);
    // The loop's test is one instruction that reads the variable in place and jumps back
    // to the body; the step before it is fused with it.
    EXPECT_NE(listing.find("compare_jump     global.#100000 < 3 is true -> 2  @2:21"),
              std::string::npos)
        << listing;
    EXPECT_NE(listing.find("step_less_global (-5).#100000 op= 1"), std::string::npos) << listing;
    // A test other than `<`, or a step that is not a real constant, leaves the general step.
    expect_listed(machine_listing(CCode("for (i = 0; i <= 3; i += 1) {}; "
                                        "for (i = 0; i < 3; i += 'a') {}",
                                        s.rt)),
                  {"step_test        (-6).#100003 op= 1", "step_test        (-6).#100003 op= 'a'"});
    // The error in the untaken block is compiled but never reached; the one of the last
    // line is raised at its position.
    EXPECT_NE(listing.find("raise            \"Unexpected symbol\"  @3:24"), std::string::npos)
        << listing;
    EXPECT_NE(listing.find("4:2 raise            \") expected.\"  @4:14"), std::string::npos)
        << listing;

    s.run(text);
    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_EQ(s.last_error(), "at position 14: ) expected.");
    EXPECT_EQ(s.rt.script.error.line, 4);
    RValue a;
    ASSERT_TRUE(s.rt.script.globals.get(s.rt.script.names.intern("a"), 0, a));
    EXPECT_EQ(a.real, 3); // the statements before the error ran
}

TEST(Listing, ConstantCodeAndScriptCallsAreListed) {
    testing::ScriptRuntime s;
    EXPECT_EQ(machine_listing(CCode("", s.rt)), "constant\n");
    std::string listing = machine_listing(CCode("return f(1, 2)", s.rt));
    // An unknown name is a variable: reading it (here, in place by the return) can fail.
    EXPECT_NE(listing.find("return_var       #100000  @1:9"), std::string::npos) << listing;
    s.add_script("twice", "return argument0 * 2");
    compile_all_scripts(s.rt);
    listing = machine_listing(CCode("return twice(4)", s.rt));
    EXPECT_NE(listing.find("call             r0 := script 0 (r0, 1 arguments)"), std::string::npos)
        << listing;
    EXPECT_EQ(s.run("return twice(4)").real, 8);
}

TEST(Listing, ConstantsFoldedUnlessTheOperatorFails) {
    testing::ScriptRuntime s;
    std::string listing = machine_listing(CCode("a = 2 * 3 + 1; b = 'x' + 'y'; c = not 0", s.rt));
    EXPECT_NE(listing.find("set_self         #100000 := 7"), std::string::npos) << listing;
    EXPECT_NE(listing.find("set_self         #100001 := 'xy'"), std::string::npos) << listing;
    EXPECT_NE(listing.find("set_self         #100002 := 1"), std::string::npos) << listing;
    EXPECT_EQ(listing.find(" add "), std::string::npos) << listing;
    // An operator that fails stays, and fails when reached, after what runs before it.
    const char* failing = "global.d = 5; global.e = 1 / 0";
    listing = machine_listing(CCode(failing, s.rt));
    EXPECT_NE(listing.find("divide           r0, 1, 0"), std::string::npos) << listing;
    s.run(failing);
    EXPECT_NE(s.last_error().find("Division by 0."), std::string::npos) << s.last_error();
    RValue d;
    EXPECT_TRUE(s.rt.script.globals.get(s.rt.script.names.intern("d"), 0, d));
}

TEST(Listing, ArrayCellsAreIndexedReadAndWrittenByOneInstruction) {
    testing::ScriptRuntime s;
    const char* text = "global.i = 3; global.a[global.i] = global.i; global.g[1, global.i] = 2; "
                       "global.b = global.a[global.i]; global.c = global.g[1, global.i]; "
                       "global.a[global.i + 1] = 5; global.d = global.a[4] + global.b";
    // A 2-D cell is still written after an index2.
    expect_listed(machine_listing(CCode(text, s.rt)),
                  {"set_cell1        global.#100001[global.#100000] := global.#100000",
                   "get_cell1        r1 := global.#100001[global.#100000]",
                   "get_cell2        r1 := global.#100002[1, global.#100000]",
                   "set_cell1        global.#100001[r0] := 5",
                   "index2           r0, 1, global.#100000"});
    EXPECT_EQ(s.run(std::string(text) + "; return global.d * 100 + global.c * 10 + global.b").real,
              823);
}

TEST(Listing, ArithmeticTakesTheFormOfItsOperandsPlaces) {
    testing::ScriptRuntime s;
    // Every form also meets strings, which the general instruction then handles; a string
    // constant leaves the general instruction.
    const char* text = "global.i = 3; global.t = global.i * 2 - 1; global.u = (global.t + 1) * "
                       "(global.t - 1); global.s = 'a'; global.w = global.s + global.s + 'b'; "
                       "global.v = global.t - global.i * 2";
    expect_listed(machine_listing(CCode(text, s.rt)),
                  {"mul_vk           r0, global.#100000, 2", "sub_rk           r0, r0, 1", "add_vk",
                   "sub_vk", "mul_rr", "add              r0, r0, 'b'",
                   "sub_vr           r0, global.#100001, r0"});
    expect_listed(machine_listing(CCode("return argument1 - 1", s.rt)),
                  {"sub_ak           r0, argument1, 1"});
    // A constant that is not a real, or a divisor 0, leaves the operator in its general form.
    expect_listed(machine_listing(CCode("return (argument1 mod 0) + (argument1 mod 2)", s.rt)),
                  {"mod              r0, argument1, 0", "mod_ak           r1, argument1, 2"});
    RValue v = s.run(std::string(text) +
                     "; return string(global.t) + string(global.u) + global.w + string(global.v)");
    EXPECT_EQ(v.str.view(), "524aab-1");
    // An instance built-in of self as the left operand, read from its field; written back
    // by the same instruction when the result goes to the same built-in.
    expect_listed(machine_listing(CCode("x = x + 1; y = y - depth * 2; return x mod 3", s.rt)),
                  {"field_add        r0, #1000, 1", "set_field        (-6).#1000 := r0",
                   "mul_fk           r0, #1019, 2", "field_sub        r0, #1001, r0",
                   "mod_fk           r0, #1000, 3"});
}

} // namespace
} // namespace kelvane
