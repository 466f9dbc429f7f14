// The compiler: statement and expression nodes to machine instructions (see Code_Compile.h).
// Each function lowers one kind of node and mirrors, step for step, what the tree walker
// does with it, so that every read, call, check and error happens in the same order and at
// the same token.
#include "code/Code_Compile.h"

#include <algorithm>
#include <cstdio>
#include <map>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "code/Code_Operators.h"
#include "code/Code_Tree.h"
#include "code/Variable_BuiltIn.h"
#include "functions/Function_Main.h"

namespace kelvane {

namespace {

// An evaluated operand: a value (register or constant), or a variable reference whose read
// is still to come.
struct Operand {
    bool ref = false;
    int32_t v = 0;          // the value's operand
    int32_t scope = 0;      // the reference's static scope ...
    int32_t scope_reg = -1; // ... or the register holding it (after a `.`)
    int32_t id = 0;
    int32_t index_reg = -1; // the register holding the combined index; -1: cell 0
};

bool plain_scope(int32_t scope) {
    return scope == scope_unqualified || scope == scope_self;
}

// An instance built-in that is not an array: reached through its field (Op::get_field).
bool field_builtin(int32_t id) {
    const RBuiltIn* e = id >= first_instance_builtin ? builtin_entry(id) : nullptr;
    return e && e->array == 0;
}
bool writable_field(int32_t id) {
    return field_builtin(id) && builtin_entry(id)->writable;
}

Op binary_op(int32_t token_kind) {
    switch (token_kind) {
    case tk_plus:
        return Op::add;
    case tk_minus:
        return Op::sub;
    case tk_times:
        return Op::mul;
    case tk_divide:
        return Op::divide;
    case tk_div:
        return Op::div;
    case tk_mod:
        return Op::mod;
    case tk_less:
        return Op::less;
    case tk_less_equal:
        return Op::less_equal;
    case tk_equal:
        return Op::equal;
    case tk_not_equal:
        return Op::not_equal;
    case tk_greater_equal:
        return Op::greater_equal;
    case tk_greater:
        return Op::greater;
    case tk_and:
        return Op::logical_and;
    default:
        return Op::logical_or;
    }
}

class Compiler {
  public:
    explicit Compiler(CodeCache& c) : c_(c) {}

    Compiled program() {
        statement(tree_program(c_));
        emit(Op::stop, 0, 0, 0, 0, 0);
        fuse();
        return std::move(out_);
    }

    Compiled expression() {
        Expr* e = tree_expression(c_);
        int32_t v = value(e, c_.expression_end);
        emit(Op::ret, 0, v, 0, 0, 0);
        return std::move(out_);
    }

  private:
    CodeCache& c_;
    Compiled out_;

    // Marks the steps of counting loops (Op::step_test): `v += e`, then `v`, read in
    // place, compared with a constant as a condition; then the other `v += e` of such
    // variables (Op::add_to_self, add_to_global).
    void fuse() {
        auto& code = out_.code;
        for (size_t n = 0; n + 1 < code.size(); ++n) {
            Ins& u = code[n];
            const Ins& j = code[n + 1];
            uint8_t kind = plain_scope(u.x) ? self_variable : global_variable;
            if (u.op == Op::update && u.extra == tk_add_assign && u.c < 0 && u.slot >= 0 &&
                j.op == Op::compare_jump && kind_b(j) == kind && j.b == u.slot &&
                kind_c(j) == in_register && j.c < 0) {
                u.op = real_constant(u.a) && real_constant(j.c) && j.extra == tk_less && j.x != 0
                           ? kind == self_variable ? Op::step_less_self : Op::step_less_global
                           : Op::step_test;
            }
            if (u.op == Op::update_field && u.extra == tk_add_assign && u.c < 0 &&
                j.op == Op::compare_jump && kind_b(j) == builtin_variable && j.b == u.b &&
                kind_c(j) == in_register && j.c < 0)
                u.op = Op::step_field;
            bool adds = u.op == Op::add_fk || u.op == Op::add_fr;
            if ((adds || u.op == Op::sub_fk || u.op == Op::sub_fr) && j.op == Op::set_field &&
                j.a == u.a && j.b == u.b && j.c < 0)
                u.op = adds ? Op::field_add : Op::field_sub;
        }
        for (Ins& u : code) {
            if (u.op == Op::update && u.extra == tk_add_assign && u.c < 0 && u.slot >= 0)
                u.op = plain_scope(u.x) ? Op::add_to_self : Op::add_to_global;
        }
        // A cell read only to be added to a variable (t += a[i]).
        for (size_t n = 0; n + 1 < code.size(); ++n) {
            Ins& g = code[n];
            const Ins& u = code[n + 1];
            if ((g.op == Op::get_cell1 || g.op == Op::get_cell2) &&
                (u.op == Op::add_to_self || u.op == Op::add_to_global) && u.a == g.a)
                g.op = g.op == Op::get_cell1 ? Op::add_cell1 : Op::add_cell2;
        }
    }

    // The constant an operand names (operand < 0).
    const RValue& constant_of(int32_t operand) const {
        return out_.constants[size_t(-1 - operand)];
    }
    // The operand is a constant that is a real.
    bool real_constant(int32_t operand) const {
        return operand < 0 && constant_of(operand).is_real();
    }

    // The slot of a plain user variable of self / a global one.
    std::map<int32_t, int32_t> self_slots_, global_slots_;
    int32_t slot(bool self, int32_t id) {
        auto& slots = self ? self_slots_ : global_slots_;
        auto& ids = self ? out_.self_ids : out_.global_ids;
        auto [at, added] = slots.emplace(id, int32_t(ids.size()));
        if (added) ids.push_back(id);
        return at->second;
    }

    // How a reference can be read in place by the instruction that uses it; in_register
    // when it needs reading into a register first.
    static uint8_t direct_kind(const Operand& o) {
        if (!o.ref || o.scope_reg >= 0 || o.index_reg >= 0) return in_register;
        if (o.id >= builtin_limit && plain_scope(o.scope)) return self_variable;
        if (o.id >= builtin_limit && o.scope == scope_global) return global_variable;
        if (plain_scope(o.scope) && o.id >= bv_argument0 && o.id <= bv_argument9)
            return argument_slot;
        if (plain_scope(o.scope) && o.id < builtin_limit) return builtin_variable;
        return in_register;
    }

    // Two evaluated operands as the operands b and c of one instruction, read at `token`
    // in their order: in place where they can be, else into registers now. The left one
    // is read in place only when the right one's read does not come before it.
    void read_pair(const Operand& l, const Operand& r, bool pair, int32_t token, int32_t& lv,
                   int32_t& rv, uint8_t& vars) {
        uint8_t lk = direct_kind(l), rk = pair ? direct_kind(r) : uint8_t(in_register);
        if (pair && r.ref && rk == in_register) lk = in_register;
        lv = lk ? direct(l, lk) : read(l, token);
        rv = !pair ? 0 : rk ? direct(r, rk) : read(r, token);
        vars = operand_kinds(lk, rk);
    }

    int32_t direct(const Operand& o, uint8_t kind) {
        if (kind == argument_slot) return o.id - bv_argument0;
        if (kind == builtin_variable) return o.id;
        return slot(kind == self_variable, o.id);
    }
    int32_t top_ = 0;  // the next free register
    int32_t with_ = 0; // `with` statements open around the current one
    int32_t statement_ = 0;

    int32_t alloc(int32_t n = 1) {
        int32_t r = top_;
        top_ += n;
        out_.registers = std::max(out_.registers, top_);
        return r;
    }
    int32_t constant(const RValue& v) {
        out_.constants.push_back(v);
        return -int32_t(out_.constants.size());
    }
    int32_t emit(Op op, int32_t a, int32_t b, int32_t c, int32_t x, int32_t token) {
        Ins i;
        i.op = op;
        i.a = a;
        i.b = b;
        i.c = c;
        i.x = x;
        i.token = token;
        out_.code.push_back(i);
        out_.statement.push_back(statement_);
        return int32_t(out_.code.size()) - 1;
    }
    int32_t here() const { return int32_t(out_.code.size()); }
    Ins& at(int32_t n) { return out_.code[size_t(n)]; }
    void patch(int32_t at, int32_t target) { out_.code[size_t(at)].a = target; }
    void raise(int32_t token, const char* message) {
        out_.messages.emplace_back(message);
        emit(Op::raise, 0, int32_t(out_.messages.size()) - 1, 0, 0, token);
    }
    void raise(const SkipResult& r) { raise(r.error_token, r.error); }

    // ---- expressions ----

    // Evaluates without reading: a variable yields its reference.
    Operand eval(const Expr* e) {
        Operand o;
        if (parse_stack_exhausted()) {
            // Compiling recurses over the nodes as parsing did; on a stack too small for
            // that the code is refused where the stack ran short.
            raise(e->end, too_deep_message);
            o.v = constant(RValue());
            return o;
        }
        switch (e->kind) {
        case EK::variable:
            o.ref = true;
            o.scope = e->value.scope;
            o.id = e->value.var_id;
            return o;
        case EK::indexed:
            o.ref = true;
            o.scope = e->value.scope;
            o.id = e->value.var_id;
            o.index_reg = array_index(e);
            return o;
        case EK::dot:
            return dot(e);
        default:
            o.v = value(e, e->end);
            return o;
        }
    }

    // Reads a reference into a fresh register, at `token`; a value stays as it is.
    int32_t read(const Operand& o, int32_t token) {
        if (!o.ref) return o.v;
        int32_t dst = alloc();
        if (o.scope_reg >= 0) {
            emit(Op::get_dyn, dst, o.id, o.index_reg, o.scope_reg, token);
        } else if (o.id >= builtin_limit && (plain_scope(o.scope) || o.scope == scope_global)) {
            bool self = plain_scope(o.scope);
            Ins index{};
            if (take_index(o, index)) {
                Ins& i = at(emit(index.op == Op::index1 ? Op::get_cell1 : Op::get_cell2, dst,
                                 index.b, index.c, o.scope, token));
                i.vars = index.vars;
                i.extra = index.token;
                i.slot = slot(self, o.id);
            } else {
                at(emit(self ? Op::get_self : Op::get_global, dst, o.id, o.index_reg, o.scope,
                        token))
                    .slot = slot(self, o.id);
            }
        } else if (plain_scope(o.scope) && o.id >= bv_argument0 && o.id <= bv_argument9) {
            // A plain argumentN names its slot whatever the index.
            emit(Op::get_arg, dst, o.id - bv_argument0, -1, o.scope, token);
        } else if (plain_scope(o.scope) && o.id < builtin_limit) {
            emit(field_builtin(o.id) ? Op::get_field : Op::get_builtin, dst, o.id, o.index_reg,
                 o.scope, token);
        } else {
            emit(Op::get, dst, o.id, o.index_reg, o.scope, token);
        }
        return dst;
    }

    // When the instruction last written is the index1 or index2 that computed o's index,
    // takes it back into `index`, so that the instruction using the cell computes the index
    // itself, at the same place in the order of reads.
    // Only an index1 when `two` is false.
    bool take_index(const Operand& o, Ins& index, bool two = true) {
        if (o.index_reg < 0 || out_.code.empty()) return false;
        const Ins& last = out_.code.back();
        if ((last.op != Op::index1 && (!two || last.op != Op::index2)) || last.a != o.index_reg)
            return false;
        index = last;
        out_.code.pop_back();
        out_.statement.pop_back();
        return true;
    }

    // Evaluates and reads: the value of an expression, a variable being read at `token`.
    int32_t value(const Expr* e, int32_t token) {
        if (parse_stack_exhausted()) {
            raise(e->end, too_deep_message);
            return constant(RValue());
        }
        switch (e->kind) {
        case EK::literal:
            return constant(e->value);
        case EK::variable:
        case EK::indexed:
        case EK::dot:
            return read(eval(e), token);
        case EK::binary:
            return binary(e);
        case EK::call:
            return call(e);
        case EK::negate:
        case EK::plus:
        case EK::logical_not: {
            int32_t mark = top_;
            int32_t v = value(e->a, e->end);
            top_ = mark;
            int32_t op = e->kind == EK::negate ? tk_minus : e->kind == EK::plus ? tk_plus : tk_not;
            if (int32_t folded; fold(op, v, nullptr, folded)) return folded;
            int32_t dst = alloc();
            emit(e->kind == EK::negate ? Op::negate
                 : e->kind == EK::plus ? Op::plus
                                       : Op::logical_not,
                 dst, v, 0, 0, e->end);
            return dst;
        }
        case EK::error: {
            int32_t mark = top_;
            for (const Expr* b : e->args) eval(b);
            top_ = mark;
            raise(e->token, e->error);
            return constant(RValue());
        }
        }
        return constant(RValue());
    }

    // Both operands are evaluated, then read, left first; their registers are free again
    // after (the result may take the first of them).
    void operands(const Expr* e, int32_t& lv, int32_t& rv, uint8_t& vars) {
        int32_t mark = top_;
        Operand l = eval(e->a);
        Operand r = eval(e->b);
        read_pair(l, r, true, e->end, lv, rv, vars);
        top_ = mark;
    }

    // Constants folded: an operator on two constants, or a prefix on one, that cannot fail
    // becomes the constant it gives; one that fails stays, to fail when it runs (and so
    // does one whose string grows long).
    bool fold(int32_t op, int32_t lv, const int32_t* rv, int32_t& out) {
        if (lv >= 0 || (rv && *rv >= 0)) return false;
        RValue v = constant_of(lv);
        const char* error = rv ? apply_operator(op, v, constant_of(*rv)) : apply_prefix(op, v);
        // Long strings are left to the run, which keeps no intermediate ones.
        if (error || v.str.size() > 1024) return false;
        out = constant(v);
        return true;
    }

    int32_t binary(const Expr* e) {
        int32_t lv = 0, rv = 0;
        uint8_t vars = 0;
        operands(e, lv, rv, vars);
        if (int32_t folded; !vars && fold(e->op, lv, &rv, folded)) return folded;
        int32_t dst = alloc();
        at(emit(arith_form(binary_op(e->op), lv, rv, vars), dst, lv, rv, 0, e->end)).vars = vars;
        return dst;
    }

    // The form of an arithmetic operator for where its operands are (Op::add_rr ...), or
    // the operator itself. A constant right operand of a form is a real, and not 0 for a
    // division (the form does not test it again).
    Op arith_form(Op op, int32_t lv, int32_t rv, uint8_t vars) const {
        if (op < Op::add || op > Op::mod || kind_c(Ins{op, vars}) != in_register) return op;
        if (rv < 0 && (!real_constant(rv) || (op >= Op::divide && constant_of(rv).real == 0)))
            return op;
        uint32_t kb = kind_b(Ins{op, vars});
        int form;
        if (kb == in_register)
            form = lv < 0 ? -1 : rv >= 0 ? 0 : 1;
        else if (kb == self_variable || kb == global_variable)
            form = rv < 0 ? 2 : 3;
        else if (kb == argument_slot)
            form = rv < 0 ? 4 : -1;
        else if (kb == builtin_variable && lv >= first_instance_builtin)
            form = rv < 0 ? 5 : 6;
        else
            form = -1;
        if (form < 0) return op;
        return Op(int(Op::add_rr) + (int(op) - int(Op::add)) * 7 + form);
    }

    // Array index: both values read after the closing bracket, then checked.
    int32_t array_index(const Expr* e) {
        int32_t mark = top_;
        Operand i = eval(e->a);
        Operand j;
        if (e->b) j = eval(e->b);
        int32_t iv = 0, jv = 0;
        uint8_t vars = 0;
        read_pair(i, j, e->b != nullptr, e->end, iv, jv, vars);
        top_ = mark;
        int32_t dst = alloc();
        at(emit(e->b ? Op::index2 : Op::index1, dst, iv, jv, 0, e->end)).vars = vars;
        return dst;
    }

    // left . right: left read, it must be a real; right must be a variable reference.
    Operand dot(const Expr* e) {
        int32_t mark = top_;
        Operand l = eval(e->a);
        Operand r = eval(e->b);
        int32_t lv = read(l, e->end);
        if (!r.ref) {
            // A value on the right: the left is still read first, then the error.
            raise(e->end, "Wrong type of arguments.");
            Operand o;
            o.v = constant(RValue());
            return o;
        }
        // The right side's index register (if any) lies below the new scope register.
        (void)mark;
        int32_t s = alloc();
        emit(Op::dot_scope, s, lv, 0, 0, e->end);
        r.scope_reg = s;
        return r;
    }

    // call ( arguments ): each argument evaluated and read in turn, into consecutive
    // registers.
    int32_t call(const Expr* e) {
        int32_t mark = top_;
        bool builtin = e->function < script_call_base;
        int32_t given = int32_t(std::min(e->args.size(), size_t(max_call_arguments)));
        int32_t base = alloc(std::max(given, 1));
        for (size_t i = 0; i < e->args.size(); ++i) {
            int32_t m = top_;
            if (i < size_t(max_call_arguments)) {
                // Computed in its own slot: the slots after it are not filled yet.
                top_ = base + int32_t(i);
                int32_t v = value(e->args[i], e->arg_ends[i]);
                if (v != base + int32_t(i)) emit(Op::move, base + int32_t(i), v, 0, 0, 0);
            } else {
                eval(e->args[i]);
            }
            top_ = m;
        }
        int32_t n = emit(Op::call, base, e->function, base, given, e->end);
        if (!builtin) {
            at(n).slot = int32_t(out_.calls.size());
            out_.calls.emplace_back();
        }
        // The result takes the place of the first argument.
        top_ = mark;
        alloc();
        return base;
    }

    // A condition and a jump to be patched, taken when the condition's truth (>= 0.5) is
    // `when`. A comparison jumps on its own result without storing it.
    int32_t condition_jump(const Expr* e, int32_t token, bool when) {
        if (e->kind == EK::binary && e->op >= tk_less && e->op <= tk_greater) {
            int32_t lv = 0, rv = 0;
            uint8_t vars = 0;
            operands(e, lv, rv, vars);
            bool arg_and_real =
                vars == operand_kinds(argument_slot, in_register) && real_constant(rv);
            int32_t n = emit(arg_and_real ? Op::compare_jump_ak : Op::compare_jump, 0, lv, rv,
                             when ? 1 : 0, e->end);
            at(n).extra = e->op;
            at(n).vars = vars;
            return n;
        }
        int32_t c = value(e, token);
        return emit(when ? Op::jump_true : Op::jump_false, 0, c, 0, 0, 0);
    }

    // ---- statements ----

    void statement(Stmt* s) {
        statement_ = s->start;
        if (parse_stack_exhausted()) {
            raise(s->start, too_deep_message);
            return;
        }
        int32_t mark = top_;
        switch (s->kind) {
        case SK::empty:
            break;
        case SK::block:
        case SK::program:
            tree_chain(c_, s);
            for (Stmt* st : s->chain) statement(st);
            if (!s->chain_fail.ok()) raise(s->chain_fail);
            break;
        case SK::if_:
            if_(s);
            break;
        case SK::while_: {
            if (!s->s1) { // the condition does not parse: it raises its error
                value(s->e, s->e_end);
                break;
            }
            // The condition is at the bottom: one jump an iteration.
            int32_t to_cond = emit(Op::jump, 0, 0, 0, 0, 0);
            int32_t body = here();
            statement(s->s1);
            patch(to_cond, here());
            statement_ = s->start;
            patch(condition_jump(s->e, s->e_end, true), body);
            if (!s->s1->skip.ok()) raise(s->s1->skip);
            break;
        }
        case SK::repeat: {
            int32_t c = value(s->e, s->e_end);
            if (!s->s1) break; // the count does not parse: it raised its error
            top_ = mark;
            int32_t n = alloc();
            emit(Op::repeat_start, 0, n, c, 0, 0);
            int32_t next = emit(Op::repeat_next, 0, n, 0, 0, 0);
            statement(s->s1);
            emit(Op::jump, next, 0, 0, 0, 0);
            patch(next, here());
            if (!s->s1->skip.ok()) raise(s->s1->skip);
            break;
        }
        case SK::with:
            with(s);
            break;
        case SK::for_:
            for_(s);
            break;
        case SK::exit:
            emit(Op::stop, 0, 0, 0, 0, 0);
            break;
        case SK::return_: {
            // A plain variable or argument slot is returned as read in place.
            Operand o = eval(s->e);
            if (uint8_t kind = direct_kind(o)) {
                at(emit(Op::ret_var, 0, direct(o, kind), 0, 0, s->e_end)).vars =
                    operand_kinds(kind, in_register);
                break;
            }
            emit(Op::ret, 0, read(o, s->e_end), 0, 0, 0);
            break;
        }
        case SK::assign:
            assign(s);
            break;
        case SK::error:
            raise(s->own);
            break;
        }
        top_ = mark;
    }

    // if: the then branch, its skip checks, a jump over the else branch.
    void if_(Stmt* s) {
        if (!s->s1) { // the condition does not parse: it raises its error
            value(s->e, s->e_end);
            return;
        }
        int32_t to_else = condition_jump(s->e, s->e_end, false);
        statement(s->s1);
        if (!s->s1->skip.ok()) raise(s->s1->skip);
        if (s->s2 && !s->s2->skip.ok()) raise(s->s2->skip);
        int32_t to_end = emit(Op::jump, 0, 0, 0, 0, 0);
        patch(to_else, here());
        if (!s->s1->skip.ok()) raise(s->s1->skip);
        if (s->s2) statement(s->s2);
        patch(to_end, here());
    }

    // for: initialiser, condition, then body and step until the condition fails.
    void for_(Stmt* s) {
        if (!s->s1) {
            raise(s->own);
            return;
        }
        statement(s->s1);
        statement_ = s->start;
        if (!s->init.ok()) {
            raise(s->init);
            return;
        }
        if (!s->s2) { // the condition does not parse: it raises its error
            value(s->e, s->e_end);
            return;
        }
        // The first test of the condition comes before the checks of what follows it.
        int32_t mark = top_;
        int32_t c = value(s->e, s->e_end);
        top_ = mark;
        if (!s->s2->skip.ok()) {
            raise(s->s2->skip);
            return;
        }
        if (!s->s3) {
            raise(s->own);
            return;
        }
        int32_t to_end = emit(Op::jump_false, 0, c, 0, 0, 0);
        int32_t body = here();
        statement(s->s3);
        statement(s->s2);
        statement_ = s->start;
        patch(condition_jump(s->e, s->e_end, true), body);
        patch(to_end, here());
        if (!s->s3->skip.ok()) raise(s->s3->skip);
    }

    // with: the body runs once per chosen instance; the machine keeps the iteration in
    // the with slot of this nesting level.
    void with(Stmt* s) {
        int32_t t = value(s->e, s->e_end);
        if (!s->s1) return; // the target does not parse: it raised its error
        int32_t slot = with_++;
        out_.with_depth = std::max(out_.with_depth, with_);
        emit(Op::with_start, 0, t, slot, 0, s->s1->start);
        int32_t next = emit(Op::with_next, 0, 0, slot, 0, 0);
        statement(s->s1);
        emit(Op::jump, next, 0, 0, 0, 0);
        patch(next, here());
        --with_;
        if (!s->s1->skip.ok()) raise(s->s1->skip);
    }

    // operand [ (= := += -= *= /=) expression ]
    void assign(const Stmt* s) {
        if (!s->op) { // a call or a bare operand: evaluated, not read
            eval(s->e);
            return;
        }
        Operand target = eval(s->e);
        int32_t at = s->rhs_end;
        // A plain user variable of self or a global one has a slot.
        bool self = plain_scope(target.scope);
        int32_t var_slot = target.ref && target.scope_reg < 0 && target.id >= builtin_limit &&
                                   (self || target.scope == scope_global)
                               ? slot(self, target.id)
                               : -1;
        Operand rhs = eval(s->rhs);
        Ins index{};
        if (s->op == tk_assign && var_slot >= 0 && !(rhs.ref && !direct_kind(rhs)) &&
            take_index(target, index, false)) {
            // name[i] = a value or a variable read in place: one instruction computes the
            // index, reads the value and writes the cell.
            uint8_t kind = direct_kind(rhs);
            Ins& i = this->at(emit(Op::set_cell1, 0, index.b, kind ? direct(rhs, kind) : rhs.v,
                                   target.scope, at));
            i.vars = operand_kinds(kind_b(index), kind);
            i.extra = index.token;
            i.slot = var_slot;
            return;
        }
        int32_t v = read(rhs, at);
        if (!target.ref) {
            raise(at, "Left-hand side of assignment is not a variable.");
            return;
        }
        // A writable instance built-in of self that is not an array: through its field.
        bool field = target.scope_reg < 0 && self && writable_field(target.id);
        if (s->op != tk_assign) {
            Ins& i = this->at(emit(target.scope_reg >= 0 ? Op::update_dyn
                                   : field               ? Op::update_field
                                                         : Op::update,
                                   v, target.id, target.index_reg,
                                   target.scope_reg >= 0 ? target.scope_reg : target.scope, at));
            i.extra = s->op;
            i.slot = var_slot;
            return;
        }
        Op op = target.scope_reg >= 0 ? Op::set_dyn
                : field               ? Op::set_field
                : var_slot < 0        ? Op::set
                : self                ? Op::set_self
                                      : Op::set_global;
        this->at(emit(op, v, target.id, target.index_reg,
                      target.scope_reg >= 0 ? target.scope_reg : target.scope, at))
            .slot = var_slot;
    }
};

const char* op_name(Op op) {
    // One line per opcode, in the order of Op.
    // clang-format off
    static const char* const names[] = {
        "get_self",
        "get_global",
        "get_arg",
        "get",
        "get_dyn",
        "get_builtin",
        "get_field",
        "set_field",
        "update_field",
        "step_field",
        "field_add",
        "field_sub",
        "set_self",
        "set_global",
        "set",
        "set_dyn",
        "update",
        "update_dyn",
        "add_to_self",
        "add_to_global",
        "move",
        "add",
        "sub",
        "mul",
        "divide",
        "div",
        "mod",
        "less",
        "less_equal",
        "equal",
        "not_equal",
        "greater_equal",
        "greater",
        "and",
        "or",
        "add_rr",
        "add_rk",
        "add_vk",
        "add_vr",
        "add_ak",
        "add_fk",
        "add_fr",
        "sub_rr",
        "sub_rk",
        "sub_vk",
        "sub_vr",
        "sub_ak",
        "sub_fk",
        "sub_fr",
        "mul_rr",
        "mul_rk",
        "mul_vk",
        "mul_vr",
        "mul_ak",
        "mul_fk",
        "mul_fr",
        "divide_rr",
        "divide_rk",
        "divide_vk",
        "divide_vr",
        "divide_ak",
        "divide_fk",
        "divide_fr",
        "div_rr",
        "div_rk",
        "div_vk",
        "div_vr",
        "div_ak",
        "div_fk",
        "div_fr",
        "mod_rr",
        "mod_rk",
        "mod_vk",
        "mod_vr",
        "mod_ak",
        "mod_fk",
        "mod_fr",
        "negate",
        "plus",
        "not",
        "index1",
        "index2",
        "get_cell1",
        "get_cell2",
        "set_cell1",
        "add_cell1",
        "add_cell2",
        "dot_scope",
        "call",
        "compare_jump_ak",
        "jump",
        "jump_false",
        "jump_true",
        "compare_jump",
        "step_test",
        "step_less_self",
        "step_less_global",
        "repeat_start",
        "repeat_next",
        "with_start",
        "with_next",
        "return",
        "return_var",
        "stop",
        "raise",
    };
    // clang-format on
    static_assert(sizeof(names) / sizeof(names[0]) == size_t(Op::raise) + 1);
    return names[size_t(op)];
}

} // namespace

Compiled compile_program(CodeCache& cache) {
    return Compiler(cache).program();
}

Compiled compile_expression(CodeCache& cache) {
    return Compiler(cache).expression();
}

std::string disassemble(const Compiled& c, const CCode& code) {
    const auto* tokens = code.tokens();
    const std::string& text = code.text();
    // Line and column of a token, counted as error messages count them.
    auto where = [&](int32_t token) {
        int32_t pos = tokens && token >= 0 && token < int32_t(tokens->items.size())
                          ? tokens->items[size_t(token)].position
                          : 0;
        int32_t line = 1, column = 0;
        for (int32_t i = 0; i < pos && i < int32_t(text.size()); ++i) {
            if (text[size_t(i)] == '\r') {
                ++line;
                column = 0;
            } else {
                ++column;
            }
        }
        return std::to_string(line) + ":" + std::to_string(column);
    };
    auto operand = [&](int32_t o) {
        if (o >= 0) return "r" + std::to_string(o);
        const RValue& k = c.constants[size_t(-1 - o)];
        if (k.kind == kind_string) return "'" + k.str.str() + "'";
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", k.real);
        return std::string(buf);
    };
    auto index = [&](int32_t r) { return r < 0 ? std::string() : "[r" + std::to_string(r) + "]"; };
    // Operand b or c of an instruction, which may be a variable read in place.
    auto in = [&](const Ins& i, bool second) {
        int32_t o = second ? i.c : i.b;
        switch (second ? kind_c(i) : kind_b(i)) {
        case self_variable:
            return "#" + std::to_string(c.self_ids[size_t(o)]);
        case global_variable:
            return "global.#" + std::to_string(c.global_ids[size_t(o)]);
        case argument_slot:
            return "argument" + std::to_string(o);
        case builtin_variable:
            return "#" + std::to_string(o);
        default:
            return operand(o);
        }
    };
    // The variable of a cell instruction.
    auto cell = [&](const Ins& i) {
        bool self = i.x == scope_self || i.x == scope_unqualified;
        return (self ? "#" : "global.#") +
               std::to_string((self ? c.self_ids : c.global_ids)[size_t(i.slot)]);
    };
    std::string out = "registers " + std::to_string(c.registers) + ", with levels " +
                      std::to_string(c.with_depth) + "\n";
    int32_t last = -1;
    for (size_t pc = 0; pc < c.code.size(); ++pc) {
        const Ins& i = c.code[pc];
        char head[32];
        int32_t st = c.statement[pc];
        std::snprintf(head, sizeof head, "%04zu", pc);
        std::string line = head;
        std::string w = st != last ? where(st) : std::string("|");
        while (w.size() < 8) w = " " + w;
        line += w;
        last = st;
        line += std::string(" ") + op_name(i.op);
        while (line.size() < 30) line += ' ';
        switch (i.op) {
        case Op::get_self:
        case Op::get_global:
        case Op::get:
        case Op::get_dyn:
        case Op::get_builtin:
        case Op::get_field:
            line += "r" + std::to_string(i.a) + " := ";
            line += i.op == Op::get_dyn      ? "(r" + std::to_string(i.x) + ")."
                    : i.op == Op::get_global ? std::string("global.")
                    : i.op == Op::get || i.op == Op::get_builtin || i.op == Op::get_field
                        ? "(" + std::to_string(i.x) + ")."
                        : std::string();
            line += "#" + std::to_string(i.b) + index(i.c);
            break;
        case Op::get_arg:
            line += "r" + std::to_string(i.a) + " := argument" + std::to_string(i.b);
            break;
        case Op::set_self:
        case Op::set_global:
        case Op::set:
        case Op::set_dyn:
        case Op::update:
        case Op::update_dyn:
        case Op::add_to_self:
        case Op::add_to_global:
        case Op::step_test:
        case Op::step_less_self:
        case Op::step_less_global:
        case Op::set_field:
        case Op::update_field:
        case Op::step_field: {
            bool update = i.op == Op::update || i.op == Op::step_test ||
                          i.op == Op::step_less_self || i.op == Op::step_less_global ||
                          i.op == Op::add_to_self || i.op == Op::add_to_global ||
                          i.op == Op::update_field || i.op == Op::step_field;
            line += i.op == Op::set_dyn || i.op == Op::update_dyn
                        ? "(r" + std::to_string(i.x) + ")."
                    : i.op == Op::set_global ? std::string("global.")
                    : i.op == Op::set || i.op == Op::set_field || update
                        ? "(" + std::to_string(i.x) + ")."
                        : std::string();
            line += "#" + std::to_string(i.b) + index(i.c);
            line += update || i.op == Op::update_dyn ? " op= " : " := ";
            line += operand(i.a);
            break;
        }
        case Op::move:
        case Op::negate:
        case Op::plus:
        case Op::logical_not:
        case Op::index1:
        case Op::dot_scope:
            line += "r" + std::to_string(i.a) + ", " + in(i, false);
            break;
        case Op::get_cell1:
        case Op::get_cell2:
        case Op::add_cell1:
        case Op::add_cell2:
            line += "r" + std::to_string(i.a) + " := " + cell(i) + "[" + in(i, false) +
                    (i.op == Op::get_cell2 || i.op == Op::add_cell2 ? ", " + in(i, true)
                                                                    : std::string()) +
                    "]";
            break;
        case Op::set_cell1:
            line += cell(i) + "[" + in(i, false) + "] := " + in(i, true);
            break;
        case Op::call:
            line += "r" + std::to_string(i.a) + " := " +
                    (i.b >= script_call_base ? "script " + std::to_string(i.b - script_call_base)
                                             : "function " + std::to_string(i.b)) +
                    " (r" + std::to_string(i.c) + ", " + std::to_string(i.x) + " arguments)";
            break;
        case Op::jump:
            line += "-> " + std::to_string(i.a);
            break;
        case Op::jump_false:
        case Op::jump_true:
            line += operand(i.b) + " -> " + std::to_string(i.a);
            break;
        case Op::compare_jump:
        case Op::compare_jump_ak: {
            static const char* const names[] = {"<", "<=", "=", "!=", ">=", ">"};
            line += in(i, false) + " " + names[i.extra - tk_less] + " " + in(i, true) + " is " +
                    (i.x ? "true" : "false") + " -> " + std::to_string(i.a);
            break;
        }
        case Op::repeat_start:
            line += "r" + std::to_string(i.b) + " := count " + operand(i.c);
            break;
        case Op::repeat_next:
            line += "r" + std::to_string(i.b) + " used up -> " + std::to_string(i.a);
            break;
        case Op::with_start:
            line += "level " + std::to_string(i.c) + ", " + operand(i.b);
            break;
        case Op::with_next:
            line += "level " + std::to_string(i.c) + " done -> " + std::to_string(i.a);
            break;
        case Op::ret:
            line += operand(i.b);
            break;
        case Op::ret_var:
            line += in(i, false);
            break;
        case Op::stop:
            break;
        case Op::raise:
            line += "\"" + c.messages[size_t(i.b)] + "\"";
            break;
        default:
            line += "r" + std::to_string(i.a) + ", " + in(i, false) + ", " + in(i, true);
            break;
        }
        // Where an error of the instruction would be placed.
        bool can_fail = i.op != Op::jump && i.op != Op::jump_false && i.op != Op::jump_true &&
                        i.op != Op::stop && i.op != Op::ret && i.op != Op::move &&
                        i.op != Op::repeat_start && i.op != Op::repeat_next &&
                        i.op != Op::with_next && i.op != Op::get_arg;
        if (can_fail) line += "  @" + where(i.token);
        while (!line.empty() && line.back() == ' ') line.pop_back();
        out += line + "\n";
    }
    return out;
}

} // namespace kelvane
