// The scanner: turns the text of a piece of code into a token list, resolving every name
// once (keywords, constants, functions, scripts, resources, built-in and user variables).
// Also owns the variable name table that gives user variables their ids.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;

enum TokenKind : int32_t {
    tk_end = -2,       // end of the text
    tk_unknown = -1,   // a character that starts no token
    tk_value = 1,      // number, string, constant, resource, instance keyword, variable
    tk_call = 2,       // built-in function or script
    tk_begin = 11,     // begin {
    tk_end_block = 12, // end }
    tk_if = 13,
    tk_then = 14,
    tk_else = 15,
    tk_while = 16,
    tk_do = 17,
    tk_for = 18,
    tk_until = 19,
    tk_repeat = 20,
    tk_exit = 21,
    tk_break = 22,
    tk_continue = 23,
    tk_with = 24,
    tk_return = 25,
    tk_assign = 101, // = :=
    tk_add_assign = 102,
    tk_sub_assign = 103,
    tk_mul_assign = 104,
    tk_div_assign = 105,
    tk_open = 106,
    tk_close = 107,
    tk_semicolon = 108,
    tk_comma = 109,
    tk_open_index = 110,
    tk_close_index = 111,
    tk_dot = 112,
    tk_and = 201, // and &&
    tk_or = 202,  // or ||
    tk_not = 203, // not !
    tk_less = 204,
    tk_less_equal = 205,
    tk_equal = 206,
    tk_not_equal = 207, // != <>
    tk_greater_equal = 208,
    tk_greater = 209,
    tk_plus = 210,
    tk_minus = 211,
    tk_times = 212,
    tk_divide = 213,
    tk_div = 214,
    tk_mod = 215,
};

// Call tokens name a script by this base plus the script's index.
constexpr int32_t script_call_base = 100000;

struct RToken {
    int32_t kind = tk_end;
    // For a call: the function's registry index, or script_call_base + script index.
    int32_t function = -1;
    // For a value token: the value (a real, a string or a variable reference).
    RValue value;
    // 1-based character position, used only for error messages.
    int32_t position = 0;
};

class CTokenList {
  public:
    std::vector<RToken> items;
    int32_t count() const { return int32_t(items.size()); }
};

// The run-wide table of user variable names. A name's id is first_user_variable plus its
// position; names are never removed, so an id means the same name everywhere in the game.
class VariableNames {
  public:
    // The id of a name, appending the name when it is new.
    int32_t intern(std::string_view name);
    // The name of an id, or the empty string for an id that names no user variable.
    const std::string& name(int32_t id) const;
    int32_t count() const { return int32_t(names_.size()); }
    void clear();

  private:
    std::vector<std::string> names_;
    std::unordered_map<std::string, int32_t> ids_;
};

// Scans `text` into `tokens` (emptied first), resolving names against the runtime's game,
// the registries and its variable name table. Never fails; the list ends with tk_end.
void tokenize(CTokenList& tokens, std::string_view text, Runtime& rt);

} // namespace kelvane
