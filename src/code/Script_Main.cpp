// Compiling and calling scripts.
#include "code/Script_Main.h"

#include <array>

#include "code/Code_Class.h"
#include "code/Script_Arguments.h"
#include "code/Script_Class.h"
#include "run/Runtime.h"

namespace kelvane {

void compile_all_scripts(Runtime& rt) {
    auto& list = rt.game.scripts;
    for (int32_t i = 0; i < list.count(); ++i)
        if (CScript* s = list.get(i)) s->compiled = std::make_shared<CCode>(s->code, rt);
}

bool script_exists(const Runtime& rt, int32_t index) {
    return rt.game.scripts.exists(index);
}

const std::string& script_name(const Runtime& rt, int32_t index) {
    return rt.game.scripts.name(index);
}

int32_t find_script(const Runtime& rt, const std::string& name) {
    return rt.game.scripts.find(name);
}

CScript* get_script(const Runtime& rt, int32_t index) {
    return rt.game.scripts.get(index);
}

bool call_script(Runtime& rt, int32_t index, CInstance* self, CInstance* other, const RValue* args,
                 int32_t argc, RValue& result) {
    CScript* s = rt.game.scripts.get(index);
    if (!s) return false;
    // A script added after the game was prepared is compiled when first called.
    if (!s->compiled) s->compiled = std::make_shared<CCode>(s->code, rt);
    // The slots are saved and restored around the call; the first argc take the arguments,
    // the others keep the caller's values.
    ArgumentFrame frame(rt.script);
    int32_t n = argc < 0 ? 0 : argc > argument_count ? argument_count : argc;
    for (int32_t i = 0; i < n; ++i) set_argument(rt.script, i, args[i]);
    // Scripts do not change while the game runs, so the code outlives the call.
    result = run_program(rt, self, other, *s->compiled);
    return true;
}

} // namespace kelvane
