// The variable access layer: reading and writing any variable (a user variable of an
// instance, a global user variable, a built-in) by scope, id and combined array index.
// Instances belong to the run engine; this layer reaches them only through InstanceAccess.
#pragma once

#include <cstdint>

#include "code/Variable_BuiltIn.h"
#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CInstance;

// The direct way to one instance built-in variable, for the interpreter's fast paths: the
// field of the instance that holds it and whether writing it is a plain store. A read of
// the field gives what get_builtin gives; a plain store writes what set_builtin writes (the
// value's number converted by `form`) and has no other effect.
struct BuiltInField {
    enum Storage : uint8_t {
        none,    // reached only through get_builtin / set_builtin
        real,    // a double
        integer, // an int32_t
        flag,    // a bool
        value,   // an RValue
    };
    Storage storage = none;
    // Writes are a plain store (real and value fields only); otherwise the setter below,
    // or set_builtin when there is none.
    bool plain_store = false;
    // A write with effects (x moves the bounding box), given the value's number as
    // set_builtin would take it from the value.
    void (*setter)(CInstance* inst, double v) = nullptr;
    BuiltInForm form = BuiltInForm::real;
    // The byte offset of the field in the instance.
    uint32_t offset = 0;

    // The field in an instance.
    char* in(CInstance* inst) const { return reinterpret_cast<char*>(inst) + offset; }
    // Its value as a number (not for value fields).
    double number(CInstance* inst) const {
        const char* p = in(inst);
        switch (storage) {
        case real:
            return *reinterpret_cast<const double*>(p);
        case integer:
            return double(*reinterpret_cast<const int32_t*>(p));
        default:
            return *reinterpret_cast<const bool*>(p) ? 1.0 : 0.0;
        }
    }
    // A plain store of the number v (the value's `real`), converted as the setter does.
    void store(CInstance* inst, double v) const { store_at(in(inst), v); }
    // The same into the field at p (in(inst)).
    [[gnu::always_inline]] void store_at(char* p, double v) const {
        if (form != BuiltInForm::real) [[unlikely]] {
            if (form == BuiltInForm::integer)
                v = round_even(v);
            else if (form == BuiltInForm::boolean)
                v = round_even(v) > 0.5 ? 1.0 : 0.0;
        }
        if (storage == real) {
            *reinterpret_cast<double*>(p) = v;
            return;
        }
        // A value without a string becomes the real in place.
        RValue& d = *reinterpret_cast<RValue*>(p);
        if (d.str.empty()) [[likely]] {
            d.kind = kind_real;
            d.scope = d.var_id = d.index = 0;
            d.real = v;
        } else {
            d = RValue(v);
        }
    }
};

// What the variable access layer and the interpreter need from the room's instances. The
// run engine implements it and sets ScriptState::instances while a room is live; with no
// implementation installed there are no instances at all. Instances must stay in memory
// while code runs (destroying only marks them): a run keeps its self's variable list.
class InstanceAccess {
  public:
    virtual ~InstanceAccess() = default;
    // The instance's own user variables.
    virtual CVariableList& locals(CInstance& inst) = 0;
    // Destroyed instances stay in the lists until purged but are never chosen.
    virtual bool destroyed(CInstance& inst) = 0;
    // The room's instance list, in room order.
    virtual int32_t count() = 0;
    virtual CInstance* at(int32_t position) = 0;
    // The room's list of the instances of an object and of its descendants.
    virtual int32_t object_count(int32_t object) = 0;
    virtual CInstance* object_at(int32_t object, int32_t position) = 0;
    // The first instance of the room's list with this id, destroyed or not; null if none.
    virtual CInstance* find(int32_t id) = 0;
    // Instance built-in variables (ids 1000 ...). The layer checks writability first and
    // maps an index outside an array to 0; the value arrives as assigned, so the setter
    // applies the entry's conversion (convert_builtin) and any effect of the write.
    virtual bool get_builtin(CInstance& inst, int32_t var_id, int32_t index, RValue& out) = 0;
    virtual bool set_builtin(CInstance& inst, int32_t var_id, int32_t index, const RValue& v) = 0;

    // The direct ways to the instance built-ins of every instance this implementation
    // hands out, one per id from first_instance_builtin on (iv_end - first_instance_builtin
    // entries); null when there are none.
    const BuiltInField* builtin_fields = nullptr;
};

// Variable ids below this are built-in variables.
constexpr int32_t builtin_variable_limit = 2000;

// Reads a built-in variable (id < builtin_variable_limit) of an instance, or a global
// built-in (no instance needed); false when there is no such variable or instance.
bool read_builtin(Runtime& rt, CInstance* inst, int32_t var_id, int32_t index, RValue& out);
// Writes a variable of one instance; false when it cannot be written (no instance, a
// read-only or unknown built-in).
bool write_on(Runtime& rt, CInstance* inst, int32_t var_id, int32_t index, const RValue& v);

// Reads a variable; false when it does not exist (or no instance has it).
bool get_variable(Runtime& rt, CInstance* self, CInstance* other, int32_t scope, int32_t var_id,
                  int32_t index, RValue& out);
// Writes a variable; false when it cannot be written.
bool set_variable(Runtime& rt, CInstance* self, CInstance* other, int32_t scope, int32_t var_id,
                  int32_t index, const RValue& v);

} // namespace kelvane
