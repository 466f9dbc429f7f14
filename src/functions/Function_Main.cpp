// The function registry: registration, lookup by name and the call of an entry.
#include "functions/Function_Main.h"

#include <array>

#include "code/Code_Token.h"
#include "code/Script_Main.h"
#include "functions/Function_File.h"
#include "functions/Function_Game.h"
#include "functions/Function_Graphics.h"
#include "functions/Function_Graphics_Images.h"
#include "functions/Function_Interaction.h"
#include "functions/Function_Math.h"
#include "functions/Function_Misc.h"
#include "functions/Function_Sound.h"
#include "functions/Support_DLL.h"
#include "multiplayer/Function_DPlay.h"

namespace kelvane {

namespace {
constexpr size_t max_name_length = 64;
}

void FunctionRegistry::add(const RFunction& f) {
    names_.emplace_back(f.name.substr(0, max_name_length));
    RFunction e = f;
    e.name = names_.back();
    entries_.push_back(e);
    index_.try_emplace(e.name, count() - 1);
}

int32_t FunctionRegistry::find(std::string_view name) const {
    auto it = index_.find(name);
    return it == index_.end() ? -1 : it->second;
}

int32_t FunctionRegistry::argument_count(int32_t index) const {
    return index >= 0 && index < count() ? entries_[size_t(index)].argc : -1;
}

const FunctionRegistry& function_registry() {
    static const FunctionRegistry registry = [] {
        FunctionRegistry r;
        for (const auto& f : math_functions()) r.add(f);
        for (const auto& f : drawing_functions()) r.add(f);
        for (const auto& f : image_functions()) r.add(f);
        for (const auto& f : tile_functions()) r.add(f);
        for (const auto& f : game_functions()) r.add(f);
        for (const auto& f : sound_functions()) r.add(f);
        for (const auto& f : file_functions()) r.add(f);
        for (const auto& f : interaction_functions()) r.add(f);
        for (const auto& f : multiplayer_functions()) r.add(f);
        for (const auto& f : event_functions()) r.add(f);
        for (const auto& f : resource_memory_functions()) r.add(f);
        for (const auto& f : sound_memory_functions()) r.add(f);
        for (const auto& f : external_functions()) r.add(f);
        for (const auto& f : misc_functions()) r.add(f);
        return r;
    }();
    return registry;
}

bool invoke_function(Runtime& rt, int32_t index, CInstance* self, CInstance* other, RValue& result,
                     const RValue* args, int32_t argc) {
    if (index >= script_call_base)
        return call_script(rt, index - script_call_base, self, other, args, argc, result);
    const FunctionRegistry& reg = function_registry();
    if (index < 0 || index >= reg.count()) return false;
    const RFunction& f = reg.entry(index);
    if (argc != f.argc) return false;
    RValue r;
    f.handler(rt, self, other, argc, r, args);
    result = std::move(r);
    return true;
}

bool call_function(Runtime& rt, int32_t index, CInstance* self, CInstance* other, RValue& result,
                   const RValue* args, int32_t argc) {
    std::array<RValue, max_call_arguments> copy;
    for (int32_t i = 0; i < argc && i < max_call_arguments; ++i) copy[size_t(i)] = args[i];
    return invoke_function(rt, index, self, other, result, copy.data(), argc);
}

} // namespace kelvane
