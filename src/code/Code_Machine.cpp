// The machine: one loop over the compiled instructions of a piece of code, dispatched by
// computed goto.
//
// Arithmetic and comparison on two reals are done inline; every other case (strings, type
// errors, division by 0) goes to the shared operator code of Code_Operators. Plain user
// variables of self and global ones are kept in the frame's variable slots once found
// (Code_Compile.h says when a slot is emptied). The instance built-ins of self (x, y,
// depth ...) are read straight from the fields of the current self where the instances
// say where those lie (InstanceAccess::builtin_fields) and written there when the setter
// is a plain store; a write with effects (x moves the bounding box) goes to the setter.
// Every other variable is reached through RunVariables (Code_Variables).
//
// A run takes a frame (CallFrame: its code, registers, `with` levels, variable slots) from
// the pool of the script state, which keeps frames with what they hold from run to run.
// A script call does not start a run of its own: the callee gets a frame of its own from
// the pool, with the argument slots it changes (ArgumentFrame), the loop goes on in the
// callee's instructions, and its `return`, `exit` or error leaves the frame and resumes
// the caller after the call. The callee is found once per call site (CallSite) and kept
// there. Each frame still acts as a run of its own: it clears the
// error flag when it starts and reports the error the flag holds when it ends, so an error
// in a script is reported by the script and again by its caller, which goes on. Errors are
// recorded in the error globals and end the frame at once, as in the tree walker. The
// depth of nested runs and frames is limited (max_run_depth) and checked at every call.
#include "code/Code_Machine.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "code/Code_Class.h"
#include "code/Code_Compile.h"
#include "code/Code_Main.h"
#include "code/Code_Operators.h"
#include "code/Code_Tree.h"
#include "code/Code_Variables.h"
#include "code/Script_Arguments.h"
#include "code/Script_Class.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Main.h"
#include "functions/Function_Main.h"
#include "run/Runtime.h"

namespace kelvane {

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

// One run of a piece of code in the machine: the outermost one, or a script call. A frame
// is kept in the pool of the script state from use to use, with its registers, `with`
// levels and variable slots, which only grow: a call at a depth reached before allocates
// nothing.
struct CallFrame {
    const CCode* code = nullptr;
    const Compiled* c = nullptr;
    const std::vector<RToken>* tokens = nullptr;
    // The code's instructions and constants (one load from the frame after a call or a
    // return).
    const Ins* ins = nullptr;
    const RValue* constants = nullptr;
    RValue* regs = nullptr;
    // How many registers and variable slots the code uses.
    int32_t register_count = 0;
    int32_t self_count = 0;
    int32_t global_count = 0;
    // An error was recorded by this frame (only the first one counts).
    bool recorded = false;
    // Of a script call: the caller's frame and call instruction, its self and other at
    // the call, and the argument slots the call changes.
    CallFrame* caller = nullptr;
    const Ins* return_to = nullptr;
    CInstance* self = nullptr;
    CInstance* other = nullptr;
    ArgumentFrame arguments;
    // The script code the frame was last readied for by a call site (CallSite::owner):
    // while the frame holds it, no other code can take its identity, so a call of the same
    // code finds the frame ready.
    std::weak_ptr<CCode> ready_for;
    // The frames above and below this one in the pool.
    CallFrame* above = nullptr;
    CallFrame* below = nullptr;
    // What the frame holds room for.
    int32_t register_capacity = 0;
    int32_t with_capacity = 0;
    int32_t self_capacity = 0;
    int32_t global_capacity = 0;
    // The registers: the first register_count are the code's, cleared of strings when the
    // frame ends (they are always written before they are read).
    std::unique_ptr<RValue[]> register_store;
    std::vector<WithState> withs;
    // The variables of the code's slots (Compiled::self_ids, global_ids), once found.
    std::vector<CVariable*> self_vars;
    std::vector<CVariable*> global_vars;
};

// The frames of the script state: a stack of frames in use, and above them the ones kept
// for the next calls, linked both ways so that a call finds its frame above its caller's.
struct CallFrames::Pool {
    std::vector<std::unique_ptr<CallFrame>> frames;
    // The highest frame in use, null when none is.
    CallFrame* top = nullptr;

    // The frame above the ones in use, made when first needed.
    CallFrame& take() {
        CallFrame* f = top ? top->above : first();
        if (!f) [[unlikely]]
            f = add();
        top = f;
        return *f;
    }
    void give_back() { top = top->below; }

  private:
    CallFrame* first() const { return frames.empty() ? nullptr : frames.front().get(); }
    [[gnu::noinline]] CallFrame* add() {
        auto f = std::make_unique<CallFrame>();
        if (!frames.empty()) {
            f->below = frames.back().get();
            frames.back()->above = f.get();
        }
        frames.push_back(std::move(f));
        return frames.back().get();
    }
};

CallFrames::CallFrames() : pool_(std::make_unique<Pool>()) {}
CallFrames::~CallFrames() = default;

namespace {

// The fields of instances that give none: every built-in through the general access.
const BuiltInField no_fields[iv_end - first_instance_builtin] = {};

// Thrown to the run's loop once an error is recorded: the frame is over.
struct RunStopped {};

#if defined(__x86_64__)
// The processor rounds in one instruction (SSE4.1), which the baseline x86-64 the program
// is built for does not have.
const bool round_instruction = (__builtin_cpu_init(), __builtin_cpu_supports("sse4.1"));
#endif

// std::trunc(q), by the processor's rounding instruction where it has one.
inline double truncate(double q) {
#if defined(__x86_64__)
    if (round_instruction) [[likely]] {
        double t;
        asm("roundsd $11, %1, %0" : "=x"(t) : "x"(q)); // toward 0, no inexact exception
        return t;
    }
#endif
    return std::trunc(q);
}

// A comparison operator (its token kind) on two reals, from their difference.
inline bool compare_reals(int32_t op, double d) {
    // The test of nearly every counting loop, without the jump table of the switch.
    if (op == tk_less) [[likely]]
        return d < 0;
    switch (op) {
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

// An array index that the checks accept, rounded as they round it: n. A real from -0.5 up
// to 31999.5 (excluded) rounds into 0 ... 31999, and within that range a conversion by the
// processor rounds as round_even does (to nearest, halves to even). Anything else (a
// string, NaN, a value out of range) is left to the checks: false.
[[gnu::always_inline]] inline bool index_in_range(const RValue& v, int32_t& n) {
    double x = v.real;
    if (v.kind == kind_real && x >= -0.5 && x < array_row_size - 0.5) [[likely]] {
#if defined(__SSE2__)
        n = _mm_cvtsd_si32(_mm_set_sd(x));
#else
        n = int32_t(round_even(x));
#endif
        return true;
    }
    return false;
}
// The combined index of [i, j] when the checks accept both and their product.
[[gnu::always_inline]] inline bool index_in_range(const RValue& i, const RValue& j, int32_t& n) {
    int32_t m, o;
    if (index_in_range(i, m) && index_in_range(j, o) && m * o <= 1000000) [[likely]] {
        n = m * array_row_size + o;
        return true;
    }
    return false;
}

const Compiled& compiled(const CCode& code, bool expression);

class Machine {
  public:
    Machine(Runtime& rt, CInstance* self, CInstance* other, const CCode& code, const Compiled& c)
        : rt_(rt), ss_(rt.script), frames_(ss_.frames.pool()), v_(rt, self, other) {
        CallFrame& root = frames_.take();
        try {
            enter(root, code, c);
        } catch (...) {
            frames_.give_back();
            throw;
        }
        use(root);
    }
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;
    ~Machine() {
        // Frames left by anything but an error or a return (nothing else is expected).
        while (depth_ > 0) drop_frame();
        release_registers(*f_);
        frames_.give_back();
        if (call_args_) std::destroy_n(call_args_, max_call_arguments);
    }

    RValue result;

    void run();

    // Records an error in the error globals (once per frame) without stopping.
    void record(int32_t token, std::string_view message) {
        if (f_->recorded) return;
        f_->recorded = true;
        record_error(ss_, *f_->code, *f_->tokens, token, message);
    }

  private:
    Runtime& rt_;
    ScriptState& ss_;
    CallFrames::Pool& frames_;
    const FunctionRegistry& functions_ = function_registry();
    RunVariables v_;
    // The current frame, and how many script calls lie above the outermost. The frames come
    // from the pool of the script state, so that a run allocates nothing once runs as deep
    // have been made before.
    CallFrame* f_ = nullptr;
    int32_t depth_ = 0;
    // The current frame's variable slots.
    CVariable** self_vars_ = nullptr;
    CVariable** global_vars_ = nullptr;
    // The fields of the instance built-ins (InstanceAccess::builtin_fields, or no_fields
    // when the instances give none); the instances stay the same while code runs.
    const BuiltInField* fields_ =
        ss_.instances && ss_.instances->builtin_fields ? ss_.instances->builtin_fields : no_fields;

    void use(CallFrame& f) {
        f_ = &f;
        self_vars_ = f.self_vars.data();
        global_vars_ = f.global_vars.data();
    }

    // Readies a frame for the code: registers, `with` levels and empty variable slots.
    void enter(CallFrame& f, const CCode& code, const Compiled& c) {
        f.ready_for.reset();
        int32_t self_count = int32_t(c.self_ids.size());
        int32_t global_count = int32_t(c.global_ids.size());
        if ((f.register_capacity < c.registers) | (f.with_capacity < c.with_depth) |
            (f.self_capacity < self_count) | (f.global_capacity < global_count)) [[unlikely]]
            grow(f, c);
        f.code = &code;
        f.c = &c;
        f.tokens = &code.tokens()->items;
        f.ins = c.code.data();
        f.constants = c.constants.data();
        f.register_count = c.registers;
        f.self_count = self_count;
        f.global_count = global_count;
        f.recorded = false;
        if (self_count | global_count) [[unlikely]]
            clear_slots(f);
    }
    [[gnu::noinline]] static void grow(CallFrame& f, const Compiled& c) {
        if (f.register_capacity < c.registers) {
            // Only the registers of a frame not in use are replaced: they hold nothing.
            f.register_store = std::make_unique<RValue[]>(size_t(c.registers));
            f.regs = f.register_store.get();
            f.register_capacity = c.registers;
        }
        if (f.with_capacity < c.with_depth) {
            f.withs.resize(size_t(c.with_depth));
            f.with_capacity = c.with_depth;
        }
        if (f.self_capacity < int32_t(c.self_ids.size())) {
            f.self_vars.resize(c.self_ids.size());
            f.self_capacity = int32_t(c.self_ids.size());
        }
        if (f.global_capacity < int32_t(c.global_ids.size())) {
            f.global_vars.resize(c.global_ids.size());
            f.global_capacity = int32_t(c.global_ids.size());
        }
    }
    [[gnu::noinline]] static void clear_slots(CallFrame& f) {
        std::fill_n(f.self_vars.data(), f.self_count, nullptr);
        std::fill_n(f.global_vars.data(), f.global_count, nullptr);
    }
    // The frame's registers let go of their strings.
    static void release_registers(CallFrame& f) {
        for (int32_t i = 0, n = f.register_count; i < n; ++i) f.regs[i].str = RString();
    }

    // A script call's frame, taken from the pool and entered: the argument slots it
    // changes are kept and its arguments moved into them, and its first instruction is
    // returned. Each frame acts as a run of its own: the error flag is cleared. A frame
    // last readied for the same code by a call site needs only its variable slots emptied.
    const Ins* push_frame(const Ins* ip, const CallSite& site) {
        CallFrame& f = frames_.take();
        if (!f.ready_for.owner_before(site.owner) && !site.owner.owner_before(f.ready_for))
            [[likely]] {
            f.recorded = false;
            if (f.self_count | f.global_count) [[unlikely]]
                clear_slots(f);
        } else {
            try {
                enter(f, *site.code, *site.c);
            } catch (const std::bad_alloc&) {
                frames_.give_back();
                throw;
            }
            f.ready_for = site.owner;
        }
        f.arguments.take(ss_, f_->regs + ip->c, ip->x);
        f.caller = f_;
        f.return_to = ip;
        f.self = v_.self;
        f.other = v_.other;
        ++depth_;
        ++ss_.run_depth;
        ss_.error.flag = false;
        use(f);
        return f.ins;
    }

    // Ends the current script frame as a run ends: its registers given back, the error it
    // leaves reported, the argument slots put back, the caller's self and other restored.
    // Returns the caller's call instruction.
    const Ins* drop_frame() {
        CallFrame& f = *f_;
        release_registers(f);
        --ss_.run_depth;
        if (ss_.error.flag) [[unlikely]]
            report_error(rt_, program_error_message(ss_.error), false);
        f.arguments.close();
        v_.self = f.self;
        v_.other = f.other;
        frames_.give_back();
        --depth_;
        use(*f.caller);
        return f.return_to;
    }

    // Leaves the current script frame with its result (operand o of its code), which
    // becomes the value of the call; returns the call instruction.
    const Ins* leave(int32_t o) {
        store(f_->caller->regs[f_->return_to->a], o);
        return drop_frame();
    }
    // The same with a value that is read (a variable), copied before the frame ends.
    const Ins* leave_value(const RValue& v) {
        f_->caller->regs[f_->return_to->a] = v;
        return drop_frame();
    }
    const Ins* leave() {
        const Ins* call = drop_frame();
        f_->regs[call->a] = RValue();
        return call;
    }

    [[noreturn]] void raise(int32_t token, std::string_view message) {
        record(token, message);
        throw RunStopped{};
    }

    const RValue& k(int32_t operand) const {
        return operand >= 0 ? f_->regs[operand] : f_->c->constants[size_t(-1 - operand)];
    }

    // ---- variable slots ----

    // The variable of a slot of self's variables / of the global ones, found and kept on
    // first use; null while it does not exist.
    [[gnu::always_inline]] CVariable* self_var(int32_t slot) {
        CVariable* v = self_vars_[slot];
        return v ? v : find_self_var(slot);
    }
    [[gnu::always_inline]] CVariable* global_var(int32_t slot) {
        CVariable* v = global_vars_[slot];
        return v ? v : find_global_var(slot);
    }
    [[gnu::noinline]] CVariable* find_self_var(int32_t slot) {
        CVariableList* list = v_.self_locals();
        if (!list) return nullptr;
        return self_vars_[slot] = list->find(f_->c->self_ids[size_t(slot)]);
    }
    [[gnu::noinline]] CVariable* find_global_var(int32_t slot) {
        return global_vars_[slot] = ss_.globals.find(f_->c->global_ids[size_t(slot)]);
    }
    // The variable of a slot to be written: made when missing (a self without variables
    // has none: null).
    CVariable* made_self_var(int32_t slot) {
        CVariable* v = self_vars_[slot];
        return v ? v : make_self_var(slot);
    }
    CVariable* made_global_var(int32_t slot) {
        CVariable* v = global_vars_[slot];
        return v ? v : make_global_var(slot);
    }
    [[gnu::noinline]] CVariable* make_self_var(int32_t slot) {
        CVariableList* list = v_.self_locals();
        if (!list) return nullptr;
        return self_vars_[slot] = &list->make(f_->c->self_ids[size_t(slot)]);
    }
    [[gnu::noinline]] CVariable* make_global_var(int32_t slot) {
        return global_vars_[slot] = &ss_.globals.make(f_->c->global_ids[size_t(slot)]);
    }
    // The value of a plain variable of self or a global one (kind: self_variable or
    // global_variable, o: its slot), null while it does not exist.
    [[gnu::always_inline]] const RValue* variable_value(uint32_t kind, int32_t o) {
        CVariable* v = kind == self_variable ? self_var(o) : global_var(o);
        return v ? &v->value : nullptr;
    }
    // Self changes (`with`): the slots of its variables no longer hold.
    void forget_self_vars() { std::fill_n(self_vars_, f_->self_count, nullptr); }

    // A variable operand (kind: OperandKind, o: its slot, argument number or built-in id)
    // of operand b (which 0) or c (which 1), read in place as a get would read it, its
    // error placed at `token`.
    const RValue& variable_at(uint32_t kind, int32_t o, int32_t token, int which) {
        if (kind == builtin_variable) return builtin(o, token, which);
        return user_variable(kind, o, token);
    }
    // A variable operand that is not a built-in.
    [[gnu::always_inline]] const RValue& user_variable(uint32_t kind, int32_t o, int32_t token) {
        if (kind == argument_slot) return ss_.arguments[size_t(o)];
        if (const RValue* v = variable_value(kind, o)) [[likely]]
            return *v;
        return missing(kind, o, token);
    }
    // A variable operand that does not exist: the error of its read, or with uninit_zero
    // real 0 (the general read cannot find it either).
    [[gnu::noinline]] const RValue& missing(uint32_t kind, int32_t o, int32_t token) {
        static const RValue zero;
        bool self = kind == self_variable;
        int32_t id = (self ? f_->c->self_ids : f_->c->global_ids)[size_t(o)];
        RValue out;
        read_var(self ? scope_self : scope_global, id, 0, token, out);
        return zero;
    }
    // Operand b (which 0) or c (which 1) of an instruction; a variable's error at `token`.
    const RValue& operand(const Ins& i, int which, int32_t token) {
        uint32_t kind = which ? kind_c(i) : kind_b(i);
        int32_t o = which ? i.c : i.b;
        return kind ? variable_at(kind, o, token, which) : k(o);
    }
    const RValue& operand(const Ins& i, int which) { return operand(i, which, i.token); }

    // A built-in operand read in place: a field of self's is read straight; the number of
    // any other field goes to the operand's own number (a real 0 but for its `real`, as a
    // get would give it), and any other built-in is read whole into the operand's own
    // value. The two operands of an instruction do not share one.
    RValue numbers_[2];
    RValue reads_[2];
    [[gnu::always_inline]] const RValue& builtin(int32_t id, int32_t token, int which) {
        if (id >= first_instance_builtin)
            if (const RValue* v = field_operand(id, which)) return *v;
        return builtin_slow(id, token, which);
    }
    [[gnu::noinline]] const RValue& builtin_slow(int32_t id, int32_t token, int which) {
        RValue& s = reads_[which];
        // A global built-in (room_width): its getter straight, with its cell 0.
        bool ok = id < bv_global_count ? builtin_global_entries[id].get(rt_, 0, s)
                                       : read_builtin(rt_, v_.self, id, 0, s);
        if (!ok) read_var(scope_self, id, 0, token, s);
        return s;
    }

    // ---- instance built-ins of self ----

    // The field of self's instance built-in `id` (not an array), or null when the instances
    // do not give it: then the general access reaches it.
    const BuiltInField* field(int32_t id) const {
        if (!v_.self) [[unlikely]]
            return nullptr;
        const BuiltInField* f = &fields_[id - first_instance_builtin];
        return f->storage != BuiltInField::none ? f : nullptr;
    }

    // Self's instance built-in `id` as operand b (which 0) or c (which 1) read in place (a
    // number field through numbers_[which]), or null when the general read must do it.
    const RValue* field_operand(int32_t id, int which = 0) {
        const BuiltInField* f = field(id);
        if (!f) [[unlikely]]
            return nullptr;
        if (f->storage == BuiltInField::value)
            return reinterpret_cast<const RValue*>(f->in(v_.self));
        numbers_[which].real = f->number(v_.self);
        return &numbers_[which];
    }

    // Combines self's field with a real by a compound assignment's operator (a token kind)
    // and writes the result back by the field's plain store or its setter; false, with
    // nothing done, when that is not so simple (a value field that does not hold a real, a
    // field with neither, a division by 0): the general instructions then do it all.
    [[gnu::always_inline]] bool combine_field(const BuiltInField& f, int32_t op, double v) {
        char* p = f.in(v_.self);
        double cur;
        if (f.storage == BuiltInField::value) {
            const RValue& value = *reinterpret_cast<const RValue*>(p);
            if (value.kind != kind_real) return false;
            cur = value.real;
        } else {
            cur = f.number(v_.self);
        }
        if (op == tk_add_assign) [[likely]]
            cur += v;
        else if (op == tk_sub_assign)
            cur -= v;
        else if (op == tk_mul_assign)
            cur *= v;
        else if (v == 0)
            return false;
        else
            cur /= v;
        if (f.plain_store) {
            f.store_at(p, cur);
            return true;
        }
        if (!f.setter) return false;
        f.setter(v_.self, cur);
        return true;
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
        if (operand >= 0) return std::move(f_->regs[operand]);
        return f_->c->constants[size_t(-1 - operand)];
    }

    // The result x of an operator on two reals: the left operand's value with its number
    // set (a string the left operand held follows it, as the operators define). Values
    // without strings are copied field by field, with no call that would make the numbers
    // leave the machine registers.
    [[gnu::always_inline]] static void set_result(RValue& d, const RValue& l, double x) {
        if (&d != &l) {
            if (!d.str.empty() || !l.str.empty()) [[unlikely]] {
                copy_result(d, l, x);
                return;
            }
            // kind, scope, var_id and index: the four integers before `real`.
            static_assert(offsetof(RValue, real) == 4 * sizeof(int32_t));
            std::memcpy(reinterpret_cast<char*>(&d), reinterpret_cast<const char*>(&l),
                        offsetof(RValue, real));
        }
        d.real = x;
    }
    [[gnu::noinline]] static void copy_result(RValue& d, const RValue& l, double x) {
        d = l;
        d.real = x;
    }

    // Stores what take() gives straight into a cell.
    void store(RValue& cell, int32_t operand) {
        if (operand >= 0)
            cell = std::move(f_->regs[operand]);
        else
            cell = f_->c->constants[size_t(-1 - operand)];
    }

    int32_t index_of(const Ins& i) const { return i.c < 0 ? 0 : f_->regs[i.c].index; }

    [[gnu::noinline]] void update(const Ins& i, int32_t scope) {
        int32_t index = index_of(i);
        const RValue& v = k(i.a);
        CVariableList* list = v_.direct_list(scope, i.b);
        if (CVariable* var = list ? list->find(i.b) : nullptr) {
            // Updated in place: the cell is the current value.
            if (const char* error = var->update(
                    index, [&](RValue& cur) { return combine_assignment(i.extra, cur, v); }))
                raise(i.token, error);
            return;
        }
        RValue cur;
        read_var(scope, i.b, index, i.token, cur);
        if (const char* error = combine_assignment(i.extra, cur, v)) raise(i.token, error);
        write_var(scope, i.b, index, std::move(cur), i.token);
    }

    // ---- values ----

    // l and r are the operands as the instruction read them.
    [[gnu::noinline]] void binary_slow(const Ins& i, int32_t op, const RValue& l, const RValue& r) {
        RValue& d = f_->regs[i.a];
        const char* error;
        if (kind_b(i) == in_register && i.b == i.a) {
            error = apply_operator(op, d, r);
        } else {
            RValue v = l;
            error = apply_operator(op, v, r);
            if (!error) d = std::move(v);
        }
        if (error) raise(i.token, error);
    }

    // A comparison of other than two reals, as a condition.
    [[gnu::noinline]] bool compare_slow(const Ins& i, const RValue& l, const RValue& r) {
        RValue v = l;
        if (const char* error = apply_operator(i.extra, v, r)) raise(i.token, error);
        return v.real >= 0.5;
    }

    [[gnu::noinline]] void prefix(const Ins& i, int32_t op) {
        RValue v = k(i.b);
        if (const char* error = apply_prefix(op, v)) raise(i.token, error);
        f_->regs[i.a] = std::move(v);
    }

    // The combined index of operands b (and c when `two`), read and checked at `token`.
    [[gnu::noinline]] int32_t index(const Ins& i, bool two, int32_t token) {
        const char* error = nullptr;
        const RValue& first = operand(i, 0, token);
        int32_t n = combined_index(first, two ? &operand(i, 1, token) : nullptr, error);
        if (error) raise(token, error);
        return n;
    }

    // The variable of a cell instruction (null while it does not exist), and its id.
    CVariable* cell_var(const Ins& i) {
        return RunVariables::plain_scope(i.x) ? self_var(i.slot) : global_var(i.slot);
    }
    int32_t cell_var_id(const Ins& i) const {
        return (RunVariables::plain_scope(i.x) ? f_->c->self_ids
                                               : f_->c->global_ids)[size_t(i.slot)];
    }
    // The index of a cell instruction's [b]: inline when it is a register, a constant or a
    // plain variable holding a real in range; else as index1 computes it, errors at extra.
    [[gnu::always_inline]] int32_t index1_of(const Ins& ins, const RValue* regs,
                                             const RValue* consts) {
        uint32_t kb = kind_b(ins);
        const RValue* i = kb == in_register ? (ins.b >= 0 ? &regs[ins.b] : &consts[-1 - ins.b])
                          : kb <= global_variable ? variable_value(kb, ins.b)
                                                  : nullptr;
        if (int32_t n; i && index_in_range(*i, n)) [[likely]]
            return n;
        return index(ins, false, ins.extra);
    }
    // The index of a cell instruction's [b, c], as index1_of for two.
    [[gnu::always_inline]] int32_t index2_of(const Ins& ins, const RValue* regs,
                                             const RValue* consts) {
        uint32_t ki = kind_b(ins), kj = kind_c(ins);
        const RValue& i = ki           ? variable_at(ki, ins.b, ins.extra, 0)
                          : ins.b >= 0 ? regs[ins.b]
                                       : consts[-1 - ins.b];
        const RValue& j = kj           ? variable_at(kj, ins.c, ins.extra, 1)
                          : ins.c >= 0 ? regs[ins.c]
                                       : consts[-1 - ins.c];
        if (int32_t n; index_in_range(i, j, n)) [[likely]]
            return n;
        return index(ins, true, ins.extra);
    }
    // Reads cell n (0 <= n < array_row_size, as a one-index cell instruction computes it) of
    // a variable: the plain cell, or one of the first row, reached without dividing n.
    static void get_first_row(const CVariable& v, int32_t n, RValue& out) {
        if (n != 0 && !v.rows.empty() && size_t(n) < v.rows[0].size()) [[likely]]
            return v.rows[0][size_t(n)].load(out);
        v.get(n, out);
    }
    // Writes the same cell, made when missing.
    static void set_first_row(CVariable& v, int32_t n, const RValue& x) {
        if (n != 0 && !v.rows.empty()) [[likely]]
            return v.rows[0].cell(size_t(n)).store(x);
        v.set(n, x);
    }
    // Stores what take() gives straight into cell n of a variable.
    void store(CVariable& var, int32_t n, int32_t operand) {
        if (operand >= 0)
            var.set(n, std::move(f_->regs[operand]));
        else
            var.set(n, f_->c->constants[size_t(-1 - operand)]);
    }
    // The cell n of an add_cell instruction added to the variable of the add_to_self or
    // add_to_global after it, when the cell and the variable exist and hold reals (a cell
    // never written is the real 0); false, having done nothing, otherwise.
    bool add_cell(const Ins& i, int32_t n) {
        const CVariable* v = cell_var(i);
        const Ins& u = (&i)[1];
        CVariable* t = u.op == Op::add_to_self ? self_var(u.slot) : global_var(u.slot);
        if (!v || !t || t->value.kind != kind_real) return false;
        double x;
        if (!cell_real(*v, n, x)) return false;
        t->value.real += x;
        return true;
    }
    // The number of cell n of a variable when it holds a real.
    static bool cell_real(const CVariable& v, int32_t n, double& x) {
        if (n == 0) {
            x = v.value.real;
            return v.value.kind == kind_real;
        }
        uint32_t r = uint32_t(n) / array_row_size, c = uint32_t(n) % array_row_size;
        if (r < v.rows.size() && c < v.rows[r].size()) return v.rows[r][c].real(x);
        x = 0;
        return true;
    }
    // A cell of a variable that does not exist yet: read as the general read reads it.
    [[gnu::noinline]] void get_missing_cell(const Ins& i, int32_t n) {
        read_var(i.x, cell_var_id(i), n, i.token, f_->regs[i.a]);
    }
    // Writes cell n of a cell instruction's variable, made when missing, as set_self and
    // set_global write.
    void set_cell(const Ins& i, int32_t n, const RValue& v) {
        CVariable* var =
            RunVariables::plain_scope(i.x) ? made_self_var(i.slot) : made_global_var(i.slot);
        if (var) [[likely]] {
            set_first_row(*var, n, v);
            return;
        }
        write_var(i.x, cell_var_id(i), n, RValue(v), i.token);
    }

    // The checks every call makes once its arguments are computed.
    void check_call(const Ins& i) {
        if (ss_.run_depth >= max_run_depth || (i.b < script_call_base && run_stack_exhausted()))
            raise(i.token, "Stack overflow.");
    }

    // The ten argument values handed to built-in functions: real 0 but while a call is in
    // progress, when the first ones hold its arguments. Handlers only read them, so the
    // others stay real 0 from call to call and need no clearing. Made at the first call.
    RValue* call_args_ = nullptr;
    alignas(RValue) unsigned char call_store_[max_call_arguments * sizeof(RValue)];
    RValue* call_args() {
        if (!call_args_) [[unlikely]] {
            call_args_ = reinterpret_cast<RValue*>(call_store_);
            std::uninitialized_value_construct_n(call_args_, max_call_arguments);
        }
        return call_args_;
    }
    // The arguments of a call in progress, made real 0 again when it ends (also by an
    // exception).
    struct TakenArguments {
        RValue* args;
        int32_t n;
        TakenArguments(RValue* args, RValue* from, int32_t n) : args(args), n(n) {
            for (int32_t j = 0; j < n; ++j) args[j] = std::move(from[j]);
        }
        TakenArguments(const TakenArguments&) = delete;
        TakenArguments& operator=(const TakenArguments&) = delete;
        ~TakenArguments() {
            for (int32_t j = 0; j < n; ++j) args[j] = RValue();
        }
    };

    // A built-in function: its arguments, in the registers from c on, are moved into the
    // values handed to the handler; its result goes to a. The registry's count was checked,
    // so its handler is called straight away.
    [[gnu::noinline]] void call_function(const Ins& i) {
        check_call(i);
        int32_t n = i.x;
        const RFunction* f =
            i.b >= 0 && i.b < functions_.count() ? &functions_.entry(i.b) : nullptr;
        if (!f || f->argc != n) [[unlikely]]
            raise(i.token, "Function needs " + std::to_string(f ? f->argc : -1) + " arguments");
        TakenArguments args(call_args(), f_->regs + i.c, n);
        RValue r;
        f->handler(rt_, v_.self, v_.other, n, r, args.args);
        // Handlers set the kind by itself: it is read back by itself (a wider read of a
        // narrower write just made waits for the write to reach the cache).
        RValue& d = f_->regs[i.a];
        d.kind = *static_cast<volatile int32_t*>(&r.kind);
        d.scope = r.scope;
        d.var_id = r.var_id;
        d.index = r.index;
        d.real = r.real;
        d.str = std::move(r.str);
    }

    // The callee of a script call when the call site knows it (CallSite) and the call
    // may be made; null when call_script must decide.
    const CallSite* known_callee(const Ins& i) const {
        const CallSite& site = f_->c->calls[size_t(i.slot)];
        const CScript* s = rt_.game.scripts.get(i.b - script_call_base);
        if (s && site.c && !site.owner.owner_before(s->compiled) &&
            !s->compiled.owner_before(site.owner) && ss_.run_depth < max_run_depth) [[likely]]
            return &site;
        return nullptr;
    }

    // A script: a frame of its own on the frame stack, entered at its first instruction,
    // which is returned. The call site keeps the callee for the next calls. Code without
    // instructions (a constant, or nothing) is run as before, by a run of its own; null is
    // then returned.
    [[gnu::noinline]] const Ins* call_script(const Ins* ip) {
        const Ins& i = *ip;
        check_call(i);
        CScript* s = rt_.game.scripts.get(i.b - script_call_base);
        if (!s) raise(i.token, "Error executing function.");
        // A script added after the game was prepared is compiled when first called.
        if (!s->compiled) s->compiled = std::make_shared<CCode>(s->code, rt_);
        // Scripts do not change while the game runs, so the code outlives the call.
        const CCode& code = *s->compiled;
        const Compiled* c = nullptr;
        if (!code.is_constant() && code.tokens()) {
            try {
                c = &compiled(code, false);
            } catch (const std::bad_alloc&) {
                // The run of its own records that.
            }
        }
        if (!c) {
            ArgumentFrame frame;
            frame.take(ss_, f_->regs + i.c, i.x);
            f_->regs[i.a] = run_program(rt_, v_.self, v_.other, code);
            return nullptr;
        }
        CallSite site{s->compiled, &code, c};
        if (i.slot >= 0) f_->c->calls[size_t(i.slot)] = site;
        return push_frame(ip, site);
    }

    // ---- with ----

    [[gnu::noinline]] void with_start(const Ins& i) {
        double t = round_even(k(i.b).real);
        if (t == double(scope_global)) raise(i.token, "Cannot use global in with statement.");
        WithState& w = f_->withs[size_t(i.c)];
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
        WithState& w = f_->withs[size_t(i.c)];
        forget_self_vars();
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
    // The current frame's instructions, registers and constants.
    const Ins* code = f_->ins;
    const Ins* ip = code;
    RValue* r = f_->regs;
    const RValue* kc = f_->constants;
    // An operand: a register, or a constant.
#define K(operand) ((operand) >= 0 ? r[operand] : kc[-1 - (operand)])
// Operand b or c: also a variable read in place (one test of the kind bits when there is
// none).
#define OPERAND_B                                                                                  \
    (ip->vars & (builtin_b | 3) ? ip->vars & builtin_b                                             \
                                      ? builtin(ip->b, ip->token, 0)                               \
                                      : user_variable(ip->vars & 3u, ip->b, ip->token)             \
                                : K(ip->b))
#define OPERAND_C                                                                                  \
    (ip->vars & (builtin_c | 12) ? ip->vars & builtin_c                                            \
                                       ? builtin(ip->c, ip->token, 1)                              \
                                       : user_variable(ip->vars >> 2 & 3u, ip->c, ip->token)       \
                                 : K(ip->c))
#define INDEX1() index1_of(*ip, r, kc)
#define INDEX2() index2_of(*ip, r, kc)
    // The combined index of the cell instruction being run.
    int32_t cell = 0;
// After a change of frame.
#define RELOAD()                                                                                   \
    do {                                                                                           \
        code = f_->ins;                                                                            \
        r = f_->regs;                                                                              \
        kc = f_->constants;                                                                        \
    } while (0)
    // Each round runs until the current frame stops on an error.
    for (;;) {
        try {
            // One line per opcode, in the order of Op.
            // clang-format off
            static void* const labels[] = {
                &&get_self,
                &&get_global,
                &&get_arg,
                &&get,
                &&get_dyn,
                &&get_builtin,
                &&get_field,
                &&set_field,
                &&update_field,
                &&step_field,
                &&field_add,
                &&field_sub,
                &&set_self,
                &&set_global,
                &&set,
                &&set_dyn,
                &&update,
                &&update_dyn,
                &&add_to_self,
                &&add_to_global,
                &&move,
                &&add,
                &&sub,
                &&mul,
                &&divide,
                &&div,
                &&mod,
                &&less,
                &&less_equal,
                &&equal,
                &&not_equal,
                &&greater_equal,
                &&greater,
                &&logical_and,
                &&logical_or,
                &&add_rr,
                &&add_rk,
                &&add_vk,
                &&add_vr,
                &&add_ak,
                &&add_fk,
                &&add_fr,
                &&sub_rr,
                &&sub_rk,
                &&sub_vk,
                &&sub_vr,
                &&sub_ak,
                &&sub_fk,
                &&sub_fr,
                &&mul_rr,
                &&mul_rk,
                &&mul_vk,
                &&mul_vr,
                &&mul_ak,
                &&mul_fk,
                &&mul_fr,
                &&divide_rr,
                &&divide_rk,
                &&divide_vk,
                &&divide_vr,
                &&divide_ak,
                &&divide_fk,
                &&divide_fr,
                &&div_rr,
                &&div_rk,
                &&div_vk,
                &&div_vr,
                &&div_ak,
                &&div_fk,
                &&div_fr,
                &&mod_rr,
                &&mod_rk,
                &&mod_vk,
                &&mod_vr,
                &&mod_ak,
                &&mod_fk,
                &&mod_fr,
                &&negate,
                &&plus,
                &&logical_not,
                &&index1,
                &&index2,
                &&get_cell1,
                &&get_cell2,
                &&set_cell1,
                &&add_cell1,
                &&add_cell2,
                &&dot_scope,
                &&call,
                &&compare_jump_ak,
                &&jump,
                &&jump_false,
                &&jump_true,
                &&compare_jump,
                &&step_test,
                &&step_less_self,
                &&step_less_global,
                &&repeat_start,
                &&repeat_next,
                &&with_start,
                &&with_next,
                &&ret,
                &&ret_var,
                &&stop,
                &&raise,
            };
            // clang-format on
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
        const RValue& l = OPERAND_B;                                                               \
        const RValue& rr = OPERAND_C;                                                              \
        if (l.kind == kind_real && rr.kind == kind_real && (GUARD)) {                              \
            double a = l.real, b = rr.real;                                                        \
            set_result(r[ip->a], l, (EXPR));                                                       \
            NEXT();                                                                                \
        }                                                                                          \
        binary_slow(*ip, TOKEN, l, rr);                                                            \
        NEXT();                                                                                    \
    }

            DISPATCH();

        get_self : {
            if (const CVariable* v = self_var(ip->slot)) {
                v->get(index_of(*ip), r[ip->a]);
                NEXT();
            }
            read_var(ip->x, ip->b, index_of(*ip), ip->token, r[ip->a]);
            NEXT();
        }
        get_global : {
            if (const CVariable* v = global_var(ip->slot)) {
                v->get(index_of(*ip), r[ip->a]);
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
        get_builtin:
            // Straight to the built-in's accessor; the general read for its failure.
            if (!read_builtin(rt_, v_.self, ip->b, index_of(*ip), r[ip->a]))
                read_var(ip->x, ip->b, index_of(*ip), ip->token, r[ip->a]);
            NEXT();
        get_field:
            if (const RValue* v = field_operand(ip->b)) [[likely]] {
                r[ip->a] = *v;
                NEXT();
            }
            goto get_builtin;
        set_field : {
            const BuiltInField* f = field(ip->b);
            if (f && f->plain_store) {
                f->store(v_.self, K(ip->a).real);
                NEXT();
            }
            if (f && f->setter) {
                f->setter(v_.self, K(ip->a).real);
                NEXT();
            }
            goto set;
        }
        update_field : {
            const RValue& v = K(ip->a);
            if (const BuiltInField* f = field(ip->b); f && v.kind == kind_real)
                if (combine_field(*f, ip->extra, v.real)) NEXT();
            goto update;
        }
        step_field : {
            // The update, then the comparison of the built-in with the constant, at once;
            // whenever that is not as simple, the two instructions as they are.
            const RValue& v = K(ip->a);
            const BuiltInField* f = field(ip->b);
            if (!f || v.kind != kind_real || !combine_field(*f, ip->extra, v.real)) goto update;
            const Ins& j = ip[1];
            const RValue& now = builtin(j.b, j.token, 0);
            const RValue& limit = kc[-1 - j.c];
            if (now.kind != kind_real || limit.kind != kind_real) NEXT();
            ip = compare_reals(j.extra, now.real - limit.real) == (j.x != 0) ? code + j.a : ip + 2;
            DISPATCH();
        }
// The built-in b := itself OP operand c, and the set_field after it skipped; any other case
// as the operator's general instruction, then that set_field.
#define FIELD_OP(LABEL, GENERAL, OPERATOR)                                                         \
    LABEL : {                                                                                      \
        const BuiltInField* f = field(ip->b);                                                      \
        const RValue& rr = K(ip->c);                                                               \
        if (f && rr.kind == kind_real && combine_field(*f, OPERATOR, rr.real)) [[likely]] {        \
            ip += 2;                                                                               \
            DISPATCH();                                                                            \
        }                                                                                          \
        goto GENERAL;                                                                              \
    }
            FIELD_OP(field_add, add, tk_add_assign)
            FIELD_OP(field_sub, sub, tk_sub_assign)
        set_self : {
            if (CVariable* v = made_self_var(ip->slot)) [[likely]] {
                store(*v, index_of(*ip), ip->a);
                NEXT();
            }
            write_var(ip->x, ip->b, index_of(*ip), take(ip->a), ip->token);
            NEXT();
        }
        set_global : {
            store(*made_global_var(ip->slot), index_of(*ip), ip->a);
            NEXT();
        }
        set:
            write_var(ip->x, ip->b, index_of(*ip), take(ip->a), ip->token);
            NEXT();
        set_dyn:
            write_var(r[ip->x].index, ip->b, index_of(*ip), take(ip->a), ip->token);
            NEXT();
        update:
            this->update(*ip, ip->x);
            NEXT();
        update_dyn:
            this->update(*ip, r[ip->x].index);
            NEXT();
// `+=` of a real in place; any other case as the general update.
#define ADD_TO(LABEL, FIND)                                                                        \
    LABEL : {                                                                                      \
        const RValue& v = K(ip->a);                                                                \
        CVariable* var = FIND(ip->slot);                                                           \
        if (var && var->value.kind == kind_real && v.kind == kind_real) [[likely]] {               \
            var->value.real += v.real;                                                             \
            NEXT();                                                                                \
        }                                                                                          \
        this->update(*ip, ip->x);                                                                  \
        NEXT();                                                                                    \
    }
            ADD_TO(add_to_self, self_var)
            ADD_TO(add_to_global, global_var)
        move:
            r[ip->a] = K(ip->b);
            NEXT();
            ARITH(add, tk_plus, true, a + b)
            ARITH(sub, tk_minus, true, a - b)
            ARITH(mul, tk_times, true, a * b)
            ARITH(divide, tk_divide, rr.real != 0, a / b)
            ARITH(div, tk_div, rr.real != 0, truncate(a / b))
            ARITH(mod, tk_mod, rr.real != 0, a - truncate(a / b) * b)
            ARITH(less, tk_less, true, a - b < 0 ? 1 : 0)
            ARITH(less_equal, tk_less_equal, true, a - b <= 0 ? 1 : 0)
            ARITH(equal, tk_equal, true, a - b == 0 ? 1 : 0)
            ARITH(not_equal, tk_not_equal, true, a - b != 0 ? 1 : 0)
            ARITH(greater_equal, tk_greater_equal, true, a - b >= 0 ? 1 : 0)
            ARITH(greater, tk_greater, true, a - b > 0 ? 1 : 0)
            ARITH(logical_and, tk_and, true, (a > 0.5 && b > 0.5) ? 1 : 0)
            ARITH(logical_or, tk_or, true, (a > 0.5 || b > 0.5) ? 1 : 0)
// The forms of an operator for known places of its operands: the case of two reals as the
// operator does it, any other case by the operator's own instruction. A constant right
// operand is known to be a real that passes the guard (Compiler::arith_form).
#define ARITH_FORM(LABEL, GENERAL, GUARD, EXPR, LEFT, RIGHT, RIGHT_OK)                             \
    LABEL : {                                                                                      \
        if (const RValue* lp = LEFT) [[likely]] {                                                  \
            const RValue& l = *lp;                                                                 \
            const RValue& rr = RIGHT;                                                              \
            if (l.kind == kind_real && (RIGHT_OK)) [[likely]] {                                    \
                double a = l.real, b = rr.real;                                                    \
                set_result(r[ip->a], l, (EXPR));                                                   \
                NEXT();                                                                            \
            }                                                                                      \
        }                                                                                          \
        goto GENERAL;                                                                              \
    }
// A plain variable of self or a global one (operand b), null while it does not exist.
#define VAR_B (variable_value(kind_b(*ip), ip->b))
#define REAL_RIGHT(GUARD) rr.kind == kind_real && (GUARD)
#define ARITH_FORMS(OP, GUARD, EXPR)                                                               \
    ARITH_FORM(OP##_rr, OP, GUARD, EXPR, &r[ip->b], r[ip->c], REAL_RIGHT(GUARD))                   \
    ARITH_FORM(OP##_rk, OP, GUARD, EXPR, &r[ip->b], kc[-1 - ip->c], true)                          \
    ARITH_FORM(OP##_vk, OP, GUARD, EXPR, VAR_B, kc[-1 - ip->c], true)                              \
    ARITH_FORM(OP##_vr, OP, GUARD, EXPR, VAR_B, r[ip->c], REAL_RIGHT(GUARD))                       \
    ARITH_FORM(OP##_ak, OP, GUARD, EXPR, &ss_.arguments[size_t(ip->b)], kc[-1 - ip->c], true)      \
    ARITH_FORM(OP##_fk, OP, GUARD, EXPR, field_operand(ip->b), kc[-1 - ip->c], true)               \
    ARITH_FORM(OP##_fr, OP, GUARD, EXPR, field_operand(ip->b), r[ip->c], REAL_RIGHT(GUARD))
            ARITH_FORMS(add, true, a + b)
            ARITH_FORMS(sub, true, a - b)
            ARITH_FORMS(mul, true, a * b)
            ARITH_FORMS(divide, rr.real != 0, a / b)
            ARITH_FORMS(div, rr.real != 0, truncate(a / b))
            ARITH_FORMS(mod, rr.real != 0, a - truncate(a / b) * b)
        negate:
            prefix(*ip, tk_minus);
            NEXT();
        plus:
            prefix(*ip, tk_plus);
            NEXT();
        logical_not:
            prefix(*ip, tk_not);
            NEXT();
        index1 : {
            // An index in range inline; the checks and their errors out of line.
            if (int32_t n; index_in_range(OPERAND_B, n)) {
                r[ip->a].index = n;
                NEXT();
            }
            r[ip->a].index = index(*ip, false, ip->token);
            NEXT();
        }
        index2 : {
            const RValue& i = OPERAND_B;
            const RValue& j = OPERAND_C;
            if (int32_t n; index_in_range(i, j, n)) {
                r[ip->a].index = n;
                NEXT();
            }
            r[ip->a].index = index(*ip, true, ip->token);
            NEXT();
        }
        get_cell1:
            // The index inline when in range, as index1; then the read, as get_self.
            cell = INDEX1();
        read_cell1:
            if (const CVariable* v = cell_var(*ip)) [[likely]] {
                get_first_row(*v, cell, r[ip->a]);
                NEXT();
            }
            get_missing_cell(*ip, cell);
            NEXT();
        get_cell2:
            // The index inline when in range, as index2.
            cell = INDEX2();
        read_cell2:
            if (const CVariable* v = cell_var(*ip)) [[likely]] {
                v->get(cell, r[ip->a]);
                NEXT();
            }
            get_missing_cell(*ip, cell);
            NEXT();
// As get_cell1 / get_cell2, then the add_to after it at once when all are reals.
#define ADD_CELL(LABEL, INDEX, READ)                                                               \
    LABEL:                                                                                         \
    cell = INDEX();                                                                                \
    if (add_cell(*ip, cell)) [[likely]] {                                                          \
        ip += 2;                                                                                   \
        DISPATCH();                                                                                \
    }                                                                                              \
    goto READ;
            ADD_CELL(add_cell1, INDEX1, read_cell1)
            ADD_CELL(add_cell2, INDEX2, read_cell2)
        set_cell1 : {
            // The index, then the value read, then the cell written.
            int32_t n = INDEX1();
            set_cell(*ip, n, OPERAND_C);
            NEXT();
        }
        dot_scope : {
            const RValue& l = K(ip->b);
            if (l.kind != kind_real) raise(ip->token, "Wrong type of arguments.");
            r[ip->a].index = to_int32(l.real);
            NEXT();
        }
        call:
            if (ip->b >= script_call_base) {
                if (const CallSite* site = known_callee(*ip)) [[likely]] {
                    ip = push_frame(ip, *site);
                    RELOAD();
                    DISPATCH();
                }
                // (A recursive script may start with the call: its first instruction is this.)
                if (const Ins* first = call_script(ip)) {
                    ip = first;
                    RELOAD();
                    DISPATCH();
                }
                NEXT();
            }
            call_function(*ip);
            NEXT();
        compare_jump_ak : {
            const RValue& l = ss_.arguments[size_t(ip->b)];
            if (l.kind == kind_real) [[likely]] {
                if (compare_reals(ip->extra, l.real - kc[-1 - ip->c].real) == (ip->x != 0)) {
                    ip = code + ip->a;
                    DISPATCH();
                }
                NEXT();
            }
            goto compare_jump;
        }
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
            const RValue& l = OPERAND_B;
            const RValue& rr = OPERAND_C;
            bool truth = l.kind == kind_real && rr.kind == kind_real
                             ? compare_reals(ip->extra, l.real - rr.real)
                             : compare_slow(*ip, l, rr);
            if (truth == (ip->x != 0)) {
                ip = code + ip->a;
                DISPATCH();
            }
            NEXT();
        }
        step_test : {
            // The update and the comparison with the constant at once, when both are reals
            // and the variable exists; otherwise the update alone, then the comparison.
            const RValue& v = K(ip->a);
            const Ins& j = ip[1];
            const RValue& limit = kc[-1 - j.c];
            if (v.kind == kind_real && limit.kind == kind_real) {
                CVariable* var =
                    RunVariables::plain_scope(ip->x) ? self_var(ip->slot) : global_var(ip->slot);
                if (var && var->value.kind == kind_real) {
                    var->value.real += v.real;
                    if (compare_reals(j.extra, var->value.real - limit.real) == (j.x != 0)) {
                        ip = code + j.a;
                        DISPATCH();
                    }
                    ip += 2;
                    DISPATCH();
                }
            }
            this->update(*ip, ip->x);
            NEXT();
        }
// The variable += the constant a, then back to the loop's start while it is below the
// constant of the compare_jump after; a variable missing or not a real as step_test.
#define STEP_LESS(LABEL, FIND)                                                                     \
    LABEL : {                                                                                      \
        CVariable* var = FIND(ip->slot);                                                           \
        if (var && var->value.kind == kind_real) [[likely]] {                                      \
            double v = var->value.real + kc[-1 - ip->a].real;                                      \
            var->value.real = v;                                                                   \
            const Ins& j = ip[1];                                                                  \
            ip = v - kc[-1 - j.c].real < 0 ? code + j.a : ip + 2;                                  \
            DISPATCH();                                                                            \
        }                                                                                          \
        goto step_test;                                                                            \
    }
            STEP_LESS(step_less_self, self_var)
            STEP_LESS(step_less_global, global_var)
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
            if (depth_ == 0) {
                result = take(ip->b);
                return;
            }
            ip = leave(ip->b);
            RELOAD();
            NEXT();
        ret_var : {
            const RValue& v = OPERAND_B;
            if (depth_ == 0) {
                result = v;
                return;
            }
            ip = leave_value(v);
            RELOAD();
            NEXT();
        }
        stop:
            if (depth_ == 0) return;
            ip = leave();
            RELOAD();
            NEXT();
        raise:
            raise(ip->token, f_->c->messages[size_t(ip->b)]);
        } catch (const RunStopped&) {
        } catch (const std::bad_alloc&) {
            record(f_->c->statement[size_t(ip - code)], "Out of memory.");
        }
        // An error ended the frame: a script's returns 0 to its caller, which goes on.
        if (depth_ == 0) return;
        ip = leave() + 1;
        RELOAD();
    }
#undef ARITH
#undef ARITH_FORM
#undef ARITH_FORMS
#undef REAL_RIGHT
#undef FIELD_OP
#undef STEP_LESS
#undef VAR_B
#undef INDEX1
#undef INDEX2
#undef ADD_CELL
#undef ADD_TO
#undef OPERAND_B
#undef OPERAND_C
#undef K
#undef NEXT
#undef DISPATCH
#undef RELOAD
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
        m.run();
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
