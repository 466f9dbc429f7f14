// The argument walk of every command: values after '=' or in the next argument, numbers in
// their range, and usage errors.
#include <gtest/gtest.h>

#include "runner/Command_Line.h"

using namespace kelvane;

namespace {

struct Parsed {
    bool headless = false;
    std::string frames, plain;
    int64_t steps = -1;
    Args rest;
};

// A small command with a switch, a text option, a number option and plain arguments.
Parsed parse(const Args& args) {
    Parsed p;
    CommandLine cl("demo", args);
    while (cl.next()) {
        if (cl.flag("--headless"))
            p.headless = true;
        else if (cl.option("--frames", p.frames) || cl.option("-o", p.frames)) {
        } else if (cl.number("--steps", p.steps, 0, 100)) {
        } else if (cl.end_of_options())
            p.rest = cl.rest();
        else if (cl.plain())
            p.plain += cl.arg() + ";";
        else
            cl.unknown();
    }
    return p;
}

} // namespace

TEST(CommandLine, ValuesComeAfterEqualsOrAsTheNextArgument) {
    Parsed p = parse({"--frames=out dir", "--steps", "7", "game", "--headless", "--", "-x", "y"});
    EXPECT_EQ(p.frames, "out dir");
    EXPECT_EQ(p.steps, 7);
    EXPECT_TRUE(p.headless);
    EXPECT_EQ(p.plain, "game;");
    EXPECT_EQ(p.rest, (Args{"-x", "y"}));
    EXPECT_EQ(parse({"--steps=100"}).steps, 100);
    // An empty value after '=' is a value; "-" is a plain argument (standard input).
    EXPECT_EQ(parse({"--frames="}).frames, "");
    EXPECT_EQ(parse({"-"}).plain, "-;");
    // Short options take the next argument only: "-o=x" is no short option with a value.
    EXPECT_EQ(parse({"-o", "=x"}).frames, "=x");
}

TEST(CommandLine, UsageErrorsNameTheProblem) {
    struct Case {
        Args args;
        const char* message;
    } cases[] = {
        {{"--steps"}, "--steps needs a value"},
        {{"--steps", "x"}, "--steps needs a whole number from 0 to 100, not 'x'"},
        {{"--steps=101"}, "--steps needs a whole number from 0 to 100, not '101'"},
        {{"--steps= 5"}, "not ' 5'"},
        {{"--headless=1"}, "--headless takes no value"},
        {{"--head"}, "unknown option --head"},
        {{"--nope=3"}, "unknown option --nope"},
        {{"-o=x"}, "unknown option -o=x"},
        {{"--framesx=1"}, "unknown option --framesx"},
    };
    for (const auto& c : cases) {
        try {
            parse(c.args);
            ADD_FAILURE() << c.message;
        } catch (const UsageError& e) {
            EXPECT_EQ(e.command, "demo");
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

TEST(CommandLine, ClosestNameAllowsTwoSlips) {
    const std::vector<std::string> names = {"run", "pack", "unpack", "info", "exec"};
    EXPECT_EQ(closest_name("rnu", names), "run");
    EXPECT_EQ(closest_name("unpak", names), "unpack");
    EXPECT_EQ(closest_name("inof", names), "info");
    EXPECT_EQ(closest_name("play", names), "");
    EXPECT_EQ(closest_name(std::string(1000, 'r'), names), "");
}
