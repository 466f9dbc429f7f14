// The function registry and the mathematics and strings family: registration order and
// counts, the call rules, number formatting and parsing, and the random generator.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "functions/Function_Main.h"
#include "functions/Function_Math.h"
#include "run/Runtime.h"

namespace kelvane {
namespace {

TEST(Registry, MathFamilyComesFirstInOrder) {
    const FunctionRegistry& r = function_registry();
    const char* names[] = {"is_real",
                           "is_string",
                           "random",
                           "abs",
                           "round",
                           "floor",
                           "ceil",
                           "sign",
                           "frac",
                           "sqrt",
                           "sqr",
                           "exp",
                           "ln",
                           "log2",
                           "log10",
                           "sin",
                           "cos",
                           "tan",
                           "arcsin",
                           "arccos",
                           "arctan",
                           "arctan2",
                           "degtorad",
                           "radtodeg",
                           "power",
                           "logn",
                           "min",
                           "max",
                           "min3",
                           "max3",
                           "mean",
                           "real",
                           "string",
                           "string_format",
                           "chr",
                           "ord",
                           "string_length",
                           "string_pos",
                           "string_copy",
                           "string_delete",
                           "string_insert",
                           "string_lower",
                           "string_upper",
                           "string_repeat",
                           "string_letters",
                           "string_digits",
                           "string_lettersdigits",
                           "string_replace",
                           "string_replace_all",
                           "string_count",
                           "point_distance",
                           "point_direction"};
    ASSERT_GE(r.count(), 52);
    for (int32_t i = 0; i < 52; ++i) {
        EXPECT_EQ(r.entry(i).name, names[i]);
        EXPECT_EQ(r.find(names[i]), i);
    }
    struct Count {
        const char* name;
        int32_t argc;
    } counts[] = {{"arctan2", 2},      {"power", 2},          {"logn", 2},
                  {"min3", 3},         {"max3", 3},           {"string_format", 3},
                  {"string_copy", 3},  {"string_insert", 3},  {"string_repeat", 2},
                  {"string_count", 2}, {"point_distance", 4}, {"point_direction", 4},
                  {"random", 1}};
    for (const auto& c : counts) EXPECT_EQ(r.argument_count(r.find(c.name)), c.argc) << c.name;
    EXPECT_EQ(r.find("Sin"), -1);
    EXPECT_EQ(r.argument_count(-1), -1);
    EXPECT_EQ(r.argument_count(r.count()), -1);
}

TEST(Registry, CallChecksIndexAndCountAndCopiesArguments) {
    Runtime rt;
    const FunctionRegistry& r = function_registry();
    RValue args[10];
    args[0] = RValue(-3);
    RValue result;
    ASSERT_TRUE(call_function(rt, r.find("abs"), nullptr, nullptr, result, args, 1));
    EXPECT_EQ(result.real, 3);
    EXPECT_EQ(args[0].real, -3);
    result = RValue(99);
    EXPECT_FALSE(call_function(rt, r.find("abs"), nullptr, nullptr, result, args, 2));
    EXPECT_FALSE(call_function(rt, -1, nullptr, nullptr, result, args, 1));
    EXPECT_FALSE(call_function(rt, r.count(), nullptr, nullptr, result, args, 1));
    EXPECT_EQ(result.real, 99); // left alone on failure
    // Indices from 100000 on are scripts; this game has none.
    EXPECT_FALSE(call_function(rt, 100000, nullptr, nullptr, result, args, 0));
}

TEST(Formatting, StringOfReals) {
    struct Case {
        double x;
        const char* text;
    } cases[] = {
        {3, "3"},
        {-7, "-7"},
        {0, "0"},
        {-0.0, "0"},
        {2.5, "2.50"},
        {1.0 / 3, "0.33"},
        {-1.25, "-1.25"},
        {123456.789, "123456.79"},
        {1e15, "1000000000000000"},
        // Halves of the decimal digits round away from zero.
        {0.125, "0.13"},
        {-0.125, "-0.13"},
        {0.005, "0.01"},
        // Rounded away entirely: no minus sign.
        {-0.001, "0.00"},
        {9.999, "10.00"},
        // At most 10 significant digits.
        {1234567890.5, "1234567891.00"},
        {123456789.125, "123456789.10"},
        // More than 10 digits before the point: exponent notation.
        {12345678901.5, "1.23456789E10"},
        {-98765432109.75, "-9.876543211E10"},
        {1e300, "1E300"},
        {std::numeric_limits<double>::infinity(), "INF"},
        {-std::numeric_limits<double>::infinity(), "-INF"},
        {std::nan(""), "NAN"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_real(c.x), c.text) << c.x;
}

TEST(Formatting, FixedWithPrecisionAndDecimals) {
    struct Case {
        double x;
        int precision, decimals;
        const char* text;
    } cases[] = {
        {3.14159, 10, 3, "3.142"},
        {3, 5, 2, "3.00"},
        {123.456, 4, 2, "123.50"},
        {123.456, 2, 1, "1.2E2"},
        {0.000123, 10, 5, "0.00012"},
        {-2.5, 10, 0, "-3"},
        {1.5, 10, 0, "2"},
        {5, 0, 0, "5"},
        {1e-300, 10, 2, "0.00"},
        {2, 30, 25, "2.000000000000000000"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format_fixed(c.x, c.precision, c.decimals), c.text)
            << c.x << " " << c.precision << " " << c.decimals;
}

TEST(Parsing, RealFromText) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"12.5", true, 12.5}, {"-3", true, -3},  {"+4", true, 4},     {" 7 ", true, 7},
        {".5", true, 0.5},    {"5.", true, 5},   {"1e3", true, 1000}, {"2.5E-1", true, 0.25},
        {"", false, 0},       {"abc", false, 0}, {"1,5", false, 0},   {"1e", false, 0},
        {"0x10", false, 0},   {"inf", false, 0}, {"- 1", false, 0},   {".", false, 0},
    };
    for (const auto& c : cases) {
        double v = -1;
        EXPECT_EQ(parse_real(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST(Random, LinearCongruentialSequence) {
    uint32_t seed = 0;
    // seed := seed * 134775813 + 1 (mod 2^32), r := seed / 2^32
    EXPECT_EQ(next_random(seed), 1.0 / 4294967296.0);
    EXPECT_EQ(seed, 1u);
    EXPECT_EQ(next_random(seed), 134775814.0 / 4294967296.0);
    seed = 0xffffffffu;
    double r = next_random(seed);
    EXPECT_EQ(seed, uint32_t(0xffffffffu * 134775813u + 1u));
    EXPECT_GE(r, 0.0);
    EXPECT_LT(r, 1.0);
}

TEST(Functions, RoundingAtTheLimitsIsDefined) {
    Runtime rt;
    const FunctionRegistry& r = function_registry();
    auto call1 = [&](const char* name, double x) {
        RValue args[10];
        args[0] = RValue(x);
        RValue result;
        EXPECT_TRUE(call_function(rt, r.find(name), nullptr, nullptr, result, args, 1));
        return result.real;
    };
    // floor and ceil give 32-bit integers, saturating beyond them.
    EXPECT_EQ(call1("floor", 3e9), 2147483647.0);
    EXPECT_EQ(call1("ceil", -3e9), -2147483648.0);
    EXPECT_EQ(call1("floor", std::nan("")), 0.0);
    EXPECT_EQ(call1("round", 3e9 + 0.5), 3e9);
    EXPECT_EQ(call1("round", 1e20), 1e20);
    EXPECT_TRUE(std::isnan(call1("sqrt", -1)));
    EXPECT_EQ(call1("ln", 0), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(call1("sign", std::nan("")), -1);
    // Computed in extended precision: exact where the quotient of logarithms is.
    RValue args[10];
    args[0] = RValue(10);
    args[1] = RValue(1000);
    RValue result;
    ASSERT_TRUE(call_function(rt, r.find("logn"), nullptr, nullptr, result, args, 2));
    EXPECT_EQ(result.real, 3.0);
}

} // namespace
} // namespace kelvane
