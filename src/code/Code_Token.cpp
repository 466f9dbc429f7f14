// The scanner and the variable name table.
#include "code/Code_Token.h"

#include "code/Code_Constant.h"
#include "code/Variable_BuiltIn.h"
#include "functions/Function_Main.h"
#include "run/Runtime.h"

namespace kelvane {

// ---- variable name table ----

int32_t VariableNames::intern(std::string_view name) {
    auto it = ids_.find(std::string(name));
    if (it != ids_.end()) return it->second;
    int32_t id = first_user_variable + count();
    names_.emplace_back(name);
    ids_.emplace(names_.back(), id);
    return id;
}

const std::string& VariableNames::name(int32_t id) const {
    static const std::string none;
    int64_t n = int64_t(id) - first_user_variable;
    return n >= 0 && n < count() ? names_[size_t(n)] : none;
}

void VariableNames::clear() {
    names_.clear();
    ids_.clear();
}

// ---- scanner ----

namespace {

struct Keyword {
    std::string_view name;
    int32_t kind;
};

constexpr Keyword keywords[] = {
    {"begin", tk_begin},   {"end", tk_end_block}, {"if", tk_if},
    {"then", tk_then},     {"else", tk_else},     {"while", tk_while},
    {"do", tk_do},         {"for", tk_for},       {"with", tk_with},
    {"until", tk_until},   {"repeat", tk_repeat}, {"exit", tk_exit},
    {"return", tk_return}, {"break", tk_break},   {"continue", tk_continue},
    {"and", tk_and},       {"or", tk_or},         {"not", tk_not},
    {"div", tk_div},       {"mod", tk_mod},
};

struct Instance_Keyword {
    std::string_view name;
    int32_t scope;
};

constexpr Instance_Keyword instance_keywords[] = {
    {"self", scope_self},   {"other", scope_other},   {"all", scope_all},
    {"noone", scope_noone}, {"global", scope_global},
};

struct TwoChar {
    char a, b;
    int32_t kind;
};

constexpr TwoChar two_char_tokens[] = {
    {':', '=', tk_assign},     {'+', '=', tk_add_assign}, {'-', '=', tk_sub_assign},
    {'*', '=', tk_mul_assign}, {'/', '=', tk_div_assign}, {'&', '&', tk_and},
    {'|', '|', tk_or},         {'<', '=', tk_less_equal}, {'=', '=', tk_equal},
    {'!', '=', tk_not_equal},  {'<', '>', tk_not_equal},  {'>', '=', tk_greater_equal},
};

int32_t one_char_token(char c) {
    switch (c) {
    case '!':
        return tk_not;
    case '(':
        return tk_open;
    case ')':
        return tk_close;
    case '*':
        return tk_times;
    case '+':
        return tk_plus;
    case ',':
        return tk_comma;
    case '-':
        return tk_minus;
    case '.':
        return tk_dot;
    case '/':
        return tk_divide;
    case ';':
        return tk_semicolon;
    case '<':
        return tk_less;
    case '=':
        return tk_assign;
    case '>':
        return tk_greater;
    case '[':
        return tk_open_index;
    case ']':
        return tk_close_index;
    case '{':
        return tk_begin;
    case '}':
        return tk_end_block;
    default:
        return tk_unknown;
    }
}

bool is_letter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

RToken value_token(RValue v, int32_t position) {
    RToken t;
    t.kind = tk_value;
    t.value = std::move(v);
    t.position = position;
    return t;
}

// Resolves a name, first match wins: keyword, instance keyword, constant, function,
// script, resource (object, sprite, sound, background, room, path), built-in variable,
// user variable.
RToken resolve_name(std::string_view name, int32_t position, Runtime& rt) {
    RToken t;
    t.position = position;
    for (const auto& k : keywords)
        if (k.name == name) {
            t.kind = k.kind;
            return t;
        }
    for (const auto& k : instance_keywords)
        if (k.name == name) return value_token(RValue(double(k.scope)), position);
    if (auto c = find_constant(name)) return value_token(RValue(*c), position);
    std::string n(name);
    int32_t f = function_registry().find(name);
    if (f < 0) {
        int32_t s = rt.game.scripts.find(n);
        if (s >= 0) f = script_call_base + s;
    }
    if (f >= 0) {
        t.kind = tk_call;
        t.function = f;
        return t;
    }
    const Game& g = rt.game;
    for (int32_t r : {g.objects.find(n), g.sprites.find(n), g.sounds.find(n), g.backgrounds.find(n),
                      g.rooms.find(n), g.paths.find(n)})
        if (r >= 0) return value_token(RValue(double(r)), position);
    int32_t b = find_builtin(name);
    int32_t id = b >= 0 ? b : rt.script.names.intern(name);
    return value_token(RValue::reference(scope_unqualified, id), position);
}

} // namespace

void tokenize(CTokenList& tokens, std::string_view text, Runtime& rt) {
    auto& out = tokens.items;
    out.clear();
    const size_t L = text.size();
    // p is 0-based here; positions in tokens are 1-based.
    size_t p = 0;
    auto at = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    for (;;) {
        while (p < L && at(p) <= 32) ++p;
        if (p >= L) {
            RToken t;
            t.kind = tk_end;
            t.position = int32_t(p + 1);
            out.push_back(std::move(t));
            return;
        }
        int32_t pos = int32_t(p + 1);
        char c = text[p];
        if (c == '/' && p + 1 < L && text[p + 1] == '/') {
            while (p < L && text[p] != '\r' && text[p] != '\n') ++p;
            if (p < L) ++p;
            continue;
        }
        if (is_letter(c)) {
            size_t b = p;
            while (p < L && (is_letter(text[p]) || is_digit(text[p]))) ++p;
            out.push_back(resolve_name(text.substr(b, p - b), pos, rt));
            continue;
        }
        if (is_digit(c)) {
            // Accumulated in extended precision, then stored as a double.
            long double s = 0, f = 1;
            bool fraction = false;
            for (; p < L; ++p) {
                char d = text[p];
                if (is_digit(d)) {
                    if (fraction) {
                        f /= 10;
                        s += (d - '0') * f;
                    } else {
                        s = s * 10 + (d - '0');
                    }
                } else if (d == '.' && !fraction) {
                    fraction = true;
                } else {
                    break;
                }
            }
            out.push_back(value_token(RValue(double(s)), int32_t(p + 1)));
            continue;
        }
        if (c == '\'' || c == '"') {
            size_t b = ++p;
            while (p < L && text[p] != c) ++p;
            RString s(text.substr(b, p - b));
            if (p < L) ++p; // the closing quote
            out.push_back(value_token(RValue(std::move(s)), int32_t(p + 1)));
            continue;
        }
        RToken t;
        t.position = pos;
        t.kind = tk_unknown;
        if (p + 1 < L) {
            for (const auto& two : two_char_tokens)
                if (two.a == c && two.b == text[p + 1]) {
                    t.kind = two.kind;
                    break;
                }
        }
        if (t.kind != tk_unknown) {
            p += 2;
        } else {
            t.kind = one_char_token(c);
            ++p;
        }
        out.push_back(std::move(t));
    }
}

} // namespace kelvane
