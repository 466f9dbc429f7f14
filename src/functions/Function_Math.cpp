// The mathematics and strings functions: type tests, arithmetic and rounding,
// transcendental functions, conversions between reals and strings, string editing and two
// geometry helpers. None reports an error; results outside a function's domain are the
// IEEE results of the C library (NaN, infinities), integers saturate at their range.
#include "functions/Function_Math.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "run/Runtime.h"

namespace kelvane {

// ---- number formatting ----

namespace {

// A finite real as decimal digits: value = 0.d0 d1 d2 ... x 10^point.
struct Decimal {
    bool negative = false;
    std::string digits; // no leading zeros; empty for zero
    int point = 0;
};

// The real's first 18 significant digits, as a long double conversion would give them.
Decimal to_decimal(double x) {
    Decimal d;
    d.negative = std::signbit(x);
    if (x == 0) return d;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(x));
    // buf: d.ddddddddddddddddde[+-]xx
    const char* p = buf;
    for (; *p && *p != 'e'; ++p)
        if (*p != '.') d.digits += *p;
    int exponent = *p == 'e' ? std::atoi(p + 1) : 0;
    d.point = exponent + 1;
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
    return d;
}

// Rounds to `keep` leading digits, halves up (the decimal digits, not the binary value).
void round_digits(Decimal& d, int keep) {
    if (int(d.digits.size()) <= keep) return;
    if (keep < 0) {
        d.digits.clear();
        return;
    }
    bool up = d.digits[size_t(keep)] >= '5';
    d.digits.resize(size_t(keep));
    if (up) {
        int i = keep - 1;
        while (i >= 0 && d.digits[size_t(i)] == '9') d.digits[size_t(i--)] = '0';
        if (i >= 0) {
            ++d.digits[size_t(i)];
        } else {
            d.digits.insert(d.digits.begin(), '1');
            ++d.point;
        }
    }
    while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
}

std::string format_special(double x) {
    if (std::isnan(x)) return "NAN";
    return x < 0 ? "-INF" : "INF";
}

// Exponent notation: the significant digits with the point after the first, then E and
// the exponent without leading zeros or plus sign (1.5E11, 2E-5).
std::string format_exponent(const Decimal& d) {
    std::string s = d.negative ? "-" : "";
    s += d.digits[0];
    if (d.digits.size() > 1) {
        s += '.';
        s.append(d.digits, 1);
    }
    s += 'E';
    s += std::to_string(d.point - 1);
    return s;
}

} // namespace

std::string format_fixed(double x, int precision, int decimals) {
    if (!std::isfinite(x)) return format_special(x);
    precision = std::clamp(precision, 1, 18);
    decimals = std::clamp(decimals, 0, 18);
    Decimal d = to_decimal(x);
    if (d.digits.empty()) d.point = 0;
    if (d.point > precision) {
        round_digits(d, precision);
        return format_exponent(d);
    }
    int keep = std::min(precision, d.point + decimals);
    if (keep == 0 && !d.digits.empty() && d.digits[0] >= '5') {
        // Rounds up to one unit of the last decimal kept.
        d.digits = "1";
        ++d.point;
    } else {
        round_digits(d, keep);
    }
    if (d.point > precision && !d.digits.empty()) return format_exponent(d);
    if (d.digits.empty()) d.negative = false; // no "-0.00"
    std::string s = d.negative ? "-" : "";
    auto digit = [&](int i) {
        return i >= 0 && i < int(d.digits.size()) ? d.digits[size_t(i)] : '0';
    };
    if (d.point <= 0) {
        s += '0';
    } else {
        for (int i = 0; i < d.point; ++i) s += digit(i);
    }
    if (decimals > 0) {
        s += '.';
        for (int i = 0; i < decimals; ++i) s += digit(d.point + i);
    }
    return s;
}

std::string format_real(double x) {
    // Integral values inside the 64-bit range are written as integers.
    if (std::isfinite(x) && x == std::nearbyint(x) && std::fabs(x) < 9223372036854775808.0) {
        char buf[32];
        std::snprintf(buf, sizeof buf, "%lld", static_cast<long long>(x));
        return buf;
    }
    return format_fixed(x, 10, 2);
}

bool parse_real(std::string_view t, double& out) {
    size_t b = 0, e = t.size();
    while (b < e && (t[b] == ' ' || t[b] == '\t')) ++b;
    while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t')) --e;
    std::string s(t.substr(b, e - b));
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t exp_digits = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i, ++exp_digits;
        if (exp_digits == 0) return false;
    }
    if (i != s.size()) return false;
    out = std::strtod(s.c_str(), nullptr);
    return true;
}

double next_random(uint32_t& seed) {
    seed = seed * 134775813u + 1u;
    return double(seed) / 4294967296.0;
}

// ---- the functions ----

namespace {

#define FN(name)                                                                                   \
    void name(Runtime& rt [[maybe_unused]], CInstance*, CInstance*, int32_t, RValue& r,            \
              const RValue* a [[maybe_unused]])

void set_real(RValue& r, double x) {
    r.kind = kind_real;
    r.real = x;
}
void set_string(RValue& r, RString s) {
    r.kind = kind_string;
    r.str = std::move(s);
}
// The transcendental functions compute in extended precision, as x87 code does, and
// store the result as a double.
constexpr long double pi_l = 3.141592653589793238462643383279502884L;
long double ld(const RValue& v) {
    return v.real;
}
// An integer argument: the number rounded, halves to even.
int32_t int_arg(const RValue& v) {
    return to_int32(v.real);
}

FN(fn_is_real) {
    set_real(r, a[0].kind == kind_real ? 1 : 0);
}
FN(fn_is_string) {
    set_real(r, a[0].kind == kind_string ? 1 : 0);
}
FN(fn_random) {
    set_real(r, next_random(rt.script.random_seed) * a[0].real);
}
FN(fn_abs) {
    set_real(r, std::fabs(a[0].real));
}
FN(fn_round) {
    double x = a[0].real;
    set_real(r, std::fabs(x) < 9223372036854775808.0 ? double(to_int64(x)) : x);
}
// floor and ceil give 32-bit integers; beyond that range they saturate.
FN(fn_floor) {
    set_real(r, double(to_int32(std::floor(a[0].real))));
}
FN(fn_ceil) {
    set_real(r, double(to_int32(std::ceil(a[0].real))));
}
FN(fn_sign) {
    set_real(r, a[0].real > 0 ? 1 : -1);
}
FN(fn_frac) {
    set_real(r, a[0].real - std::trunc(a[0].real));
}
FN(fn_sqrt) {
    set_real(r, std::sqrt(a[0].real));
}
FN(fn_sqr) {
    set_real(r, a[0].real * a[0].real);
}
FN(fn_exp) {
    set_real(r, double(std::exp(ld(a[0]))));
}
FN(fn_ln) {
    set_real(r, double(std::log(ld(a[0]))));
}
FN(fn_log2) {
    set_real(r, double(std::log2(ld(a[0]))));
}
FN(fn_log10) {
    set_real(r, double(std::log10(ld(a[0]))));
}
FN(fn_sin) {
    set_real(r, double(std::sin(ld(a[0]))));
}
FN(fn_cos) {
    set_real(r, double(std::cos(ld(a[0]))));
}
FN(fn_tan) {
    set_real(r, double(std::tan(ld(a[0]))));
}
FN(fn_arcsin) {
    set_real(r, double(std::asin(ld(a[0]))));
}
FN(fn_arccos) {
    set_real(r, double(std::acos(ld(a[0]))));
}
FN(fn_arctan) {
    set_real(r, double(std::atan2(ld(a[0]), 1.0L)));
}
FN(fn_arctan2) {
    set_real(r, double(std::atan2(ld(a[0]), ld(a[1]))));
}
FN(fn_degtorad) {
    set_real(r, double(ld(a[0]) * pi_l / 180));
}
FN(fn_radtodeg) {
    set_real(r, double(ld(a[0]) * 180 / pi_l));
}
FN(fn_power) {
    set_real(r, double(std::pow(ld(a[0]), ld(a[1]))));
}
FN(fn_logn) {
    set_real(r, double(std::log(ld(a[1])) / std::log(ld(a[0]))));
}
FN(fn_min) {
    set_real(r, a[0].real < a[1].real ? a[0].real : a[1].real);
}
FN(fn_max) {
    set_real(r, a[0].real > a[1].real ? a[0].real : a[1].real);
}
FN(fn_min3) {
    double m = a[0].real < a[1].real ? a[0].real : a[1].real;
    set_real(r, m < a[2].real ? m : a[2].real);
}
FN(fn_max3) {
    double m = a[0].real > a[1].real ? a[0].real : a[1].real;
    set_real(r, m > a[2].real ? m : a[2].real);
}
FN(fn_mean) {
    set_real(r, (a[0].real + a[1].real) / 2);
}
FN(fn_real) {
    if (a[0].kind != kind_string) {
        r = a[0];
        return;
    }
    double x = 0;
    set_real(r, parse_real(a[0].str.view(), x) ? x : 0);
}
FN(fn_string) {
    if (a[0].kind == kind_string) {
        r = a[0];
        return;
    }
    set_string(r, format_real(a[0].real));
}
FN(fn_string_format) {
    if (a[0].kind == kind_string) {
        r = a[0];
        return;
    }
    set_string(r, format_fixed(a[0].real, int_arg(a[1]), int_arg(a[2])));
}
FN(fn_chr) {
    char c = char(uint8_t(uint32_t(int_arg(a[0])) & 0xff));
    set_string(r, RString(std::string_view(&c, 1)));
}
FN(fn_ord) {
    set_real(r, a[0].str.empty() ? 0 : double(uint8_t(a[0].str[0])));
}
FN(fn_string_length) {
    set_real(r, double(a[0].str.size()));
}
FN(fn_string_pos) {
    std::string_view sub = a[0].str, s = a[1].str;
    size_t p = sub.empty() ? std::string_view::npos : s.find(sub);
    set_real(r, p == std::string_view::npos ? 0 : double(p + 1));
}

// The part of s from 1-based `index`, `count` characters long, clamped as Copy does.
std::string_view copy_part(std::string_view s, int32_t index, int32_t count) {
    if (index < 1) index = 1;
    if (count <= 0 || size_t(index) > s.size()) return {};
    size_t from = size_t(index) - 1;
    return s.substr(from, std::min(size_t(count), s.size() - from));
}

FN(fn_string_copy) {
    set_string(r, copy_part(a[0].str, int_arg(a[1]), int_arg(a[2])));
}
FN(fn_string_delete) {
    std::string_view s = a[0].str;
    int32_t index = int_arg(a[1]), count = int_arg(a[2]);
    if (index < 1 || size_t(index) > s.size() || count <= 0) {
        set_string(r, a[0].str);
        return;
    }
    size_t from = size_t(index) - 1, n = std::min(size_t(count), s.size() - from);
    std::string out(s.substr(0, from));
    out.append(s.substr(from + n));
    set_string(r, out);
}
FN(fn_string_insert) {
    std::string_view sub = a[0].str, s = a[1].str;
    int32_t index = int_arg(a[2]);
    size_t at = index < 1 ? 0 : std::min(size_t(index) - 1, s.size());
    RString out(s.substr(0, at));
    out += sub;
    out += s.substr(at);
    set_string(r, std::move(out));
}
std::string map_chars(std::string_view s, int (*f)(int)) {
    std::string out(s);
    for (char& c : out)
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) c = char(f(c));
    return out;
}
FN(fn_string_lower) {
    set_string(r, map_chars(a[0].str, [](int c) { return c | 0x20; }));
}
FN(fn_string_upper) {
    set_string(r, map_chars(a[0].str, [](int c) { return c & ~0x20; }));
}
FN(fn_string_repeat) {
    std::string_view s = a[0].str;
    int64_t n = to_int64(a[1].real);
    RString out;
    if (n > 0 && !s.empty()) {
        if (uint64_t(n) > RString::max_length / s.size()) throw std::bad_alloc();
        for (int64_t i = 0; i < n; ++i) out += s;
    }
    set_string(r, std::move(out));
}
bool is_letter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}
template <bool Letters, bool Digits> FN(fn_filter) {
    std::string out;
    for (char c : a[0].str.view())
        if ((Letters && is_letter(c)) || (Digits && is_digit(c))) out += c;
    set_string(r, out);
}
// Replaces the first (or every) occurrence of sub, never rescanning inserted text.
RString replace(std::string_view s, std::string_view sub, std::string_view with, bool all) {
    if (sub.empty()) return RString(s);
    RString out;
    size_t from = 0;
    for (;;) {
        size_t p = s.find(sub, from);
        if (p == std::string_view::npos) break;
        out += s.substr(from, p - from);
        out += with;
        from = p + sub.size();
        if (!all) break;
    }
    out += s.substr(from);
    return out;
}
FN(fn_string_replace) {
    set_string(r, replace(a[0].str, a[1].str, a[2].str, false));
}
FN(fn_string_replace_all) {
    set_string(r, replace(a[0].str, a[1].str, a[2].str, true));
}
FN(fn_string_count) {
    std::string_view sub = a[0].str, s = a[1].str;
    double n = 0;
    if (!sub.empty())
        for (size_t p = s.find(sub); p != std::string_view::npos; p = s.find(sub, p + sub.size()))
            ++n;
    set_real(r, n);
}
FN(fn_point_distance) {
    double dx = a[2].real - a[0].real, dy = a[3].real - a[1].real;
    set_real(r, std::sqrt(dx * dx + dy * dy));
}
FN(fn_point_direction) {
    double dx = a[2].real - a[0].real, dy = a[3].real - a[1].real;
    if (dx != 0) {
        double d = double(std::atan2((long double)dy, (long double)dx) * 180 / pi_l);
        set_real(r, d > 0 ? 360 - d : -d);
    } else {
        set_real(r, dy > 0 ? 270 : dy < 0 ? 90 : 0);
    }
}

const RFunction functions[] = {
    {"is_real", fn_is_real, 1},
    {"is_string", fn_is_string, 1},
    {"random", fn_random, 1},
    {"abs", fn_abs, 1},
    {"round", fn_round, 1},
    {"floor", fn_floor, 1},
    {"ceil", fn_ceil, 1},
    {"sign", fn_sign, 1},
    {"frac", fn_frac, 1},
    {"sqrt", fn_sqrt, 1},
    {"sqr", fn_sqr, 1},
    {"exp", fn_exp, 1},
    {"ln", fn_ln, 1},
    {"log2", fn_log2, 1},
    {"log10", fn_log10, 1},
    {"sin", fn_sin, 1},
    {"cos", fn_cos, 1},
    {"tan", fn_tan, 1},
    {"arcsin", fn_arcsin, 1},
    {"arccos", fn_arccos, 1},
    {"arctan", fn_arctan, 1},
    {"arctan2", fn_arctan2, 2},
    {"degtorad", fn_degtorad, 1},
    {"radtodeg", fn_radtodeg, 1},
    {"power", fn_power, 2},
    {"logn", fn_logn, 2},
    {"min", fn_min, 2},
    {"max", fn_max, 2},
    {"min3", fn_min3, 3},
    {"max3", fn_max3, 3},
    {"mean", fn_mean, 2},
    {"real", fn_real, 1},
    {"string", fn_string, 1},
    {"string_format", fn_string_format, 3},
    {"chr", fn_chr, 1},
    {"ord", fn_ord, 1},
    {"string_length", fn_string_length, 1},
    {"string_pos", fn_string_pos, 2},
    {"string_copy", fn_string_copy, 3},
    {"string_delete", fn_string_delete, 3},
    {"string_insert", fn_string_insert, 3},
    {"string_lower", fn_string_lower, 1},
    {"string_upper", fn_string_upper, 1},
    {"string_repeat", fn_string_repeat, 2},
    {"string_letters", fn_filter<true, false>, 1},
    {"string_digits", fn_filter<false, true>, 1},
    {"string_lettersdigits", fn_filter<true, true>, 1},
    {"string_replace", fn_string_replace, 3},
    {"string_replace_all", fn_string_replace_all, 3},
    {"string_count", fn_string_count, 2},
    {"point_distance", fn_point_distance, 4},
    {"point_direction", fn_point_direction, 4},
};

static_assert(std::size(functions) == 52);

} // namespace

std::span<const RFunction> math_functions() {
    return functions;
}

} // namespace kelvane
