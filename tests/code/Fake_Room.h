// A room of plain test instances behind InstanceAccess, and a runtime that records every
// error report, for the script-language tests.
#pragma once

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
};

inline FakeInstance& fake(CInstance* i) {
    return *reinterpret_cast<FakeInstance*>(i);
}
inline CInstance* handle(FakeInstance& i) {
    return reinterpret_cast<CInstance*>(&i);
}

class FakeRoom : public InstanceAccess {
  public:
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
        out = fake(&i).builtins[var_id * 100 + index];
        return true;
    }
    bool set_builtin(CInstance& i, int32_t var_id, int32_t index, const RValue& v) override {
        fake(&i).builtins[var_id * 100 + index] = convert_builtin(builtin_entry(var_id)->form, v);
        return true;
    }
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
