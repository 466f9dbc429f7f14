// The action table: for every action id (0 ... 200) whether it is defined, whether it is a
// question, whether it has an applies-to choice, and the function that performs it.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace kelvane {

struct Runtime;
class CInstance;
class CAction;

// Performs an action for (self, other); a question returns its answer, others true.
using ActionFunction = bool (*)(Runtime& rt, CInstance* self, CInstance* other,
                                const CAction& action);

struct RActionEntry {
    bool defined = false;
    bool question = false;
    bool applies_to = false;
    ActionFunction function = nullptr;
};

constexpr int32_t action_count = 201;

// Control actions the executor handles itself.
enum ControlAction : int32_t {
    action_exit = 24,
    action_else = 31,
    action_begin_block = 32,
    action_end_block = 33,
    action_repeat = 59,
};

const std::array<RActionEntry, action_count>& action_table();
const RActionEntry& action_entry(int32_t id);

// Argument i of an action evaluated as an expression with (self, other), as a real.
double action_real(Runtime& rt, CInstance* self, CInstance* other, const CAction& a, int32_t i);
// A text argument: as written, or evaluated when it begins with a quote.
std::string action_text(Runtime& rt, CInstance* self, CInstance* other, const CAction& a,
                        int32_t i);

} // namespace kelvane
