// The machine: runs the compiled form of a piece of code (Code_Compile) for a self and an
// other instance. Same entry points and effects as the tree walker of Code_Execute.
#pragma once

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CCode;
class CInstance;

// Runs the code as a program / evaluates its first expression (a variable is read). An
// error is recorded in the error globals; the caller composes and reports it.
RValue machine_program(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);
RValue machine_expression(Runtime& rt, CInstance* self, CInstance* other, const CCode& code);

// The listing of the code's compiled program (kelvane exec --disassemble).
std::string machine_listing(const CCode& code);

} // namespace kelvane
