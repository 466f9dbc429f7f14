// The interpreter through its entry points: messages with lines and columns, expression
// evaluation, reporting, instances and with, the constant shortcut and robustness limits.
#include <gtest/gtest.h>
#include <pthread.h>

#include <functional>

#include "Fake_Room.h"
#include "code/Code_Execute.h"

namespace kelvane {
namespace {

using testing::FakeInstance;
using testing::ScriptRuntime;

TEST(ConstantShortcut, Cases) {
    ScriptRuntime s;
    struct Case {
        const char* text;
        bool constant;
        int32_t kind;
        double real;
        const char* str;
    } cases[] = {
        {"5", true, kind_real, 5, ""},
        {"-5", true, kind_real, -5, ""},
        {"'abc'", true, kind_string, 0, "abc"},
        {"-'abc'", true, kind_string, -0.0, "abc"},
        {"  // c", true, kind_real, 0, ""},
        {"c_red", true, kind_real, 255, ""},
        {"x", false, 0, 0, ""},
        {"-x", false, 0, 0, ""},
        {"5;", false, 0, 0, ""},
        {"--5", false, 0, 0, ""},
    };
    for (const auto& c : cases) {
        CCode code(c.text, s.rt);
        EXPECT_EQ(code.is_constant(), c.constant) << c.text;
        if (!c.constant) continue;
        EXPECT_EQ(code.constant_value().kind, c.kind) << c.text;
        EXPECT_EQ(code.constant_value().real, c.real) << c.text;
        EXPECT_EQ(code.constant_value().str, c.str) << c.text;
    }
    // Empty code keeps no token list.
    EXPECT_EQ(CCode("", s.rt).tokens(), nullptr);
    EXPECT_NE(CCode("5", s.rt).tokens(), nullptr);
}

TEST(Messages, ProgramErrorNamesLineColumnAndLineText) {
    ScriptRuntime s;
    // Lines are counted by carriage returns; a line feed after one belongs to the new line.
    // The division is made once its right operand is parsed: the cursor then stands on
    // the next token, the first of line 3.
    s.run("global.a = 1\r\nglobal.b = 1 / 0\r\nglobal.c = 2");
    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_EQ(s.reports[0], "in code at line 3:\r\n   \nglobal.c = 2\r\n\r\n"
                            "at position 2: Division by 0.");
    EXPECT_EQ(s.rt.script.error.line, 3);
    EXPECT_EQ(s.rt.script.error.column, 2);
    // The run stopped at the error.
    RValue out;
    EXPECT_FALSE(s.rt.script.globals.get(s.rt.script.names.intern("c"), 0, out));
}

TEST(SyntaxCheck, FindsTheErrorsARunMeetsAndThoseInCodeNeverReached) {
    ScriptRuntime s;
    // Each program, and a program whose run meets the same error at once (empty: the
    // program has none).
    struct Case {
        const char* program;
        const char* reached;
    } cases[] = {
        {"x = 1; y = 'a' + 2;", ""}, // a type error is no syntax error
        {"", ""},
        {"if (0) { x = 1 + ; }", "x = 1 + ;"},
        {"while (0) { y = 2; z = ) }", "z = )"},
        {"for (i = 0; i < 0; i += 1) { if (a) b = 1 else { c = (2 } }", "c = (2 }"},
        {"repeat 0 { } w = ;", "w = ;"},
        {"with (noone) { exit; q = 1 +* 2 }", "q = 1 +* 2"},
        {"if (0) x = 1 else global.w = 2 z = ", "global.w = 2 z = "},
        {"x = 1; {", "{"},
        {"{ x = 1; } y = ;", ""}, // a program that starts with a block is that block
        {"if 0 { { { { } } } } else { while (1) { exit } }", ""},
    };
    for (const auto& c : cases) {
        auto found = first_syntax_error(CCode(c.program, s.rt));
        if (!*c.reached) {
            EXPECT_FALSE(found) << c.program << ": " << found->message;
            continue;
        }
        ASSERT_TRUE(found) << c.program;
        s.reports.clear();
        s.run(c.reached);
        ASSERT_EQ(s.reports.size(), 1u) << c.reached;
        EXPECT_EQ(found->message, s.rt.script.error.message) << c.program;
    }
    // The position of the error's token, in characters from 1.
    auto found = first_syntax_error(CCode("x = 1;\r\nif (0) {\r\n  y = ;\r\n}", s.rt));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->position, 25);
}

TEST(Messages, LineFeedsAloneDoNotStartLines) {
    ScriptRuntime s;
    s.run("global.a = 1\nglobal.b = )");
    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_EQ(s.reports[0], "in code at line 1:\r\n   global.a = 1\nglobal.b = )\r\n\r\n"
                            "at position 25: Unexpected symbol");
}

TEST(Evaluate, FirstExpressionOnlyAndVariablesAreRead) {
    ScriptRuntime s;
    FakeInstance& i = s.room.add(0);
    i.vars.set(s.rt.script.names.intern("a"), 0, RValue(5));
    CInstance* h = testing::handle(i);
    struct Case {
        const char* text;
        double result;
    } cases[] = {{"1 2", 1}, {"a = 5", 1}, {"a", 5}, {"a * 2 )", 10}, {"(a)", 5}};
    for (const auto& c : cases) {
        CCode code(c.text, s.rt);
        EXPECT_EQ(evaluate_expression(s.rt, h, h, code).real, c.result) << c.text;
    }
    EXPECT_TRUE(s.reports.empty());
}

TEST(Evaluate, ErrorsAreReportedWithTheWholeText) {
    ScriptRuntime s;
    CCode code("1 + nothing", s.rt);
    RValue v = evaluate_expression(s.rt, nullptr, nullptr, code);
    EXPECT_EQ(v.real, 0);
    ASSERT_EQ(s.reports.size(), 1u);
    EXPECT_EQ(s.reports[0],
              "in expression:1 + nothing\r\nat position 11: Unknown variable or function: nothing");
}

TEST(Evaluate, SilentlyGivesErrorAndReportsNothing) {
    ScriptRuntime s;
    CCode bad("1 / 0", s.rt);
    RValue v = evaluate_silently(s.rt, nullptr, nullptr, bad);
    EXPECT_EQ(v.kind, kind_string);
    EXPECT_EQ(v.str, "ERROR");
    CCode good("2 + 3", s.rt);
    EXPECT_EQ(evaluate_silently(s.rt, nullptr, nullptr, good).real, 5);
    EXPECT_TRUE(s.reports.empty());
}

TEST(Reporting, NothingWhileNoGameRuns) {
    ScriptRuntime s;
    s.rt.script.reporter.game_running = false;
    s.run("global.a = 1 / 0");
    EXPECT_TRUE(s.reports.empty());
    // The error globals still hold it.
    EXPECT_TRUE(s.rt.script.error.flag);
    EXPECT_EQ(s.rt.script.error.message, "Division by 0.");
}

TEST(Reporting, ScriptErrorIsReportedByTheScriptAndAgainByTheCaller) {
    ScriptRuntime s;
    s.add_script("bad", "\r\nglobal.q = 1 +");
    RValue r = s.run("global.r = bad()\r\nreturn 7");
    EXPECT_EQ(r.real, 7);
    ASSERT_EQ(s.reports.size(), 2u);
    EXPECT_EQ(s.reports[0], s.reports[1]);
    EXPECT_EQ(s.reports[0], "in code at line 2:\r\n   \nglobal.q = 1 +\r\n\r\n"
                            "at position 15: Unexpected symbol");
}

TEST(Instances, UnqualifiedOtherAllAndIds) {
    ScriptRuntime s;
    FakeInstance& a = s.room.add(3);
    FakeInstance& b = s.room.add(4);
    FakeInstance& c = s.room.add(3);
    c.destroyed = true;
    int32_t hp = s.rt.script.names.intern("hp");
    s.run("hp = 1; all.hp = 5; global.t = 100002; global.t.hp = 7; hp += 1", &a);
    RValue out;
    ASSERT_TRUE(a.vars.get(hp, 0, out));
    EXPECT_EQ(out.real, 6);
    ASSERT_TRUE(b.vars.get(hp, 0, out));
    EXPECT_EQ(out.real, 7);
    // Destroyed instances are never chosen.
    EXPECT_FALSE(c.vars.get(hp, 0, out));
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
}

TEST(Instances, ObjectScopeReadsTheFirstLiveInstance) {
    ScriptRuntime s;
    FakeInstance& a = s.room.add(3);
    FakeInstance& b = s.room.add(3);
    a.destroyed = true;
    int32_t v = s.rt.script.names.intern("v");
    b.vars.set(v, 0, RValue(9));
    EXPECT_EQ(s.run("return (3).v").real, 9);
    EXPECT_EQ(s.run("global.o = 3; return global.o.v").real, 9);
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
}

TEST(With, VisitsChosenInstancesWithSelfAndOther) {
    ScriptRuntime s;
    FakeInstance& runner = s.room.add(1);
    FakeInstance& a = s.room.add(2);
    FakeInstance& b = s.room.add(2);
    FakeInstance& gone = s.room.add(2);
    gone.destroyed = true;
    s.room.add(5);
    RValue r = s.run("global.n = 0\n"
                     "with (2) { global.n += 1; mark = other.id * 10 + 1 }\n"
                     "with (all) global.n += 100\n"
                     "with (100003) global.n += 1000\n"
                     "with (noone) global.n += 10000\n"
                     "with (self) other.self_mark = 1\n"
                     "return global.n",
                     &runner);
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
    // Two of object 2, then the four live instances of the room, then 100003 (b).
    EXPECT_EQ(r.real, 2 + 400 + 1000);
    int32_t mark = s.rt.script.names.intern("mark");
    RValue out;
    ASSERT_TRUE(a.vars.get(mark, 0, out));
    EXPECT_EQ(out.real, 1000011); // other inside with is the former self (id 100001)
    ASSERT_TRUE(b.vars.get(mark, 0, out));
    EXPECT_FALSE(gone.vars.get(mark, 0, out));
    EXPECT_TRUE(runner.vars.get(s.rt.script.names.intern("self_mark"), 0, out));
}

TEST(With, CountIsTakenFirstAndDestroyedInstancesAreSkipped) {
    ScriptRuntime s;
    FakeInstance& self = s.room.add(0);
    s.room.add(0);
    s.room.add(0);
    s.room.add(0);
    // Each visit reads id: the room then grows by one and its third instance is destroyed.
    s.room.on_read_id = [&] {
        s.room.add(0);
        s.room.list[2]->destroyed = true;
    };
    RValue r = s.run("global.visits = 0; with (all) { global.visits += 1; global.last = id }\n"
                     "return global.visits",
                     &self);
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
    EXPECT_EQ(r.real, 3); // positions 0, 1 and 3 of the four counted at the start
    EXPECT_EQ(s.room.list.size(), 7u);
}

TEST(With, ExitInsideStopsTheWholeRun) {
    ScriptRuntime s;
    FakeInstance& self = s.room.add(0);
    s.room.add(0);
    RValue r =
        s.run("global.n = 0; with (all) { global.n += 1; exit } global.n = 5; return 2", &self);
    EXPECT_EQ(r.real, 0);
    RValue out;
    ASSERT_TRUE(s.rt.script.globals.get(s.rt.script.names.intern("n"), 0, out));
    EXPECT_EQ(out.real, 1);
}

TEST(Limits, DeepNestingStopsWithAnError) {
    ScriptRuntime s;
    std::string deep = "return " + std::string(2000, '(') + "1" + std::string(2000, ')');
    EXPECT_EQ(s.run(deep).real, 0);
    EXPECT_NE(s.last_error().find(": Code nested too deeply."), std::string::npos)
        << s.last_error();
}

// Runs `body` on a thread of its own with a stack of `size` bytes.
void on_stack_of(size_t size, const std::function<void()>& body) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    ASSERT_EQ(pthread_attr_setstacksize(&attr, size), 0);
    pthread_t thread;
    auto run = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, run, const_cast<std::function<void()>*>(&body)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

// Runaway recursion stops at the depth limit in both interpreters, however the runs nest:
// a script calling itself, two scripts calling each other, a script running itself through
// execute_string (two runs a level). The innermost call stops with the error and returns
// 0; every level above adds 1 and reports the same message again when it ends, and so
// does the program. A stack large enough for the tree walker's nested runs is given.
TEST(Limits, RunawayRecursionStopsAtTheDepthLimit) {
    struct Case {
        const char* down;
        const char* up;
        double depth;
    };
    const Case cases[] = {
        {"return down() + 1", "return 0", max_run_depth - 2},
        {"return up() + 1", "return down() + 1", max_run_depth - 2},
        {"return execute_string('return down()') + 1", "return 0", max_run_depth / 2 - 1},
    };
    for (bool compiled : {true, false}) {
        for (const Case& c : cases) {
            on_stack_of(size_t(512) << 20, [&] {
                ScriptRuntime s;
                s.rt.script.compiled = compiled;
                s.add_script("down", c.down);
                s.add_script("up", c.up);
                EXPECT_EQ(s.run("return down()").real, c.depth) << c.down << " " << compiled;
                ASSERT_EQ(s.reports.size(), size_t(max_run_depth)) << c.down << " " << compiled;
                EXPECT_NE(s.reports.front().find("Stack overflow."), std::string::npos)
                    << s.reports.front();
                EXPECT_EQ(s.reports.front(), s.reports.back());
                EXPECT_EQ(s.rt.script.run_depth, 0);
                s.reports.clear();
                EXPECT_EQ(s.run("return 3").real, 3);
                EXPECT_TRUE(s.reports.empty());
            });
        }
    }
}

// Script calls nest as runs do: the callee runs with the caller's self and other, and
// whatever way it ends (return or exit inside a `with`, an error) the caller goes on with
// its own self, other and argument slots.
TEST(Calls, TheCallerGoesOnAsItWas) {
    struct Case {
        const char* script;
        const char* program;
        double result;
        size_t reports;
    };
    const Case cases[] = {
        {"with (other) return a", "r = peek(5) return r * 10 + a + argument0", 20 + 1, 0},
        {"with (other) exit", "r = peek(5) return r * 10 + a + argument0", 1, 0},
        {"with (other) { a = 7 b = 1 + 'x' }", "r = peek(5) return r * 10 + a + argument0", 1, 2},
        {"argument0 = 9 with (all) if a = 2 return argument0 + argument1",
         "r = peek(5, 4) return r * 10 + a + argument0", 130 + 1, 0},
        {"if argument0 <= 0 return 0 with (other) return argument0 + peek(argument0 - 1)",
         "return peek(3000)", 3000.0 * 3001 / 2, 0},
    };
    for (bool compiled : {true, false}) {
        for (const Case& c : cases) {
            on_stack_of(size_t(512) << 20, [&] {
                ScriptRuntime s;
                s.rt.script.compiled = compiled;
                FakeInstance& self = s.room.add(0);
                FakeInstance& other = s.room.add(1);
                int32_t a = s.rt.script.names.intern("a");
                self.vars.set(a, 0, RValue(1));
                other.vars.set(a, 0, RValue(2));
                s.add_script("peek", c.script);
                compile_all_scripts(s.rt);
                CCode code(c.program, s.rt);
                RValue r = run_program(s.rt, testing::handle(self), testing::handle(other), code);
                EXPECT_EQ(r.real, c.result) << c.script << " " << compiled;
                EXPECT_EQ(s.reports.size(), c.reports) << c.script << " " << compiled;
                for (const RValue& arg : s.rt.script.arguments) EXPECT_EQ(arg.real, 0);
            });
        }
    }
}

// Code `levels` deep in one construct: each statement, bracket and prefix operator opens a
// level, and the program's statement is the first.
std::string nested(const std::string& kind, int levels) {
    auto times = [](const std::string& t, int n) {
        std::string r;
        for (int i = 0; i < n; ++i) r += t;
        return r;
    };
    int n = levels - 1; // levels inside the statement
    if (kind == "parentheses") return "return " + times("(", n) + "1" + times(")", n);
    if (kind == "signs") return "return " + times("+", n) + "global.one";
    if (kind == "calls") return "return " + times("abs(", n) + "1" + times(")", n);
    if (kind == "indexes")
        return "global.a[0] = 1; return " + times("global.a[", n) + "0" + times("]", n);
    if (kind == "blocks") return times("{", n) + "return 1" + times("}", n);
    if (kind == "ifs") return times("if 1 ", n) + "return 1";
    if (kind == "whiles") return times("while 1 ", n) + "return 1";
    if (kind == "withs") return times("with self ", n) + "return 1";
    return "";
}

const char* const nesting_kinds[] = {"parentheses", "signs", "calls",  "indexes",
                                     "blocks",      "ifs",   "whiles", "withs"};

TEST(Limits, EveryConstructCountsTowardTheNestingLimit) {
    for (const char* kind : nesting_kinds) {
        ScriptRuntime s;
        FakeInstance& self = s.room.add(0);
        s.run("global.one = 1", &self);
        EXPECT_EQ(s.run(nested(kind, 500), &self).real, 1) << kind << ": " << s.last_error();
        EXPECT_TRUE(s.reports.empty()) << kind << ": " << s.last_error();
        EXPECT_EQ(s.run(nested(kind, 501), &self).real, 0) << kind;
        EXPECT_NE(s.last_error().find(": Code nested too deeply."), std::string::npos)
            << kind << ": " << s.last_error();
    }
}

TEST(Limits, DeeplyNestedBlocksAreRefusedAtTheLimit) {
    // 100 000 nested blocks used to be run level by level, each one counting braces to
    // its end, until the stack ran out.
    ScriptRuntime s;
    std::string deep = std::string(100000, '{') + "global.x = 1" + std::string(100000, '}');
    s.run(deep);
    EXPECT_NE(s.last_error().find(": Code nested too deeply."), std::string::npos)
        << s.last_error();
    // Blocks that are never run are passed over whatever their depth.
    s.reports.clear();
    EXPECT_EQ(s.run("if 0 " + deep + " return 2").real, 2);
    EXPECT_TRUE(s.reports.empty()) << s.last_error();
    // A missing brace deep inside is found.
    s.run("if 0 " + std::string(100000, '{') + std::string(99999, '}'));
    EXPECT_NE(s.last_error().find(": } missing."), std::string::npos) << s.last_error();
}

TEST(Limits, DeepCodeOnASmallStackStopsWithAnError) {
    // On a small stack, code near or past the nesting limit is refused or stopped with a
    // message instead of overflowing the stack; shallow code still runs.
    for (size_t kb : {100, 160}) {
        std::vector<std::string> results;
        on_stack_of(kb * 1024, [&] {
            auto s = std::make_unique<ScriptRuntime>();
            FakeInstance& self = s->room.add(0);
            s->run("global.one = 1", &self);
            for (const char* kind : nesting_kinds) {
                for (int levels : {20, 500, 2000}) {
                    s->reports.clear();
                    double r = s->run(nested(kind, levels), &self).real;
                    results.push_back(std::string(kind) + " " + std::to_string(levels) +
                                      (r == 1 ? " ran" : ": " + s->last_error()));
                }
            }
        });
        ASSERT_EQ(results.size(), std::size(nesting_kinds) * 3) << kb;
        for (const std::string& r : results) {
            bool refused = r.find("Code nested too deeply.") != std::string::npos ||
                           r.find("Stack overflow.") != std::string::npos;
            if (r.find(" 20 ") != std::string::npos) {
                EXPECT_NE(r.find(" ran"), std::string::npos) << kb << " KB, " << r;
            } else if (r.find(" 2000") != std::string::npos) {
                EXPECT_TRUE(refused) << kb << " KB, " << r;
            } else {
                EXPECT_TRUE(refused || r.find(" ran") != std::string::npos) << kb << " KB, " << r;
            }
        }
    }
}

TEST(Limits, HugeStringsAreRefusedAsOutOfMemory) {
    ScriptRuntime s;
    EXPECT_EQ(s.run("global.s = string_repeat('ab', 1000000000000)\nreturn 1").real, 0);
    EXPECT_EQ(s.last_error(), "at position 1: Out of memory.");
}

TEST(Cache, RepeatedAndNestedRunsOfOneCodeAgree) {
    ScriptRuntime s;
    s.add_script("count", "if argument0 > 0 return count(argument0 - 1) + 1; if 0 x = )");
    compile_all_scripts(s.rt);
    CCode code("return count(20)", s.rt);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run_program(s.rt, nullptr, nullptr, code).real, 20);
    // The skipped, faulty statement reports at the level that reaches it (argument0 = 0).
    EXPECT_FALSE(s.reports.empty());
}

} // namespace
} // namespace kelvane
