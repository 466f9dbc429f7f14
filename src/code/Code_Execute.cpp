// The interpreter: statements, operators, calls and run-time errors of the script language.
// This file holds the parser, whose nodes both ways of running code share, and the tree
// walker that runs the nodes directly. Code runs compiled (Code_Compile, Code_Machine)
// unless the script state asks for the tree walker, which stays as the reference the
// compiled form is tested against (tests/code/Code_Differential_test.cpp).
//
// Design. The language is defined as a parser that executes while it parses, on the token
// list; untaken branches are parsed in a skip mode that evaluates nothing, and a braced
// block that is skipped is passed by counting braces. We keep every observable effect of
// that model but parse each statement and expression only once, lazily, the first time a
// run reaches it, into nodes kept in the CCode's CodeCache, keyed by start token:
// - An expression becomes a tree evaluated in parse order. Operands yield variable
//   references that the consuming operator reads only after both sides were evaluated, and
//   every node remembers the token the cursor stood on when its reads and checks happened,
//   so messages name the same column. A syntax error becomes an error node at the place
//   where parsing stopped: evaluating the tree performs every call and read that came
//   before it, then raises it.
// - A statement node holds its expressions and its sub-statements (by node). Passing over
//   a statement is a pure function of the tokens, so each node also stores where skipping
//   it ends or the syntax error that skipping meets (`skip`): counting braces for a block,
//   parsing in skip mode for the rest. Positions after a sub-statement (an `else`, the next
//   statement of a block) come from the sub-statement's skip end, which equals where
//   executing it ends whenever executing it completes.
// - Errors stop the run: the first one is recorded in the error globals and thrown to the
//   run's entry; since nothing after an error is observable (no later call, write or
//   message of that run), this equals setting the stop flag. `exit` and `return` set the
//   stop flag, which every statement sequence and loop tests.
// - Variables are found by id in constant time (CVariableList).
// - Stack use: a call stops the run with "Stack overflow." when runs are nested
//   max_run_depth deep, or when nested runs have used up most of the thread's stack.
#include "code/Code_Execute.h"

#include <pthread.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <string>

#include "code/Code_Class.h"
#include "code/Code_Compile.h"
#include "code/Code_Machine.h"
#include "code/Code_Operators.h"
#include "code/Code_Tree.h"
#include "code/Code_Variables.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Main.h"
#include "functions/Function_Main.h"
#include "run/Runtime.h"

namespace kelvane {

CodeCache::CodeCache(const CTokenList& t) : tokens(t), statements(t.items.size(), nullptr) {}
CodeCache::~CodeCache() = default;

namespace {

// Every statement, bracket (parenthesis, index, call) and prefix operator opens a level.
constexpr int max_nesting = 500;
constexpr const char* too_deep = too_deep_message;

SkipResult skip_error(int32_t token, const char* message) {
    SkipResult r;
    r.error_token = token;
    r.error = message;
    return r;
}

SkipResult skip_end(int32_t end) {
    SkipResult r;
    r.end = end;
    return r;
}

// How deep a thread's stack may be used: a run stops with "Stack overflow." below `run`,
// leaving the rest for parsing code met late; parsing refuses code as nested too deeply
// below `parse`, leaving room for the error path. Stacks too small for the full nesting
// limit thus lower it instead of overflowing.
struct StackFloors {
    uintptr_t run = 0;
    uintptr_t parse = 0;
};

StackFloors compute_stack_floors() {
    pthread_attr_t attr;
    if (pthread_getattr_np(pthread_self(), &attr) != 0) return {};
    void* addr = nullptr;
    size_t size = 0;
    pthread_attr_getstack(&attr, &addr, &size);
    pthread_attr_destroy(&attr);
    size_t run = size >= (size_t(6) << 20) ? (size_t(3) << 20) : size / 2;
    size_t parse = std::min(size / 4, size_t(64) << 10);
    return {uintptr_t(addr) + run, uintptr_t(addr) + parse};
}

const StackFloors& stack_floors() {
    thread_local const StackFloors floors = compute_stack_floors();
    return floors;
}

// True when the caller's frame lies below `floor`.
[[gnu::noinline]] bool stack_below(uintptr_t floor) {
    char probe;
    return uintptr_t(&probe) < floor;
}

bool is_assign(int32_t k) {
    return k >= tk_assign && k <= tk_div_assign;
}
bool is_relation(int32_t k) {
    return (k >= tk_less && k <= tk_greater) || k == tk_assign;
}

// ---- parsing ----

// Recursive descent over one expression, from a start token.
class Parser {
  public:
    Parser(CodeCache& c, int32_t p) : c_(c), t_(c.tokens.items), p_(p) {}

    int32_t pos() const { return p_; }
    bool failed() const { return failed_; }
    SkipResult failure() const { return skip_error(err_token_, err_); }

    // logical: relation { (and or) relation }
    Expr* logical() {
        Expr* l = relation();
        while (!failed_ && (kind() == tk_and || kind() == tk_or)) {
            int32_t op = kind();
            ++p_;
            Expr* r = relation();
            l = binary(op, l, r);
        }
        return l;
    }

    // postfix: primary { . primary }
    Expr* postfix() {
        Expr* l = primary();
        while (!failed_ && kind() == tk_dot) {
            ++p_;
            Expr* r = primary();
            l = dot(l, r);
        }
        return l;
    }

  private:
    struct Depth {
        CodeCache& c;
        explicit Depth(CodeCache& cc) : c(cc) { ++c.build_depth; }
        ~Depth() { --c.build_depth; }
        bool too_deep() const {
            return c.build_depth > max_nesting || stack_below(stack_floors().parse);
        }
    };

    CodeCache& c_;
    const std::vector<RToken>& t_;
    int32_t p_;
    bool failed_ = false;
    int32_t err_token_ = -1;
    const char* err_ = nullptr;

    int32_t kind_at(int32_t p) const {
        return p < int32_t(t_.size()) ? t_[size_t(p)].kind : tk_unknown;
    }
    int32_t kind() const { return kind_at(p_); }

    Expr* node(EK k) {
        Expr& e = c_.expr_pool.emplace_back();
        e.kind = k;
        return &e;
    }
    // A syntax error at the current token, raised after evaluating `before`.
    Expr* error(const char* message, std::vector<Expr*> before = {}) {
        failed_ = true;
        err_token_ = p_;
        err_ = message;
        Expr* e = node(EK::error);
        e->token = p_;
        e->error = message;
        e->args = std::move(before);
        return e;
    }
    Expr* binary(int32_t op, Expr* l, Expr* r) {
        Expr* e = node(EK::binary);
        e->op = op == tk_assign ? tk_equal : op;
        e->a = l;
        e->b = r;
        e->end = p_;
        return e;
    }
    Expr* dot(Expr* l, Expr* r) {
        // A constant real on the left names a fixed scope (global.x, other.x, obj.x):
        // evaluating it has no effect, so the reference is made at once.
        if (!failed_ && l->kind == EK::literal && l->value.is_real() &&
            (r->kind == EK::variable || r->kind == EK::indexed)) {
            Expr* e = node(r->kind);
            *e = *r;
            e->value.scope = to_int32(l->value.real);
            return e;
        }
        Expr* e = node(EK::dot);
        e->a = l;
        e->b = r;
        e->end = p_;
        return e;
    }

    // relation: additive [ relational-operator additive ]
    Expr* relation() {
        Expr* l = additive();
        if (!failed_ && is_relation(kind())) {
            int32_t op = kind();
            ++p_;
            Expr* r = additive();
            l = binary(op, l, r);
        }
        return l;
    }
    // additive: term { (+ -) term }
    Expr* additive() {
        Expr* l = term();
        while (!failed_ && (kind() == tk_plus || kind() == tk_minus)) {
            int32_t op = kind();
            ++p_;
            Expr* r = term();
            l = binary(op, l, r);
        }
        return l;
    }
    // term: postfix { (* / div mod) postfix }
    Expr* term() {
        Expr* l = postfix();
        while (!failed_ && (kind() == tk_times || kind() == tk_divide || kind() == tk_div ||
                            kind() == tk_mod)) {
            int32_t op = kind();
            ++p_;
            Expr* r = postfix();
            l = binary(op, l, r);
        }
        return l;
    }
    // primary: value [index] | call ( args ) | ( expression ) | (not + -) postfix
    Expr* primary() {
        // A plain value opens no level.
        if (kind() == tk_value && kind_at(p_ + 1) != tk_open_index) return value();
        Depth d(c_);
        if (d.too_deep()) return error(too_deep);
        switch (kind()) {
        case tk_value:
            return value();
        case tk_call:
            return call();
        case tk_open: {
            ++p_;
            Expr* e = logical();
            if (failed_) return e;
            if (kind() != tk_close) return error(") expected.", {e});
            ++p_;
            return e;
        }
        case tk_not:
        case tk_plus:
        case tk_minus: {
            EK k = kind() == tk_not ? EK::logical_not : kind() == tk_plus ? EK::plus : EK::negate;
            ++p_;
            Expr* o = postfix();
            if (!failed_ && o->kind == EK::literal && o->value.is_real() && k != EK::logical_not) {
                // -5 and +5 cannot fail: the operator is applied once, here.
                if (k == EK::negate) o->value.real = -o->value.real;
                return o;
            }
            Expr* e = node(k);
            e->a = o;
            e->end = p_;
            return e;
        }
        default:
            return error("Unexpected symbol");
        }
    }
    // value [ "[" expression [, expression] "]" ] (an index only after a variable)
    Expr* value() {
        const RValue& v = t_[size_t(p_)].value;
        ++p_;
        Expr* e = node(v.is_reference() ? EK::variable : EK::literal);
        e->value = v;
        e->end = p_;
        if (!v.is_reference() || kind() != tk_open_index) return e;
        ++p_;
        e->kind = EK::indexed;
        e->a = logical();
        if (failed_) return error_after(e->a);
        if (kind() == tk_comma) {
            ++p_;
            e->b = logical();
            if (failed_) return error_after(e->a, e->b);
        }
        if (kind() != tk_close_index) {
            std::vector<Expr*> before{e->a};
            if (e->b) before.push_back(e->b);
            return error("] expected.", std::move(before));
        }
        ++p_;
        e->end = p_;
        return e;
    }
    // Wraps the index expressions parsed so far, the last of which holds the error.
    Expr* error_after(Expr* a, Expr* b = nullptr) {
        Expr* e = node(EK::error);
        e->token = err_token_;
        e->error = err_;
        e->args = {a};
        if (b) e->args.push_back(b);
        // The error node inside is reached first; this one is never raised itself.
        return e;
    }
    // call ( [ expression { , expression } ] ), at most 10 arguments
    Expr* call() {
        int32_t f = t_[size_t(p_)].function;
        if (f == -1) return error("Internal Error: Unknown function.");
        ++p_;
        if (kind() != tk_open) return error("( expected.");
        ++p_;
        Expr* e = node(EK::call);
        e->function = f;
        if (kind() == tk_close) {
            ++p_;
            e->end = p_;
            return e;
        }
        for (;;) {
            if (e->args.size() == size_t(max_call_arguments)) {
                e->args.push_back(error("Too many arguments."));
                e->arg_ends.push_back(p_);
                return e;
            }
            Expr* arg = logical();
            e->args.push_back(arg);
            e->arg_ends.push_back(p_);
            if (failed_) return e;
            if (kind() == tk_comma) {
                ++p_;
                continue;
            }
            if (kind() == tk_close) {
                ++p_;
                e->end = p_;
                return e;
            }
            e->args.push_back(error(") or , expected."));
            e->arg_ends.push_back(p_);
            return e;
        }
    }
};

} // namespace

// ---- statements ----

// Builds statement nodes; all of it is pure token work, cached in the CodeCache.
class Builder {
  public:
    explicit Builder(CodeCache& c) : c_(c), t_(c.tokens.items) {}

    // The statement starting at token k.
    Stmt* at(int32_t k) {
        if (k < 0 || k >= int32_t(c_.statements.size())) k = int32_t(c_.statements.size()) - 1;
        Stmt*& slot = c_.statements[size_t(k)];
        if (!slot) slot = build(k);
        return slot;
    }

    // Passing over the statement at k in skip mode when it is *executed* there (a block is
    // then parsed statement by statement instead of counted).
    SkipResult parsed_in_skip_mode(Stmt* s) {
        if (s->kind != SK::block) return s->skip;
        if (!s->skip_parsed) {
            if (stack_below(stack_floors().parse)) return skip_error(s->start, too_deep);
            InnerDepth inner(c_, s);
            s->skip_parse = sequence_in_skip_mode(s->start + 1);
            s->skip_parsed = true;
        }
        return s->skip_parse;
    }

    // The statements of a block (after its `{`) or of a program, up to the closing brace or
    // the end marker.
    void build_chain(Stmt* s) {
        if (s->chain_built) return;
        InnerDepth inner(c_, s);
        bool top = s->kind == SK::program;
        int32_t p = top ? 0 : s->start + 1;
        for (;;) {
            int32_t k = kind(p);
            if (top ? k == tk_end : k == tk_end_block) break;
            Stmt* st = at(p);
            s->chain.push_back(st);
            if (!st->skip.ok()) {
                s->chain_fail = st->skip;
                break;
            }
            p = st->skip.end;
        }
        s->chain_built = true;
    }

  private:
    CodeCache& c_;
    const std::vector<RToken>& t_;

    // Builds the statements inside `s` (a block or the program) one level below it.
    struct InnerDepth {
        CodeCache& c;
        int saved;
        InnerDepth(CodeCache& cc, const Stmt* s) : c(cc), saved(cc.build_depth) {
            c.build_depth = s->depth;
        }
        ~InnerDepth() { c.build_depth = saved; }
    };

    int32_t kind(int32_t p) const {
        return p >= 0 && p < int32_t(t_.size()) ? t_[size_t(p)].kind : tk_unknown;
    }
    int32_t optional(int32_t p, int32_t k) const { return kind(p) == k ? p + 1 : p; }

    Stmt* build(int32_t k) {
        Stmt& s = c_.stmt_pool.emplace_back();
        s.start = k;
        s.depth = ++c_.build_depth;
        if (c_.build_depth > max_nesting || stack_below(stack_floors().parse)) {
            fail(s, k, too_deep);
        } else {
            switch (kind(k)) {
            case tk_semicolon:
                s.kind = SK::empty;
                s.skip = skip_end(k + 1);
                break;
            case tk_begin:
                s.kind = SK::block;
                s.skip = count_braces(k);
                break;
            case tk_if:
                build_if(s);
                break;
            case tk_while:
            case tk_repeat:
            case tk_with:
                build_loop(s);
                break;
            case tk_for:
                build_for(s);
                break;
            case tk_exit:
                s.kind = SK::exit;
                s.skip = skip_end(k + 1);
                break;
            case tk_return:
                build_return(s);
                break;
            case tk_value:
            case tk_call:
                build_assign(s);
                break;
            case tk_end:
                fail(s, k, "Unexpected end of code.");
                break;
            default:
                fail(s, k, "Unexpected symbol.");
                break;
            }
        }
        --c_.build_depth;
        return &s;
    }

    void fail(Stmt& s, int32_t k, const char* message) {
        s.kind = SK::error;
        s.own = skip_error(k, message);
        s.skip = s.own;
    }

    // Passing over a braced block by counting braces; nothing inside is parsed. The
    // matching braces of the whole list are paired once, so that nested blocks cost time
    // linear in their number.
    SkipResult count_braces(int32_t k) {
        int32_t last = int32_t(t_.size()) - 1; // the end marker
        std::vector<int32_t>& ends = c_.block_ends;
        if (ends.empty()) {
            ends.assign(t_.size(), -1);
            std::vector<int32_t> open;
            for (int32_t p = 0; p < last; ++p) {
                int32_t t = t_[size_t(p)].kind;
                if (t == tk_begin) open.push_back(p);
                if (t == tk_end_block && !open.empty()) {
                    ends[size_t(open.back())] = p + 1;
                    open.pop_back();
                }
            }
        }
        int32_t end = ends[size_t(k)];
        return end < 0 ? skip_error(last, "} missing.") : skip_end(end);
    }

    // A block's statements parsed in skip mode, from the token after its `{`.
    SkipResult sequence_in_skip_mode(int32_t p) {
        for (;;) {
            if (kind(p) == tk_end_block) return skip_end(p + 1);
            SkipResult r = parsed_in_skip_mode(at(p));
            if (!r.ok()) return r;
            p = r.end;
        }
    }

    Expr* expression(int32_t& p, SkipResult& err) {
        Parser ps(c_, p);
        Expr* e = ps.logical();
        p = ps.pos();
        if (ps.failed()) err = ps.failure();
        return e;
    }

    // if expression [then] statement [;] [else statement]
    void build_if(Stmt& s) {
        s.kind = SK::if_;
        int32_t p = s.start + 1;
        SkipResult err;
        s.e = expression(p, err);
        s.e_end = p;
        if (!err.ok()) {
            s.skip = err;
            return;
        }
        p = optional(p, tk_then);
        s.s1 = at(p);
        if (!s.s1->skip.ok()) {
            s.skip = s.s1->skip;
            return;
        }
        p = optional(s.s1->skip.end, tk_semicolon);
        if (kind(p) != tk_else) {
            s.skip = skip_end(p);
            return;
        }
        s.s2 = at(p + 1);
        s.skip = s.s2->skip;
    }

    // while expression [do] statement; repeat expression statement;
    // with expression [do] statement
    void build_loop(Stmt& s) {
        int32_t k = kind(s.start);
        s.kind = k == tk_while ? SK::while_ : k == tk_repeat ? SK::repeat : SK::with;
        int32_t p = s.start + 1;
        SkipResult err;
        s.e = expression(p, err);
        s.e_end = p;
        if (!err.ok()) {
            s.skip = err;
            return;
        }
        if (k != tk_repeat) p = optional(p, tk_do);
        s.s1 = at(p);
        s.skip = s.s1->skip;
    }

    // for ( statement [;] expression [;] statement [;] ) statement
    void build_for(Stmt& s) {
        s.kind = SK::for_;
        int32_t p = s.start + 1;
        if (kind(p) != tk_open) {
            s.own = skip_error(p, "( expected.");
            s.skip = s.own;
            return;
        }
        s.s1 = at(p + 1);
        s.init = parsed_in_skip_mode(s.s1);
        if (!s.init.ok()) {
            s.skip = s.init;
            return;
        }
        p = optional(s.init.end, tk_semicolon);
        SkipResult err;
        s.e = expression(p, err);
        s.e_end = p;
        if (!err.ok()) {
            s.skip = err;
            return;
        }
        s.s2 = at(optional(p, tk_semicolon));
        if (!s.s2->skip.ok()) {
            s.skip = s.s2->skip;
            return;
        }
        p = optional(s.s2->skip.end, tk_semicolon);
        if (kind(p) != tk_close) {
            s.own = skip_error(p, ") expected.");
            s.skip = s.own;
            return;
        }
        s.s3 = at(p + 1);
        s.skip = s.s3->skip;
    }

    // return expression
    void build_return(Stmt& s) {
        s.kind = SK::return_;
        int32_t p = s.start + 1;
        SkipResult err;
        s.e = expression(p, err);
        s.e_end = p;
        s.skip = err.ok() ? skip_end(p) : err;
    }

    // operand [ (= := += -= *= /=) expression ]
    void build_assign(Stmt& s) {
        s.kind = SK::assign;
        Parser ps(c_, s.start);
        s.e = ps.postfix();
        int32_t p = s.e_end = ps.pos();
        if (ps.failed()) {
            s.skip = ps.failure();
            return;
        }
        if (!is_assign(kind(p))) {
            s.skip = skip_end(p);
            return;
        }
        s.op = kind(p);
        ++p;
        SkipResult err;
        s.rhs = expression(p, err);
        s.rhs_end = p;
        s.skip = err.ok() ? skip_end(p) : err;
    }
};

Stmt* tree_statement(CodeCache& c, int32_t k) {
    return Builder(c).at(k);
}

void tree_chain(CodeCache& c, Stmt* s) {
    if (!s->chain_built) Builder(c).build_chain(s);
}

Stmt* tree_program(CodeCache& c) {
    if (!c.program) {
        const auto& t = c.tokens.items;
        if (!t.empty() && t[0].kind == tk_begin) {
            // A program that starts with a block is that block; the rest is ignored.
            c.program = Builder(c).at(0);
        } else {
            Stmt& s = c.stmt_pool.emplace_back();
            s.kind = SK::program;
            c.program = &s;
        }
    }
    return c.program;
}

Expr* tree_expression(CodeCache& c) {
    if (!c.expression) {
        Parser ps(c, 0);
        c.expression = ps.logical();
        c.expression_end = ps.pos();
    }
    return c.expression;
}

bool run_stack_exhausted() {
    return stack_below(stack_floors().run);
}

bool parse_stack_exhausted() {
    return stack_below(stack_floors().parse);
}

// ---- running ----

namespace {

// Thrown to the run's entry point once an error is recorded: the run is over.
struct RunStopped {};

class Run {
  public:
    Run(Runtime& rt, CInstance* self, CInstance* other, const CCode& code)
        : rt_(rt), ss_(rt.script), code_(code), cache_(code.cache()), build_(cache_),
          tokens_(cache_.tokens.items), v_(rt, self, other), stack_floor_(stack_floors().run) {}

    RValue result;
    int32_t current = 0; // start token of the statement being run

    void program() { exec(tree_program(cache_)); }

    RValue expression() {
        tree_expression(cache_);
        RValue v;
        value(cache_.expression, cache_.expression_end, v);
        return v;
    }

    // Records an error in the error globals (once per run) without stopping.
    void record(int32_t token, std::string_view message) {
        if (recorded_) return;
        recorded_ = true;
        record_error(ss_, code_, tokens_, token, message);
    }

  private:
    Runtime& rt_;
    ScriptState& ss_;
    const CCode& code_;
    CodeCache& cache_;
    Builder build_;
    const std::vector<RToken>& tokens_;
    RunVariables v_;
    uintptr_t stack_floor_;
    bool stop_ = false;
    bool recorded_ = false;

    int32_t kind(int32_t p) const {
        return p >= 0 && p < int32_t(tokens_.size()) ? tokens_[size_t(p)].kind : tk_unknown;
    }

    [[noreturn]] void raise(int32_t token, std::string_view message) {
        record(token, message);
        throw RunStopped{};
    }
    [[noreturn]] void raise(const SkipResult& r) { raise(r.error_token, r.error); }

    void check_stack(int32_t token) {
        char probe;
        if (uintptr_t(&probe) < stack_floor_) raise(token, "Stack overflow.");
    }

    // ---- variables ----

    [[noreturn]] void unknown(int32_t id, int32_t token) {
        raise(token, "Unknown variable or function: " + ss_.names.name(id));
    }

    // Reads a variable into `out`; `token` is where the cursor stands for a message.
    void read_var(int32_t scope, int32_t id, int32_t index, int32_t token, RValue& out) {
        if (v_.read(scope, id, index, out)) return;
        if (!rt_.game.options.uninit_zero) unknown(id, token);
        out = RValue();
    }

    void read(RValue& v, int32_t token) {
        RValue out;
        read_var(v.scope, v.var_id, v.index, token, out);
        v = std::move(out);
    }

    bool write_var(int32_t scope, int32_t id, int32_t index, RValue&& v) {
        return v_.write(scope, id, index, std::move(v));
    }

    // ---- expressions ----

    // Kinds whose evaluation yields a variable reference, read later by the consumer.
    static bool yields_reference(const Expr* e) {
        return e->kind == EK::variable || e->kind == EK::indexed || e->kind == EK::dot;
    }
    // Kinds whose evaluation can neither fail nor have an effect.
    static bool pure(const Expr* e) { return e->kind == EK::literal || e->kind == EK::variable; }

    // Array index: both values read after the closing bracket, then checked.
    [[gnu::noinline]] int32_t array_index(const Expr* e) {
        RValue i, j;
        if (!e->b || pure(e->b)) {
            value(e->a, e->end, i);
            if (e->b) value(e->b, e->end, j);
        } else {
            i = eval(e->a);
            j = eval(e->b);
            if (i.kind == kind_reference) read(i, e->end);
            if (j.kind == kind_reference) read(j, e->end);
        }
        const char* error = nullptr;
        int32_t index = combined_index(i, e->b ? &j : nullptr, error);
        if (error) raise(e->end, error);
        return index;
    }

    // Kept out of line: its frame is large, and value() recurses through every operand.
    [[gnu::noinline]] void call(const Expr* e, RValue& out) {
        check_stack(e->end);
        // A script gets its arguments, a built-in function all ten slots.
        ValueBuffer<max_call_arguments> args;
        for (size_t i = 0; i < e->args.size(); ++i) {
            // Each argument is read as soon as it is evaluated.
            if (args.size() < max_call_arguments)
                value(e->args[i], e->arg_ends[i], args.push());
            else
                eval(e->args[i]);
        }
        int32_t n = args.size();
        if (ss_.run_depth >= max_run_depth) raise(e->end, "Stack overflow.");
        if (e->function < script_call_base) {
            int32_t want = function_registry().argument_count(e->function);
            if (want != n) raise(e->end, "Function needs " + std::to_string(want) + " arguments");
            while (args.size() < max_call_arguments) args.push();
        }
        RValue r;
        if (!invoke_function(rt_, e->function, v_.self, v_.other, r, args.data(), n))
            raise(e->end, "Error executing function.");
        out = std::move(r);
    }

    // Applies a binary operator; the result lives in the left operand's record.
    [[gnu::noinline]] void apply(int32_t op, RValue& l, const RValue& r, int32_t token) {
        if (const char* error = apply_operator(op, l, r)) raise(token, error);
    }

    // The value of a literal or plain variable without copying it: a pointer to the
    // literal, to the variable's cell, or to `scratch` holding what the access layer read.
    const RValue* peek(const Expr* e, int32_t token, RValue& scratch) {
        if (e->kind == EK::literal) return &e->value;
        const RValue& ref = e->value;
        if (const RValue* cell = v_.peek(ref.scope, ref.var_id)) return cell;
        read_var(ref.scope, ref.var_id, 0, token, scratch);
        return &scratch;
    }

    // Both operands are evaluated, then read, left first. When the right one can neither
    // fail nor have an effect, reading the left one at once is the same.
    void binary(const Expr* e, RValue& out) {
        check_stack(e->end);
        if (pure(e->a) && pure(e->b)) {
            RValue ls, rs;
            const RValue* l = peek(e->a, e->end, ls);
            const RValue* r = peek(e->b, e->end, rs);
            out = *l;
            if (!(out.kind == kind_real && r->kind == kind_real && numeric(e->op, out, r->real)))
                apply(e->op, out, *r, e->end);
            return;
        }
        RValue r;
        if (!yields_reference(e->a) || pure(e->b)) {
            value(e->a, e->end, out);
            value(e->b, e->end, r);
        } else {
            RValue l = eval(e->a);
            if (yields_reference(e->b))
                r = eval(e->b);
            else
                value(e->b, e->end, r);
            read_var(l.scope, l.var_id, l.index, e->end, out);
            if (r.kind == kind_reference) read(r, e->end);
        }
        if (!(out.kind == kind_real && r.kind == kind_real && numeric(e->op, out, r.real)))
            apply(e->op, out, r, e->end);
    }

    static bool numeric(int32_t op, RValue& l, double b) { return numeric_operator(op, l, b); }

    // left . right: left read, it must be a real; right must be a variable reference.
    [[gnu::noinline]] RValue dot(const Expr* e) {
        check_stack(e->end);
        RValue l, r;
        if (!yields_reference(e->a) || pure(e->b)) {
            value(e->a, e->end, l);
            r = eval(e->b);
        } else {
            l = eval(e->a);
            r = eval(e->b);
            read(l, e->end);
        }
        if (l.kind != kind_real || r.kind != kind_reference)
            raise(e->end, "Wrong type of arguments.");
        r.scope = to_int32(l.real);
        return r;
    }

    // Evaluates and reads: the value of an expression, a variable being read at `token`.
    void value(const Expr* e, int32_t token, RValue& out) {
        switch (e->kind) {
        case EK::literal:
            out = e->value;
            return;
        case EK::variable:
            read_var(e->value.scope, e->value.var_id, 0, token, out);
            return;
        case EK::indexed: {
            int32_t index = array_index(e);
            read_var(e->value.scope, e->value.var_id, index, token, out);
            return;
        }
        case EK::dot: {
            RValue r = dot(e);
            read_var(r.scope, r.var_id, r.index, token, out);
            return;
        }
        case EK::binary:
            binary(e, out);
            return;
        case EK::call:
            call(e, out);
            return;
        case EK::negate:
        case EK::plus:
        case EK::logical_not:
            check_stack(e->end);
            value(e->a, e->end, out);
            if (const char* error = apply_prefix(e->kind == EK::negate ? tk_minus
                                                 : e->kind == EK::plus ? tk_plus
                                                                       : tk_not,
                                                 out))
                raise(e->end, error);
            return;
        case EK::error:
            for (const Expr* b : e->args) eval(b);
            raise(e->token, e->error);
        }
    }

    // Evaluates without reading: a variable yields its reference.
    RValue eval(const Expr* e) {
        switch (e->kind) {
        case EK::variable:
            return e->value;
        case EK::indexed: {
            RValue v = e->value;
            v.index = array_index(e);
            return v;
        }
        case EK::dot:
            return dot(e);
        default: {
            RValue v;
            value(e, e->end, v);
            return v;
        }
        }
    }

    double condition(const Expr* e, int32_t token) {
        RValue v;
        value(e, token, v);
        return v.real;
    }

    // ---- statements ----

    void exec(Stmt* s) {
        current = s->start;
        check_stack(s->start);
        switch (s->kind) {
        case SK::empty:
            return;
        case SK::block:
        case SK::program:
            if (!s->chain_built) build_.build_chain(s);
            for (Stmt* st : s->chain) {
                exec(st);
                if (stop_) return;
            }
            if (!s->chain_fail.ok()) raise(s->chain_fail);
            return;
        case SK::if_:
            if (condition(s->e, s->e_end) >= 0.5) {
                exec(s->s1);
                if (stop_) return;
                if (!s->s1->skip.ok()) raise(s->s1->skip);
                if (s->s2 && !s->s2->skip.ok()) raise(s->s2->skip);
            } else {
                if (!s->s1->skip.ok()) raise(s->s1->skip);
                if (s->s2) exec(s->s2);
            }
            return;
        case SK::while_:
            while (condition(s->e, s->e_end) >= 0.5) {
                exec(s->s1);
                if (stop_) return;
            }
            if (!s->s1->skip.ok()) raise(s->s1->skip);
            return;
        case SK::repeat: {
            int64_t n = to_int64(condition(s->e, s->e_end));
            for (int64_t i = 0; i < n; ++i) {
                exec(s->s1);
                if (stop_) return;
            }
            if (!s->s1->skip.ok()) raise(s->s1->skip);
            return;
        }
        case SK::with:
            with(s);
            return;
        case SK::for_: {
            if (!s->s1) raise(s->own);
            exec(s->s1);
            if (stop_) return;
            if (!s->init.ok()) raise(s->init);
            double c = condition(s->e, s->e_end);
            if (!s->s2->skip.ok()) raise(s->s2->skip);
            if (!s->s3) raise(s->own);
            while (c >= 0.5) {
                exec(s->s3);
                if (stop_) return;
                exec(s->s2);
                if (stop_) return;
                c = condition(s->e, s->e_end);
            }
            if (!s->s3->skip.ok()) raise(s->s3->skip);
            return;
        }
        case SK::exit:
            stop_ = true;
            return;
        case SK::return_: {
            RValue v;
            value(s->e, s->e_end, v);
            result = std::move(v);
            stop_ = true;
            return;
        }
        case SK::assign:
            assign(s);
            return;
        case SK::error:
            raise(s->own);
        }
    }

    // Combines the current value of a compound assignment's target with the right side.
    [[gnu::noinline]] void combine(int32_t op, RValue& cur, const RValue& v, int32_t at) {
        if (const char* error = combine_assignment(op, cur, v)) raise(at, error);
    }

    [[gnu::noinline]] void assign(const Stmt* s) {
        if (!s->op) { // a call or a bare operand: evaluated, not read
            eval(s->e);
            return;
        }
        RValue target = s->e->kind == EK::variable ? s->e->value : eval(s->e);
        RValue v;
        value(s->rhs, s->rhs_end, v);
        int32_t at = s->rhs_end;
        if (target.kind != kind_reference)
            raise(at, "Left-hand side of assignment is not a variable.");
        if (s->op != tk_assign) {
            CVariableList* list = v_.direct_list(target.scope, target.var_id);
            CVariable* var = list ? list->find(target.var_id) : nullptr;
            if (var) {
                // Updated in place: the cell is the current value.
                var->update(target.index, [&](RValue& cur) { combine(s->op, cur, v, at); });
                return;
            }
            RValue cur;
            read_var(target.scope, target.var_id, target.index, at, cur);
            combine(s->op, cur, v, at);
            v = std::move(cur);
        }
        if (!write_var(target.scope, target.var_id, target.index, std::move(v)))
            raise(at, "Cannot assign a value to the variable.");
    }

    // with: runs the body once per chosen instance, as self, with the former self as other.
    [[gnu::noinline]] void with(Stmt* s) {
        double t = round_even(condition(s->e, s->e_end));
        if (t == double(scope_global)) raise(s->s1->start, "Cannot use global in with statement.");
        CInstance* old_self = v_.self;
        CInstance* old_other = v_.other;
        InstanceAccess* ia = ss_.instances;
        auto visit = [&](CInstance* inst) {
            v_.self = inst;
            v_.other = old_self;
            exec(s->s1);
            v_.self = old_self;
            v_.other = old_other;
            return !stop_;
        };
        if (t >= first_user_variable) {
            // An instance id.
            CInstance* inst = ia && t <= INT32_MAX ? ia->find(int32_t(t)) : nullptr;
            if (inst && !ia->destroyed(*inst)) visit(inst);
        } else if ((t >= 0 && t <= 99999) || t < double(scope_unqualified)) {
            // An object: its instances and those of its descendants.
            int32_t object = to_int32(t);
            int32_t n = ia ? ia->object_count(object) : 0;
            for (int32_t i = 0; i < n; ++i) {
                CInstance* inst = ia->object_at(object, i);
                if (inst && !ia->destroyed(*inst) && !visit(inst)) return;
            }
        } else if (t == double(scope_self) || t == double(scope_unqualified)) {
            if (old_self) visit(old_self);
        } else if (t == double(scope_other)) {
            if (old_other) visit(old_other);
        } else if (t == double(scope_all)) {
            int32_t n = ia ? ia->count() : 0;
            for (int32_t i = 0; i < n; ++i) {
                CInstance* inst = ia->at(i);
                if (inst && !ia->destroyed(*inst) && !visit(inst)) return;
            }
        }
        if (stop_) return;
        if (!s->s1->skip.ok()) raise(s->s1->skip);
    }
};

} // namespace

RValue execute_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    if (rt.script.compiled) return machine_program(rt, self, other, code);
    if (!code.tokens()) return code.constant_value();
    Run run(rt, self, other, code);
    ++rt.script.run_depth;
    try {
        run.program();
    } catch (const RunStopped&) {
    } catch (const std::bad_alloc&) {
        run.record(run.current, "Out of memory.");
    }
    --rt.script.run_depth;
    return std::move(run.result);
}

RValue execute_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    if (rt.script.compiled) return machine_expression(rt, self, other, code);
    if (!code.tokens()) return code.constant_value();
    Run run(rt, self, other, code);
    ++rt.script.run_depth;
    RValue v;
    try {
        v = run.expression();
    } catch (const RunStopped&) {
    } catch (const std::bad_alloc&) {
        run.record(0, "Out of memory.");
    }
    --rt.script.run_depth;
    return v;
}

std::optional<RSyntaxError> first_syntax_error(const CCode& code) {
    if (!code.tokens()) return std::nullopt;
    CodeCache& cache = code.cache();
    // Depth first, in the order of the text: a statement's own syntax error (passing over
    // it covers everything but the inside of its blocks), then its parts.
    std::vector<Stmt*> todo{tree_program(cache)};
    auto error = [&](const SkipResult& r) {
        const auto& items = cache.tokens.items;
        int32_t at = r.error_token >= 0 && r.error_token < int32_t(items.size())
                         ? items[size_t(r.error_token)].position
                         : 0;
        return RSyntaxError{at, r.error};
    };
    while (!todo.empty()) {
        Stmt* s = todo.back();
        todo.pop_back();
        // A block is parsed statement by statement, as when it runs (a run meets a missing
        // closing brace as the end of the code).
        if (s->kind == SK::block || s->kind == SK::program) {
            tree_chain(cache, s);
            todo.insert(todo.end(), s->chain.rbegin(), s->chain.rend());
            continue;
        }
        if (!s->skip.ok()) return error(s->skip);
        for (Stmt* part : {s->s3, s->s2, s->s1})
            if (part) todo.push_back(part);
    }
    return std::nullopt;
}

} // namespace kelvane
