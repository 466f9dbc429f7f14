// The variables as one run of code sees them, shared by the tree walker (Code_Execute) and
// the machine (Code_Machine): the run's self and other, and the short ways to the variables
// that most code uses.
//
// Slots and when they change. The user variables of self live in self's variable list,
// found once per change of self (a new run, or a `with` switching self) and then kept: a
// list lives as long as its instance, and instances are only freed between runs. Inside a
// list a variable is found by id in constant time and never moves (CVariableList), so a
// variable created while the run goes on needs nothing invalidated. Built-in variables of
// self and the argument slots are reached without choosing an instance for the scope.
// Everything else goes through the general access layer (Variable_Main). The machine keeps
// on top of this the variables it found, per frame, in the slots of the compiled code
// (Code_Compile.h).
#pragma once

#include <cstdint>

#include "code/Code_Main.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Class.h"
#include "code/Variable_Main.h"
#include "run/Runtime.h"

namespace kelvane {

class CInstance;

class RunVariables {
  public:
    RunVariables(Runtime& rt, CInstance* self, CInstance* other)
        : rt(rt), ss(rt.script), self(self), other(other) {}

    Runtime& rt;
    ScriptState& ss;
    CInstance* self;
    CInstance* other;

    // An unqualified name, or `self.`.
    static bool plain_scope(int32_t scope) {
        return scope == scope_unqualified || scope == scope_self;
    }

    // The user variables of the instance running the code, when there is one.
    CVariableList* self_locals() {
        if (self != locals_of_ || !looked_up_) [[unlikely]] {
            looked_up_ = true;
            locals_of_ = self;
            locals_ = self && ss.instances ? &ss.instances->locals(*self) : nullptr;
        }
        return locals_;
    }

    // The list that holds a user variable of the running instance or a global one without
    // choosing among room instances; null when the general access layer must decide.
    CVariableList* direct_list(int32_t scope, int32_t id) {
        if (id < builtin_variable_limit) return nullptr;
        if (scope == scope_global) return &ss.globals;
        return plain_scope(scope) ? self_locals() : nullptr;
    }

    // The plain cell of a user variable of self or of a global one, or an argument slot,
    // in place; null when the variable must be read through read().
    const RValue* peek(int32_t scope, int32_t id) {
        if (CVariableList* list = direct_list(scope, id)) {
            if (const CVariable* v = list->find(id)) return &v->value;
        } else if (plain_scope(scope) && id >= bv_argument0 && id <= bv_argument9) {
            return &ss.arguments[size_t(id - bv_argument0)];
        }
        return nullptr;
    }

    // Reads a variable into `out`; false when it does not exist (uninit_zero is the
    // caller's).
    bool read(int32_t scope, int32_t id, int32_t index, RValue& out) {
        if (CVariableList* list = direct_list(scope, id)) {
            const CVariable* v = list->find(id);
            if (!v) return false;
            v->get(index, out);
            return true;
        }
        if (plain_scope(scope) && id < builtin_variable_limit) {
            if (id >= bv_argument0 && id <= bv_argument9) {
                out = ss.arguments[size_t(id - bv_argument0)];
                return true;
            }
            return read_builtin(rt, self, id, index, out);
        }
        return get_variable(rt, self, other, scope, id, index, out);
    }

    // Writes a variable; false when it cannot be written.
    bool write(int32_t scope, int32_t id, int32_t index, RValue&& v) {
        if (CVariableList* list = direct_list(scope, id)) {
            list->make(id).set(index, std::move(v));
            return true;
        }
        if (plain_scope(scope)) return write_on(rt, self, id, index, v);
        return set_variable(rt, self, other, scope, id, index, v);
    }

  private:
    CInstance* locals_of_ = nullptr;
    CVariableList* locals_ = nullptr;
    bool looked_up_ = false;
};

} // namespace kelvane
