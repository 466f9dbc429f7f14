// The operators of the script language and the recording of run errors: the slow paths
// shared by the tree walker and the machine.
#include "code/Code_Operators.h"

#include "code/Code_Class.h"
#include "code/Code_Main.h"

namespace kelvane {

const char* apply_operator(int32_t op, RValue& l, const RValue& r) {
    switch (op) {
    case tk_plus:
        if (l.kind == kind_real && r.kind == kind_real) {
            l.real += r.real;
        } else if (l.kind == kind_string && r.kind == kind_string) {
            l.str += r.str;
        } else {
            return "Wrong type of arguments.";
        }
        return nullptr;
    case tk_minus:
    case tk_times:
    case tk_divide:
    case tk_div:
    case tk_mod:
        if (l.kind != kind_real || r.kind != kind_real) return "Wrong type of arguments.";
        if (numeric_operator(op, l, r.real)) return nullptr;
        return op == tk_mod ? "Modulo by 0." : "Division by 0.";
    case tk_and:
    case tk_or: {
        if (l.kind != kind_real || r.kind != kind_real)
            return "Wrong type of arguments for logical operator.";
        bool a = l.real > 0.5, b = r.real > 0.5;
        l.real = (op == tk_and ? a && b : a || b) ? 1 : 0;
        return nullptr;
    }
    default: { // comparisons
        double d;
        if (l.kind == kind_real && r.kind == kind_real) {
            d = l.real - r.real;
        } else if (l.kind == kind_string && r.kind == kind_string) {
            int c = l.str.view().compare(r.str.view());
            d = c < 0 ? -1 : c > 0 ? 1 : 0;
        } else {
            return "Cannot compare arguments.";
        }
        l.kind = kind_real;
        l.real = d;
        double zero = 0;
        numeric_operator(op, l, zero);
        return nullptr;
    }
    }
}

const char* apply_prefix(int32_t op, RValue& v) {
    if (v.kind != kind_real)
        return op == tk_minus  ? "Wrong type of argument to -."
               : op == tk_plus ? "Wrong type of argument to +."
                               : "Wrong type of argument to not.";
    if (op == tk_minus) v.real = -v.real;
    if (op == tk_not) v.real = round_even(v.real) > 0.5 ? 0 : 1;
    return nullptr;
}

const char* combine_assignment(int32_t op, RValue& cur, const RValue& v) {
    if (op == tk_add_assign) {
        if (cur.kind == kind_real && v.kind == kind_real)
            cur.real += v.real;
        else if (cur.kind == kind_string && v.kind == kind_string)
            cur.str += v.str;
        else
            return "Wrong type of arguments.";
        return nullptr;
    }
    if (cur.kind != kind_real || v.kind != kind_real) return "Wrong type of arguments.";
    if (op == tk_sub_assign) cur.real -= v.real;
    if (op == tk_mul_assign) cur.real *= v.real;
    if (op == tk_div_assign) {
        if (v.real == 0) return "Division by 0.";
        cur.real /= v.real;
    }
    return nullptr;
}

int32_t combined_index(const RValue& i, const RValue* j, const char*& error) {
    double first = 0, second;
    if (j) {
        if (i.kind != kind_real || j->kind != kind_real) {
            error = "wrong type of array index";
            return -1;
        }
        first = round_even(i.real);
        second = round_even(j->real);
    } else {
        if (i.kind != kind_real) {
            error = "wrong type of array index";
            return -1;
        }
        second = round_even(i.real);
    }
    // NaN passes none of the range tests below as a valid index.
    if (first < 0 || second < 0) {
        error = "negative array index not allowed";
        return -1;
    }
    if (!(first < array_row_size && second < array_row_size)) {
        error = "array index larger than 32000";
        return -1;
    }
    if (first * second > 1000000) {
        error = "product of array indeces larger than 1000000";
        return -1;
    }
    return int32_t(first) * array_row_size + int32_t(second);
}

void record_error(ScriptState& s, const CCode& code, const std::vector<RToken>& tokens,
                  int32_t token, std::string_view message) {
    const std::string& text = code.text();
    int64_t a = token >= 0 && token < int32_t(tokens.size()) ? tokens[size_t(token)].position : 0;
    if (a > int64_t(text.size())) a = int64_t(text.size());
    if (a < 0) a = 0;
    int32_t line = 1;
    size_t after_cr = 0; // 0-based index just after the last CR among the first a chars
    for (size_t i = 0; i < size_t(a); ++i)
        if (text[i] == '\r') {
            ++line;
            after_cr = i + 1;
        }
    size_t next_cr = text.find('\r', after_cr);
    if (next_cr == std::string::npos) next_cr = text.size();
    ErrorGlobals& e = s.error;
    e.flag = true;
    e.message = message;
    e.line = line;
    e.column = int32_t(size_t(a) - after_cr);
    e.line_text = text.substr(after_cr, next_cr - after_cr);
}

} // namespace kelvane
