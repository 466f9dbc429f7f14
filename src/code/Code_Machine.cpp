// The machine: one loop over the compiled instructions of a piece of code, dispatched by
// computed goto.
//
// A run takes a frame of registers from the value stack of the script state (so nested
// runs, as in recursive scripts, cost no allocation) and keeps one iteration state per
// `with` level. Arithmetic and comparison on two reals are done inline; every other case
// (strings, type errors, division by 0) goes to the shared operator code of
// Code_Operators. Variables are reached through RunVariables (Code_Variables), which says
// how the slots of self's variables are kept and why nothing needs invalidating. Errors
// are recorded in the error globals and end the run at once, as in the tree walker;
// `exit` and `return` end it too.
#include "code/Code_Machine.h"

#include <memory>
#include <new>
#include <string>

#include "code/Code_Class.h"
#include "code/Code_Compile.h"
#include "code/Code_Main.h"
#include "code/Code_Operators.h"
#include "code/Code_Tree.h"
#include "code/Code_Variables.h"
#include "code/Script_Class.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Main.h"
#include "functions/Function_Main.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// Thrown to the run's entry point once an error is recorded: the run is over.
struct RunStopped {};

// One `with` statement in progress: which instances it visits and whom to restore.
struct WithState {
    enum Mode : uint8_t { none, single, of_object, all };
    Mode mode = none;
    InstanceAccess* ia = nullptr;
    CInstance* single_instance = nullptr;
    CInstance* old_self = nullptr;
    CInstance* old_other = nullptr;
    int32_t object = 0;
    int32_t position = 0;
    int32_t count = 0;
};

// A comparison operator (its token kind) on two reals, from their difference.
inline bool compare_reals(int32_t op, double d) {
    switch (op) {
    case tk_less:
        return d < 0;
    case tk_less_equal:
        return d <= 0;
    case tk_equal:
        return d == 0;
    case tk_not_equal:
        return d != 0;
    case tk_greater_equal:
        return d >= 0;
    default:
        return d > 0;
    }
}

class Machine {
  public:
    Machine(Runtime& rt, CInstance* self, CInstance* other, const CCode& code, const Compiled& c)
        : rt_(rt), ss_(rt.script), code_(code), c_(c), tokens_(code.tokens()->items),
          v_(rt, self, other) {
        regs_ = ss_.registers.push(c.registers);
        constants_ = c.constants.data();
        if (c.with_depth > 0) withs_ = std::make_unique<WithState[]>(size_t(c.with_depth));
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine() { ss_.registers.pop(regs_, c_.registers); }

    RValue result;

    void run();

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
    const Compiled& c_;
    const std::vector<RToken>& tokens_;
    RunVariables v_;
    RValue* regs_ = nullptr;
    const RValue* constants_ = nullptr;
    std::unique_ptr<WithState[]> withs_;
    bool recorded_ = false;

    [[noreturn]] void raise(int32_t token, std::string_view message) {
        record(token, message);
        throw RunStopped{};
    }

    const RValue& k(int32_t operand) const {
        return operand >= 0 ? regs_[operand] : constants_[-1 - operand];
    }

    // ---- variables ----

    [[gnu::noinline]] void read_var(int32_t scope, int32_t id, int32_t index, int32_t token,
                                    RValue& out) {
        if (v_.read(scope, id, index, out)) return;
        if (!rt_.game.options.uninit_zero)
            raise(token, "Unknown variable or function: " + ss_.names.name(id));
        out = RValue();
    }

    [[gnu::noinline]] void write_var(int32_t scope, int32_t id, int32_t index, RValue&& v,
                                     int32_t token) {
        if (!v_.write(scope, id, index, std::move(v)))
            raise(token, "Cannot assign a value to the variable.");
    }

    // The value an instruction stores: moved out of a register (a temporary), copied
    // from a constant.
    RValue take(int32_t operand) {
        if (operand >= 0) return std::move(regs_[operand]);
        return c_.constants[size_t(-1 - operand)];
    }

    int32_t index_of(const Ins& i) const { return i.c < 0 ? 0 : regs_[i.c].index; }

    [[gnu::noinline]] void update(const Ins& i, int32_t scope) {
        int32_t index = index_of(i);
        const RValue& v = k(i.a);
        CVariableList* list = v_.direct_list(scope, i.b);
        if (CVariable* var = list ? list->find(i.b) : nullptr) {
            // Updated in place: the cell is the current value.
            if (const char* error = combine_assignment(i.extra, var->cell(index), v))
                raise(i.token, error);
            return;
        }
        RValue cur;
        read_var(scope, i.b, index, i.token, cur);
        if (const char* error = combine_assignment(i.extra, cur, v)) raise(i.token, error);
        write_var(scope, i.b, index, std::move(cur), i.token);
    }

    // ---- values ----

    [[gnu::noinline]] void binary_slow(const Ins& i, int32_t op) {
        RValue& d = regs_[i.a];
        const char* error;
        if (i.b == i.a) {
            error = apply_operator(op, d, k(i.c));
        } else {
            RValue l = k(i.b);
            error = apply_operator(op, l, k(i.c));
            if (!error) d = std::move(l);
        }
        if (error) raise(i.token, error);
    }

    // A comparison of other than two reals, as a condition.
    [[gnu::noinline]] bool compare_slow(const Ins& i) {
        RValue l = k(i.b);
        if (const char* error = apply_operator(i.extra, l, k(i.c))) raise(i.token, error);
        return l.real >= 0.5;
    }

    [[gnu::noinline]] void prefix(const Ins& i, int32_t op) {
        RValue v = k(i.b);
        if (const char* error = apply_prefix(op, v)) raise(i.token, error);
        regs_[i.a] = std::move(v);
    }

    [[gnu::noinline]] void index(const Ins& i, bool two) {
        const char* error = nullptr;
        int32_t n = combined_index(k(i.b), two ? &k(i.c) : nullptr, error);
        if (error) raise(i.token, error);
        regs_[i.a].index = n;
    }

    [[gnu::noinline]] void call(const Ins& i) {
        if (run_stack_exhausted()) raise(i.token, "Stack overflow.");
        RValue* args = regs_ + i.c;
        int32_t n = i.x;
        if (i.b < script_call_base) {
            int32_t want = function_registry().argument_count(i.b);
            if (want != n) raise(i.token, "Function needs " + std::to_string(want) + " arguments");
            // A built-in function gets ten slots; those beyond its arguments are real 0.
            for (int32_t j = n; j < max_call_arguments; ++j) args[j] = RValue();
        }
        if (i.b >= script_call_base) {
            // A script: the argument slots it changes are kept and put back when it
            // returns; its arguments are moved into them.
            CScript* s = rt_.game.scripts.get(i.b - script_call_base);
            if (!s) raise(i.token, "Error executing function.");
            // A script added after the game was prepared is compiled when first called.
            if (!s->compiled) s->compiled = std::make_shared<CCode>(s->code, rt_);
            ArgumentFrame frame(ss_);
            for (int32_t j = 0; j < n; ++j) {
                ss_.argument_frame->save(j, ss_.arguments[size_t(j)]);
                ss_.arguments[size_t(j)] = std::move(args[j]);
            }
            // Scripts do not change while the game runs, so the code outlives the call.
            regs_[i.a] = run_program(rt_, v_.self, v_.other, *s->compiled);
            return;
        }
        RValue r;
        if (!invoke_function(rt_, i.b, v_.self, v_.other, r, args, n))
            raise(i.token, "Error executing function.");
        regs_[i.a] = std::move(r);
    }

    // ---- with ----

    [[gnu::noinline]] void with_start(const Ins& i) {
        double t = round_even(k(i.b).real);
        if (t == double(scope_global)) raise(i.token, "Cannot use global in with statement.");
        WithState& w = withs_[size_t(i.c)];
        w = WithState();
        w.old_self = v_.self;
        w.old_other = v_.other;
        InstanceAccess* ia = w.ia = ss_.instances;
        if (t >= first_user_variable) {
            // An instance id.
            CInstance* inst = ia && t <= INT32_MAX ? ia->find(int32_t(t)) : nullptr;
            if (inst && !ia->destroyed(*inst)) {
                w.mode = WithState::single;
                w.single_instance = inst;
            }
        } else if ((t >= 0 && t <= 99999) || t < double(scope_unqualified)) {
            // An object: its instances and those of its descendants.
            w.mode = WithState::of_object;
            w.object = to_int32(t);
            w.count = ia ? ia->object_count(w.object) : 0;
        } else if (t == double(scope_self) || t == double(scope_unqualified)) {
            w.mode = v_.self ? WithState::single : WithState::none;
            w.single_instance = v_.self;
        } else if (t == double(scope_other)) {
            w.mode = v_.other ? WithState::single : WithState::none;
            w.single_instance = v_.other;
        } else if (t == double(scope_all)) {
            w.mode = WithState::all;
            w.count = ia ? ia->count() : 0;
        }
    }

    // The next instance of the `with` level, or null when it is done; self and other are
    // back to what they were around the statement.
    [[gnu::noinline]] CInstance* with_next(const Ins& i) {
        WithState& w = withs_[size_t(i.c)];
        v_.self = w.old_self;
        v_.other = w.old_other;
        switch (w.mode) {
        case WithState::none:
            return nullptr;
        case WithState::single:
            w.mode = WithState::none;
            return w.single_instance;
        case WithState::of_object:
            while (w.position < w.count) {
                CInstance* inst = w.ia->object_at(w.object, w.position++);
                if (inst && !w.ia->destroyed(*inst)) return inst;
            }
            return nullptr;
        case WithState::all:
            while (w.position < w.count) {
                CInstance* inst = w.ia->at(w.position++);
                if (inst && !w.ia->destroyed(*inst)) return inst;
            }
            return nullptr;
        }
        return nullptr;
    }
};

void Machine::run() {
    const Ins* const code = c_.code.data();
    const Ins* ip = code;
    RValue* const r = regs_;
    const RValue* const kc = constants_;
    // An operand: a register, or a constant.
#define K(operand) ((operand) >= 0 ? r[operand] : kc[-1 - (operand)])
    try {
        static void* const labels[] = {
            &&get_self,   &&get_global,   &&get_arg,       &&get,          &&get_dyn,
            &&set_self,   &&set_global,   &&set,           &&set_dyn,      &&update,
            &&update_dyn, &&move,         &&add,           &&sub,          &&mul,
            &&divide,     &&div,          &&mod,           &&less,         &&less_equal,
            &&equal,      &&not_equal,    &&greater_equal, &&greater,      &&logical_and,
            &&logical_or, &&negate,       &&plus,          &&logical_not,  &&index1,
            &&index2,     &&dot_scope,    &&call,          &&jump,         &&jump_false,
            &&jump_true,  &&compare_jump, &&step_test,     &&repeat_start, &&repeat_next,
            &&with_start, &&with_next,    &&ret,           &&stop,         &&raise,
        };
        static_assert(sizeof(labels) / sizeof(labels[0]) == size_t(Op::raise) + 1);
#define DISPATCH() goto* labels[size_t(ip->op)]
#define NEXT()                                                                                     \
    do {                                                                                           \
        ++ip;                                                                                      \
        DISPATCH();                                                                                \
    } while (0)
// An operator on two reals inline; anything else out of line.
#define ARITH(LABEL, TOKEN, GUARD, EXPR)                                                           \
    LABEL : {                                                                                      \
        const RValue& l = K(ip->b);                                                                \
        const RValue& rr = K(ip->c);                                                               \
        if (l.kind == kind_real && rr.kind == kind_real && (GUARD)) {                              \
            double a = l.real, b = rr.real;                                                        \
            RValue& d = r[ip->a];                                                                  \
            if (&d != &l) d = l;                                                                   \
            d.real = (EXPR);                                                                       \
            NEXT();                                                                                \
        }                                                                                          \
        binary_slow(*ip, TOKEN);                                                                   \
        NEXT();                                                                                    \
    }

        DISPATCH();

    get_self : {
        if (CVariableList* list = v_.self_locals()) {
            if (const CVariable* v = list->find(ip->b)) {
                r[ip->a] = v->get(index_of(*ip));
                NEXT();
            }
        }
        read_var(ip->x, ip->b, index_of(*ip), ip->token, r[ip->a]);
        NEXT();
    }
    get_global : {
        if (const CVariable* v = ss_.globals.find(ip->b)) {
            r[ip->a] = v->get(index_of(*ip));
            NEXT();
        }
        read_var(scope_global, ip->b, index_of(*ip), ip->token, r[ip->a]);
        NEXT();
    }
    get_arg:
        r[ip->a] = ss_.arguments[size_t(ip->b)];
        NEXT();
    get:
        read_var(ip->x, ip->b, index_of(*ip), ip->token, r[ip->a]);
        NEXT();
    get_dyn:
        read_var(r[ip->x].index, ip->b, index_of(*ip), ip->token, r[ip->a]);
        NEXT();
    set_self : {
        if (CVariableList* list = v_.self_locals()) {
            int32_t n = index_of(*ip);
            list->make(ip->b).cell(n) = take(ip->a);
            NEXT();
        }
        write_var(ip->x, ip->b, index_of(*ip), take(ip->a), ip->token);
        NEXT();
    }
    set_global : {
        int32_t n = index_of(*ip);
        ss_.globals.make(ip->b).cell(n) = take(ip->a);
        NEXT();
    }
    set:
        write_var(ip->x, ip->b, index_of(*ip), take(ip->a), ip->token);
        NEXT();
    set_dyn:
        write_var(r[ip->x].index, ip->b, index_of(*ip), take(ip->a), ip->token);
        NEXT();
    update : {
        // The common case, a real added to a real of self, in place.
        const RValue& v = K(ip->a);
        if (ip->extra == tk_add_assign && v.kind == kind_real && ip->c < 0 &&
            RunVariables::plain_scope(ip->x)) {
            if (CVariableList* list = v_.self_locals()) {
                if (CVariable* var = list->find(ip->b)) {
                    if (var->value.kind == kind_real) {
                        var->value.real += v.real;
                        NEXT();
                    }
                }
            }
        }
        this->update(*ip, ip->x);
        NEXT();
    }
    update_dyn:
        this->update(*ip, r[ip->x].index);
        NEXT();
    move:
        r[ip->a] = K(ip->b);
        NEXT();
        ARITH(add, tk_plus, true, a + b)
        ARITH(sub, tk_minus, true, a - b)
        ARITH(mul, tk_times, true, a * b)
        ARITH(divide, tk_divide, rr.real != 0, a / b)
        ARITH(div, tk_div, rr.real != 0, std::trunc(a / b))
        ARITH(mod, tk_mod, rr.real != 0, a - std::trunc(a / b) * b)
        ARITH(less, tk_less, true, a - b < 0 ? 1 : 0)
        ARITH(less_equal, tk_less_equal, true, a - b <= 0 ? 1 : 0)
        ARITH(equal, tk_equal, true, a - b == 0 ? 1 : 0)
        ARITH(not_equal, tk_not_equal, true, a - b != 0 ? 1 : 0)
        ARITH(greater_equal, tk_greater_equal, true, a - b >= 0 ? 1 : 0)
        ARITH(greater, tk_greater, true, a - b > 0 ? 1 : 0)
        ARITH(logical_and, tk_and, true, (a > 0.5 && b > 0.5) ? 1 : 0)
        ARITH(logical_or, tk_or, true, (a > 0.5 || b > 0.5) ? 1 : 0)
    negate:
        prefix(*ip, tk_minus);
        NEXT();
    plus:
        prefix(*ip, tk_plus);
        NEXT();
    logical_not:
        prefix(*ip, tk_not);
        NEXT();
    index1:
        index(*ip, false);
        NEXT();
    index2:
        index(*ip, true);
        NEXT();
    dot_scope : {
        const RValue& l = K(ip->b);
        if (l.kind != kind_real) raise(ip->token, "Wrong type of arguments.");
        r[ip->a].index = to_int32(l.real);
        NEXT();
    }
    call:
        this->call(*ip);
        NEXT();
    jump:
        ip = code + ip->a;
        DISPATCH();
    jump_false:
        if (!(K(ip->b).real >= 0.5)) {
            ip = code + ip->a;
            DISPATCH();
        }
        NEXT();
    jump_true:
        if (K(ip->b).real >= 0.5) {
            ip = code + ip->a;
            DISPATCH();
        }
        NEXT();
    compare_jump : {
        const RValue& l = K(ip->b);
        const RValue& rr = K(ip->c);
        bool truth = l.kind == kind_real && rr.kind == kind_real
                         ? compare_reals(ip->extra, l.real - rr.real)
                         : compare_slow(*ip);
        if (truth == (ip->x != 0)) {
            ip = code + ip->a;
            DISPATCH();
        }
        NEXT();
    }
    step_test : {
        // The update, the read and the comparison with the constant at once, when all are
        // reals and the variable exists; otherwise the update alone, then the others.
        const RValue& v = K(ip->a);
        if (v.kind == kind_real) {
            CVariableList* list = ip->x == scope_global ? &ss_.globals : v_.self_locals();
            CVariable* var = list ? list->find(ip->b) : nullptr;
            const Ins& j = ip[2];
            const RValue& limit = kc[-1 - j.c];
            if (var && var->value.kind == kind_real && limit.kind == kind_real) {
                var->value.real += v.real;
                r[ip[1].a] = var->value;
                if (compare_reals(j.extra, var->value.real - limit.real) == (j.x != 0)) {
                    ip = code + j.a;
                    DISPATCH();
                }
                ip += 3;
                DISPATCH();
            }
        }
        this->update(*ip, ip->x);
        NEXT();
    }
    repeat_start : {
        double n = double(to_int64(K(ip->c).real));
        RValue& counter = r[ip->b];
        counter.kind = kind_real;
        counter.real = n;
        NEXT();
    }
    repeat_next : {
        RValue& counter = r[ip->b];
        if (counter.real > 0) {
            counter.real -= 1;
            NEXT();
        }
        ip = code + ip->a;
        DISPATCH();
    }
    with_start:
        this->with_start(*ip);
        NEXT();
    with_next : {
        CInstance* inst = this->with_next(*ip);
        if (!inst) {
            ip = code + ip->a;
            DISPATCH();
        }
        v_.other = v_.self;
        v_.self = inst;
        NEXT();
    }
    ret:
        result = take(ip->b);
        return;
    stop:
        return;
    raise:
        raise(ip->token, c_.messages[size_t(ip->b)]);
#undef ARITH
#undef K
#undef NEXT
#undef DISPATCH
    } catch (const std::bad_alloc&) {
        record(c_.statement[size_t(ip - code)], "Out of memory.");
    }
}

const Compiled& compiled(const CCode& code, bool expression) {
    CodeCache& cache = code.cache();
    std::unique_ptr<Compiled>& slot =
        expression ? cache.compiled_expression : cache.compiled_program;
    if (!slot)
        slot = std::make_unique<Compiled>(expression ? compile_expression(cache)
                                                     : compile_program(cache));
    return *slot;
}

RValue run_machine(Runtime& rt, CInstance* self, CInstance* other, const CCode& code,
                   bool expression) {
    if (!code.tokens()) return code.constant_value();
    ++rt.script.run_depth;
    RValue result;
    try {
        Machine m(rt, self, other, code, compiled(code, expression));
        try {
            m.run();
        } catch (const RunStopped&) {
        }
        result = std::move(m.result);
    } catch (const std::bad_alloc&) {
        // Compiling, or taking the registers, ran out of memory.
        record_error(rt.script, code, code.tokens()->items, 0, "Out of memory.");
    }
    --rt.script.run_depth;
    return result;
}

} // namespace

RValue machine_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    return run_machine(rt, self, other, code, false);
}

RValue machine_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code) {
    return run_machine(rt, self, other, code, true);
}

std::string machine_listing(const CCode& code) {
    if (!code.tokens()) return "constant\n";
    return disassemble(compiled(code, false), code);
}

} // namespace kelvane
