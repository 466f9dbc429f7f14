// The compiler: lowers the parsed form of a piece of code (Code_Tree) to a flat list of
// register instructions that the machine (Code_Machine) runs, once per CCode, the first
// time a run reaches it.
//
// An instruction is an opcode and three operands, plus the token a message names when the
// instruction raises an error. An operand is a register of the run's frame (>= 0) or a
// constant of the compiled code (-1 - its index). The operands of arithmetic,
// comparisons, array indices and conditions may instead name a variable that is read in
// place (OperandKind): a plain user variable of self or a global one, an argument slot,
// or a built-in named plainly. Their read is the instruction's own, at its token, in the order of
// the operands.
//
// Variable slots. Each plain user variable of self and each global one that the code
// names gets a slot of the compiled code (Ins::slot, Compiled::self_ids and global_ids);
// a frame of the machine keeps in each slot the variable found there, once found, so that
// it is not searched again. A variable never moves or goes away while code runs (lists
// keep their variables until the instance is freed or the game restarts or loads, all
// between runs), so a slot stays right until self changes: a `with` empties the frame's
// self slots as it moves self. A variable not found leaves its slot empty and is searched
// for again at its next use, which sees a variable created meanwhile. Registers hold whole values;
// the compiler hands them out as a stack, so a frame needs only as many as the deepest expression.
// A variable that an operator reads stays a reference (its scope, id and array index) until both
// operands are evaluated; the read is then its own instruction, at the operator's token, so reads
// and errors happen in the order the parser gives. Syntax errors become `raise` instructions at the
// place where parsing stopped: the code before them runs, then they raise, exactly when parsing
// would have met them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "code/Variable_Class.h"

namespace kelvane {

class CCode;
struct CodeCache;
struct Compiled;

enum class Op : uint8_t {
    // Variables. a: destination or source register, b: variable id, c: index register or
    // -1 for the plain cell. get_self/set_self: the running instance's user variable;
    // get_global/set_global: global.name; get_arg: argument slot b (a plain argumentN).
    get_self,
    get_global,
    get_arg,
    get,     // x: scope (static)
    get_dyn, // scope from register x
    // A built-in variable named plainly (x, room_width): its accessor with self.
    get_builtin,
    // An instance built-in of self that is not an array (x, y, depth): straight from the
    // instance's field when the instances give its place (InstanceAccess::builtin_fields),
    // else as get_builtin / set / update do. set_field and update_field only for writable
    // ones; update_field as update.
    get_field,
    set_field,
    update_field,
    // An update_field (+=) followed by a compare_jump of the same built-in, read in place,
    // with a constant: both at once when the built-in's field and the constant are reals,
    // as step_test does for variables (written over the update_field by fuse()).
    step_field,
    // An add_fk, add_fr, sub_fk or sub_fr whose result the next instruction, a set_field,
    // writes into the same built-in (x = x + e): both at once when the built-in's field and
    // the operand are reals and the field is written by a store or its setter; any other
    // case runs as the two instructions (written over the operator by fuse()).
    field_add,
    field_sub,
    set_self,
    set_global,
    set,     // x: scope; fails with "Cannot assign a value to the variable."
    set_dyn, // scope from register x
    // Compound assignment: x packs the scope register (or the static scope) and the
    // operator; see Ins::extra.
    update,
    update_dyn,
    // `+=` of a real to a plain variable of self / of a global one that holds a real, in
    // place (a: the value, slot: the variable's); any other case runs as the update it
    // was compiled from. Written over such updates by fuse().
    add_to_self,
    add_to_global,
    // Values. a: destination; b, c: operands.
    move,
    add,
    sub,
    mul,
    divide,
    div,
    mod,
    less,
    less_equal,
    equal,
    not_equal,
    greater_equal,
    greater,
    logical_and,
    logical_or,
    // The arithmetic operators again, for operands of known places (the compiler picks
    // them): _rr two registers, _rk a register and a constant, _vk a plain variable of self
    // or a global one (read in place) and a constant, _vr such a variable and a register,
    // _ak an argument slot and a constant, _fk and _fr an instance built-in of self (its
    // field, read in place) and a constant or a register. Each does the case of two reals
    // inline and leaves every other case to the general instruction, which it then is.
    // Seven per operator, in this order (Compiler::arith_form).
    add_rr,
    add_rk,
    add_vk,
    add_vr,
    add_ak,
    add_fk,
    add_fr,
    sub_rr,
    sub_rk,
    sub_vk,
    sub_vr,
    sub_ak,
    sub_fk,
    sub_fr,
    mul_rr,
    mul_rk,
    mul_vk,
    mul_vr,
    mul_ak,
    mul_fk,
    mul_fr,
    divide_rr,
    divide_rk,
    divide_vk,
    divide_vr,
    divide_ak,
    divide_fk,
    divide_fr,
    div_rr,
    div_rk,
    div_vk,
    div_vr,
    div_ak,
    div_fk,
    div_fr,
    mod_rr,
    mod_rk,
    mod_vk,
    mod_vr,
    mod_ak,
    mod_fk,
    mod_fr,
    negate,
    plus,
    logical_not,
    index1, // a := the combined index of [b]
    index2, // a := the combined index of [b, c]
    // An array cell of a plain user variable of self or of a global one (x: the scope,
    // slot: the variable's slot): the index is computed from the operands as index1 and
    // index2 compute it, its errors placed at extra, then the cell is read or written at
    // token. The compiler writes these over an index1 or index2 directly followed by the
    // read or the write of the cell.
    get_cell1, // a := cell [b]
    get_cell2, // a := cell [b, c]
    set_cell1, // cell [b] := c
    // A get_cell1 / get_cell2 whose register the add_to_self or add_to_global after it
    // adds to its variable (t += a[i]): both at once when the cell and the variable hold
    // reals, without the register; any other case runs the two as they are. Written over
    // the get_cell by fuse().
    add_cell1,
    add_cell2,
    dot_scope, // a := the scope named by the value b ("Wrong type of arguments." else)
    call,      // a: result, b: function, c: first argument register, x: argument count
    // A compare_jump of an argument slot (b) with a real constant (c): the case of a real
    // slot inline, any other case by compare_jump itself.
    compare_jump_ak,
    // Control. a: jump target.
    jump,
    jump_false, // to a when operand b is below 0.5 (a condition)
    jump_true,  // to a when operand b is 0.5 or more
    // A comparison (extra: its token kind) of b and c as a condition: to a when its result
    // is x (1 true, 0 false). The comparison itself is exactly the operator's.
    compare_jump,
    // The step of a counting loop: an `update` (+= of a plain variable of self or a
    // global one) followed by a compare_jump of that variable, read in place, with a
    // constant. Written over the update by fuse(); the compare_jump after it stays, so
    // that whenever the fast case (reals all through) does not hold the two run as they
    // are, and jumps to the compare_jump still land on it.
    step_test,
    // A step_test of a variable of self / a global one by a real constant, with the test
    // `<` a real constant jumping back while true: the common counting loop, with nothing
    // left to test but the variable.
    step_less_self,
    step_less_global,
    repeat_start, // b := the rounded count in b
    repeat_next,  // to a when count b is used up, else b -= 1
    with_start,   // b: the target value; raises for global (token)
    with_next,    // to a when no instance is left, else self := the next one
    ret,          // result := b, stop
    ret_var,      // result := operand b, a variable read in place (at token), stop
    stop,         // exit, or the end of the program
    raise,        // the error b (index into messages) at the token
};

// Where an operand of an instruction is: a register or constant, or a variable read in
// place (the operand is then the variable's slot, the argument slot's number, or the
// built-in's id).
enum OperandKind : uint8_t {
    in_register = 0,
    self_variable = 1,
    global_variable = 2,
    argument_slot = 3,
    builtin_variable = 4, // a built-in named plainly, not an argument slot, cell 0
};

struct Ins {
    Op op;
    // The kinds (OperandKind) of operands b and c: see kind_b, kind_c, operand_kinds.
    uint8_t vars = 0;
    // Small operand: a scope, an argument count, an assignment operator.
    int32_t x = 0;
    int32_t a = 0, b = 0, c = 0;
    // update, compare_jump: the operator's token kind; the cell instructions: the token of
    // the index's errors.
    int32_t extra = 0;
    int32_t token = 0; // where an error raised by this instruction is placed
    // The variable slot of get_self, set_self, get_global, set_global, of the cell
    // instructions, and of update, add_to_self, add_to_global and step_test on a plain
    // variable of self or a global one; of a script call, its entry in Compiled::calls; -1
    // for none.
    int32_t slot = -1;
};

// The kinds of the operands b and c of an instruction (Ins::vars): bits 0-1 and 2-3 hold
// the kinds 0-3 of b and c, bits 4 and 5 mark a built-in (so that the common kinds are
// told apart as cheaply as two bits allow).
constexpr uint8_t builtin_b = 0x10, builtin_c = 0x20;
inline uint32_t kind_b(const Ins& i) {
    return i.vars & builtin_b ? uint32_t(builtin_variable) : i.vars & 3u;
}
inline uint32_t kind_c(const Ins& i) {
    return i.vars & builtin_c ? uint32_t(builtin_variable) : (i.vars >> 2) & 3u;
}
inline uint8_t operand_kinds(uint32_t b, uint32_t c) {
    uint32_t bits = b == builtin_variable ? builtin_b : b;
    bits |= c == builtin_variable ? builtin_c : c << 2;
    return uint8_t(bits);
}

// The callee of a script call as the machine found it at its first call, so that later
// calls go straight to its instructions. Used while the script still holds that code: the
// machine compares the owner of the script's code with `owner`, which (weak) keeps the
// owner's identity while the code may go, so that new code is never taken for the old.
struct CallSite {
    std::weak_ptr<CCode> owner;
    const CCode* code = nullptr;
    const Compiled* c = nullptr;
};

struct Compiled {
    std::vector<Ins> code;
    // The start token of the statement each instruction belongs to.
    std::vector<int32_t> statement;
    std::vector<RValue> constants;
    std::vector<std::string> messages;
    int32_t registers = 0;
    // The variable ids of the slots of self's variables and of the global ones.
    std::vector<int32_t> self_ids;
    std::vector<int32_t> global_ids;
    // Nesting of `with` statements: each needs its own iteration state.
    int32_t with_depth = 0;
    // One entry per script call (Ins::slot), filled by the machine.
    mutable std::vector<CallSite> calls;
};

// Compiles the program / the first expression of the cache's tokens.
Compiled compile_program(CodeCache& cache);
Compiled compile_expression(CodeCache& cache);

// A listing of the compiled form, one instruction a line with its source line and column.
std::string disassemble(const Compiled& c, const CCode& code);

} // namespace kelvane
