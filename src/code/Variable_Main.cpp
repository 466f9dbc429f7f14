// The variable access layer: choosing the instance for a scope, then the built-in or the
// user variable of that instance (or of the global list).
#include "code/Variable_Main.h"

#include "code/Variable_BuiltIn.h"
#include "run/Runtime.h"

namespace kelvane {

namespace {

// The first not-destroyed instance of the room's list (object < 0: the whole list).
CInstance* first_live(InstanceAccess* ia, int32_t object, bool whole_list) {
    if (!ia) return nullptr;
    int32_t n = whole_list ? ia->count() : ia->object_count(object);
    for (int32_t i = 0; i < n; ++i) {
        CInstance* inst = whole_list ? ia->at(i) : ia->object_at(object, i);
        if (inst && !ia->destroyed(*inst)) return inst;
    }
    return nullptr;
}

} // namespace

bool read_builtin(Runtime& rt, CInstance* inst, int32_t var_id, int32_t index, RValue& out) {
    const RBuiltIn* e = builtin_entry(var_id);
    if (!e) return false;
    int32_t i = builtin_array_index(*e, index);
    // A global built-in reads without an instance; an instance built-in needs one.
    if (var_id < first_instance_builtin) return e->get(rt, i, out);
    if (!inst || !rt.script.instances) return false;
    return rt.script.instances->get_builtin(*inst, var_id, i, out);
}

bool write_on(Runtime& rt, CInstance* inst, int32_t var_id, int32_t index, const RValue& v) {
    InstanceAccess* ia = rt.script.instances;
    if (!inst || !ia) return false;
    if (var_id < builtin_variable_limit) {
        const RBuiltIn* e = builtin_entry(var_id);
        if (!e || !e->writable) return false;
        int32_t i = builtin_array_index(*e, index);
        if (var_id < first_instance_builtin) return e->set(rt, i, v);
        return ia->set_builtin(*inst, var_id, i, v);
    }
    ia->locals(*inst).set(var_id, index, v);
    return true;
}

bool get_variable(Runtime& rt, CInstance* self, CInstance* other, int32_t scope, int32_t var_id,
                  int32_t index, RValue& out) {
    InstanceAccess* ia = rt.script.instances;
    CInstance* inst;
    switch (scope) {
    case scope_self:
    case scope_unqualified:
        inst = self;
        break;
    case scope_other:
        inst = other;
        break;
    case scope_global:
        // Whatever the id: a built-in id is looked up as a plain id there.
        return rt.script.globals.get(var_id, index, out);
    case scope_all:
        inst = first_live(ia, 0, true);
        if (!inst) return false;
        break;
    case scope_noone:
        return false;
    default:
        if (scope >= first_user_variable) {
            inst = ia ? ia->find(scope) : nullptr;
            if (!inst || ia->destroyed(*inst)) return false;
        } else {
            inst = first_live(ia, scope, false);
            if (!inst) return false;
        }
        break;
    }
    if (var_id < builtin_variable_limit) return read_builtin(rt, inst, var_id, index, out);
    if (!inst || !ia) return false;
    return ia->locals(*inst).get(var_id, index, out);
}

bool set_variable(Runtime& rt, CInstance* self, CInstance* other, int32_t scope, int32_t var_id,
                  int32_t index, const RValue& v) {
    InstanceAccess* ia = rt.script.instances;
    switch (scope) {
    case scope_self:
    case scope_unqualified:
        return write_on(rt, self, var_id, index, v);
    case scope_other:
        return write_on(rt, other, var_id, index, v);
    case scope_global:
        rt.script.globals.set(var_id, index, v);
        return true;
    case scope_noone:
        return true;
    case scope_all: {
        bool ok = true;
        int32_t n = ia ? ia->count() : 0;
        for (int32_t i = 0; i < n; ++i) {
            CInstance* inst = ia->at(i);
            if (inst && !ia->destroyed(*inst)) ok = write_on(rt, inst, var_id, index, v);
        }
        return ok;
    }
    default:
        if (scope >= first_user_variable) {
            CInstance* inst = ia ? ia->find(scope) : nullptr;
            if (inst && !ia->destroyed(*inst)) return write_on(rt, inst, var_id, index, v);
            return true;
        }
        bool ok = true;
        int32_t n = ia ? ia->object_count(scope) : 0;
        for (int32_t i = 0; i < n; ++i) {
            CInstance* inst = ia->object_at(scope, i);
            if (inst && !ia->destroyed(*inst)) ok = write_on(rt, inst, var_id, index, v);
        }
        return ok;
    }
}

} // namespace kelvane
