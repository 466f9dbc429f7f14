// The variable access layer: reading and writing any variable (a user variable of an
// instance, a global user variable, a built-in) by scope, id and combined array index.
// Instances belong to the run engine; this layer reaches them only through InstanceAccess.
#pragma once

#include <cstdint>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CInstance;

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
