// The game's scripts as the language sees them: compiling them all once the game is
// loaded, calling one with up to ten arguments, and the lookups of the resource functions.
#pragma once

#include <cstdint>
#include <string>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CInstance;
class CScript;

// Compiles every existing script from its text (prepare step, before the object actions).
void compile_all_scripts(Runtime& rt);

bool script_exists(const Runtime& rt, int32_t index);
// The script's name, or "<undefined>".
const std::string& script_name(const Runtime& rt, int32_t index);
// The first existing script with this exact name, or -1.
int32_t find_script(const Runtime& rt, const std::string& name);
CScript* get_script(const Runtime& rt, int32_t index);

// Calls a script with argc (0 ... 10) arguments: the ten argument slots are saved, the
// arguments copied into the first argc slots, the script run as a program with the
// caller's self and other, and the slots restored. False when the script does not exist.
bool call_script(Runtime& rt, int32_t index, CInstance* self, CInstance* other, const RValue* args,
                 int32_t argc, RValue& result);

} // namespace kelvane
