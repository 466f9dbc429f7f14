// A room of plain test instances behind InstanceAccess, and a runtime that records every
// error report, for the script-language tests.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "code/Code_Class.h"
#include "code/Code_Main.h"
#include "code/Script_Class.h"
#include "code/Script_Main.h"
#include "code/Variable_BuiltIn.h"
#include "code/Variable_Main.h"
#include "run/Runtime.h"

namespace kelvane::testing {

struct FakeInstance {
    int32_t id = 0;
    int32_t object = 0;
    bool destroyed = false;
    CVariableList vars;
    std::map<int32_t, RValue> builtins;
    // Built-ins with fields of their own, which the interpreter reaches straight
    // (FakeRoom's builtin_fields), each kind of field once: x a value, y a real whose
    // setter counts its writes, depth a plain real, image_index a value rounded when
    // written, visible a flag with a setter, bbox_left a read-only integer.
    RValue x;
    double y = 0;
    int32_t y_writes = 0;
    double depth = 0;
    RValue image_index;
    bool visible = true;
    int32_t bbox_left = 7;
};

inline FakeInstance& fake(CInstance* i) {
    return *reinterpret_cast<FakeInstance*>(i);
}
inline CInstance* handle(FakeInstance& i) {
    return reinterpret_cast<CInstance*>(&i);
}

class FakeRoom : public InstanceAccess {
  public:
    FakeRoom() {
        FakeInstance probe;
        auto at = [&](int32_t id, BuiltInField::Storage storage, const void* field, bool plain) {
            BuiltInField& f = fields_[size_t(id - first_instance_builtin)];
            f.storage = storage;
            f.plain_store = plain;
            f.form = builtin_entry(id)->form;
            f.offset =
                uint32_t(static_cast<const char*>(field) - reinterpret_cast<const char*>(&probe));
        };
        at(iv_x, BuiltInField::value, &probe.x, true);
        at(iv_y, BuiltInField::real, &probe.y, false);
        at(iv_depth, BuiltInField::real, &probe.depth, true);
        at(iv_image_index, BuiltInField::value, &probe.image_index, true);
        at(iv_visible, BuiltInField::flag, &probe.visible, false);
        at(iv_bbox_left, BuiltInField::integer, &probe.bbox_left, false);
        // y's setter is also reached straight; visible's only through set_builtin.
        fields_[size_t(iv_y - first_instance_builtin)].setter = [](CInstance* i, double v) {
            fake(i).y = v;
            ++fake(i).y_writes;
        };
        builtin_fields = fields_.data();
    }
    FakeRoom(const FakeRoom&) = delete;
    FakeRoom& operator=(const FakeRoom&) = delete;

    std::vector<std::unique_ptr<FakeInstance>> list;
    // Called whenever code reads the built-in id: lets a test change the room mid-run.
    std::function<void()> on_read_id;

    FakeInstance& add(int32_t object) {
        auto i = std::make_unique<FakeInstance>();
        i->id = 100001 + int32_t(list.size());
        i->object = object;
        list.push_back(std::move(i));
        return *list.back();
    }
    std::vector<FakeInstance*> of(int32_t object) {
        std::vector<FakeInstance*> out;
        for (auto& i : list)
            if (i->object == object) out.push_back(i.get());
        return out;
    }

    CVariableList& locals(CInstance& i) override { return fake(&i).vars; }
    bool destroyed(CInstance& i) override { return fake(&i).destroyed; }
    int32_t count() override { return int32_t(list.size()); }
    CInstance* at(int32_t p) override { return handle(*list[size_t(p)]); }
    int32_t object_count(int32_t object) override { return int32_t(of(object).size()); }
    CInstance* object_at(int32_t object, int32_t p) override {
        return handle(*of(object)[size_t(p)]);
    }
    CInstance* find(int32_t id) override {
        for (auto& i : list)
            if (i->id == id) return handle(*i);
        return nullptr;
    }
    bool get_builtin(CInstance& i, int32_t var_id, int32_t index, RValue& out) override {
        if (var_id == iv_id) {
            out = RValue(double(fake(&i).id));
            if (on_read_id) on_read_id();
            return true;
        }
        FakeInstance& f = fake(&i);
        switch (var_id) {
        case iv_x:
            out = f.x;
            return true;
        case iv_y:
            out = RValue(f.y);
            return true;
        case iv_depth:
            out = RValue(f.depth);
            return true;
        case iv_image_index:
            out = f.image_index;
            return true;
        case iv_visible:
            out = RValue(f.visible ? 1.0 : 0.0);
            return true;
        case iv_bbox_left:
            out = RValue(double(f.bbox_left));
            return true;
        }
        out = f.builtins[var_id * 100 + index];
        return true;
    }
    bool set_builtin(CInstance& i, int32_t var_id, int32_t index, const RValue& v) override {
        FakeInstance& f = fake(&i);
        RValue stored = convert_builtin(builtin_entry(var_id)->form, v);
        switch (var_id) {
        case iv_x:
            f.x = stored;
            return true;
        case iv_y:
            f.y = stored.real;
            ++f.y_writes;
            return true;
        case iv_depth:
            f.depth = stored.real;
            return true;
        case iv_image_index:
            f.image_index = stored;
            return true;
        case iv_visible:
            f.visible = stored.real != 0;
            return true;
        }
        f.builtins[var_id * 100 + index] = stored;
        return true;
    }

  private:
    std::array<BuiltInField, iv_end - first_instance_builtin> fields_;
};

// A runtime with the script state reset, a running game and a recording reporter.
struct ScriptRuntime {
    Runtime rt;
    FakeRoom room;
    std::vector<std::string> reports;

    ScriptRuntime() {
        reset_script_state(rt);
        start_game_values(rt);
        rt.script.reporter.game_running = true;
        rt.script.reporter.handler = [this](const std::string& m, bool) { reports.push_back(m); };
        rt.script.instances = &room;
    }
    void add_script(const std::string& name, const std::string& code) {
        auto s = std::make_unique<CScript>();
        s->code = code;
        rt.game.scripts.add(name, std::move(s));
    }
    // Compiles and runs a program with an optional self (other is self).
    RValue run(const std::string& text, FakeInstance* self = nullptr) {
        compile_all_scripts(rt);
        CCode code(text, rt);
        CInstance* h = self ? handle(*self) : nullptr;
        return run_program(rt, h, h, code);
    }
    // The last line of the last report ("at position N: message").
    std::string last_error() const {
        if (reports.empty()) return "";
        const std::string& r = reports.back();
        size_t p = r.rfind('\n');
        return p == std::string::npos ? r : r.substr(p + 1);
    }
};

} // namespace kelvane::testing
