// The registry of built-in functions: name, fixed argument count and handler, filled once
// at program start family by family; and the one call path used by the interpreter, which
// also forwards script calls.
#pragma once

#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "code/Variable_Class.h"

namespace kelvane {

struct Runtime;
class CInstance;

constexpr int32_t max_call_arguments = 10;

// A handler fills `result` (real 0 on entry) from `args`: always 10 values, of which the
// first `argc` are the call's arguments and the rest real 0. It only reads them, so that a
// caller may keep the unused ones real 0 from call to call. It reports its own problems
// through the error report and never fails the call.
using FunctionHandler = void (*)(Runtime& rt, CInstance* self, CInstance* other, int32_t argc,
                                 RValue& result, const RValue* args);

struct RFunction {
    std::string_view name;
    FunctionHandler handler;
    int32_t argc;
};

class FunctionRegistry {
  public:
    void add(const RFunction& f);
    int32_t count() const { return int32_t(entries_.size()); }
    const RFunction& entry(int32_t index) const { return entries_[size_t(index)]; }
    // The index of the first entry with this exact name, or -1.
    int32_t find(std::string_view name) const;
    // The registered argument count, or -1 for an index outside the registry.
    int32_t argument_count(int32_t index) const;

  private:
    std::vector<RFunction> entries_;
    std::deque<std::string> names_; // stable storage for the names the entries view
    std::unordered_map<std::string_view, int32_t> index_;
};

// The registry, filled on first use: mathematics and strings first, then the other
// families in their order as they arrive.
const FunctionRegistry& function_registry();

// Calls entry `index` (or, from script_call_base on, a script) with `argc` arguments taken
// from `args` (10 values). False when there is no such function or script or the count
// does not match; the result is then left alone.
bool call_function(Runtime& rt, int32_t index, CInstance* self, CInstance* other, RValue& result,
                   const RValue* args, int32_t argc);

// As call_function, for a caller that has the ten argument values (those beyond `argc`
// real 0): the handler reads them where they are.
bool invoke_function(Runtime& rt, int32_t index, CInstance* self, CInstance* other, RValue& result,
                     const RValue* args, int32_t argc);

} // namespace kelvane
