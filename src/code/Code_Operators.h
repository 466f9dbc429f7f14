// What the operators of the script language compute, shared by the tree walker
// (Code_Execute) and the machine (Code_Machine): each returns the message of the error it
// meets, or null. The result lives in the left operand's record: an operator changes only
// `kind` and the field it computes, and the rest of the record stays as the left value had it.
#pragma once

#include <cmath>
#include <cstdint>
#include <string_view>
#include <vector>

#include "code/Code_Token.h"
#include "code/Variable_Class.h"

namespace kelvane {

struct ScriptState;
class CCode;

// An operator on two reals, done in place; false for the other operators and for a
// division by 0 (left to apply_operator, which reports it).
inline bool numeric_operator(int32_t op, RValue& l, double b) {
    double a = l.real;
    switch (op) {
    case tk_plus:
        l.real = a + b;
        return true;
    case tk_minus:
        l.real = a - b;
        return true;
    case tk_times:
        l.real = a * b;
        return true;
    case tk_divide:
        if (b == 0) return false;
        l.real = a / b;
        return true;
    case tk_div:
        if (b == 0) return false;
        l.real = std::trunc(a / b);
        return true;
    case tk_mod:
        if (b == 0) return false;
        l.real = a - std::trunc(a / b) * b;
        return true;
    // Comparisons of reals look at the sign of the difference.
    case tk_less:
        l.real = a - b < 0 ? 1 : 0;
        return true;
    case tk_less_equal:
        l.real = a - b <= 0 ? 1 : 0;
        return true;
    case tk_equal:
        l.real = a - b == 0 ? 1 : 0;
        return true;
    case tk_not_equal:
        l.real = a - b != 0 ? 1 : 0;
        return true;
    case tk_greater_equal:
        l.real = a - b >= 0 ? 1 : 0;
        return true;
    case tk_greater:
        l.real = a - b > 0 ? 1 : 0;
        return true;
    default:
        return false;
    }
}

// Any binary operator (op: its token kind, `=` as tk_equal) on any two values.
const char* apply_operator(int32_t op, RValue& l, const RValue& r);

// A prefix operator (tk_minus, tk_plus, tk_not) on a value, in place.
const char* apply_prefix(int32_t op, RValue& v);

// Combines the current value of a compound assignment's target with the right side (op:
// tk_add_assign ... tk_div_assign), in place.
const char* combine_assignment(int32_t op, RValue& cur, const RValue& v);

// The combined array index of [i] (j null) or [i, j], both already read; -1 with the
// message when an index check fails.
int32_t combined_index(const RValue& i, const RValue* j, const char*& error);

// Records an error of a run in the error globals: the message, and the line, column and
// line text of the token's position in the code's text.
void record_error(ScriptState& s, const CCode& code, const std::vector<RToken>& tokens,
                  int32_t token, std::string_view message);

} // namespace kelvane
