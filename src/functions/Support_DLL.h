// The external function table: functions of the game's own libraries, defined by
// `external_define0` ... `external_define8` and called by `external_call0` ...
// `external_call8`, with the built-in functions that reach them.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "functions/Function_Main.h"

namespace kelvane {

class FileNames;
class ForeignLibrary;

constexpr int32_t max_external_arguments = 8;

// One defined function.
struct RExternalFunction {
    std::string library_name; // as the game gave it
    std::shared_ptr<ForeignLibrary> library;
    std::string function_name;
    void* address = nullptr;
    std::vector<bool> string_arguments; // one per argument: true a string, false a real
    bool string_result = false;
};

class ExternalFunctions {
  public:
    // The game's folder, where its libraries are looked for first.
    std::string game_folder;

    // Defines a function; its index in the table, or -1 when the library or the function
    // cannot be found. A library whose name (letter case aside) was loaded before is not
    // looked for again.
    int32_t define(const FileNames& names, const std::string& library, const std::string& name,
                   std::vector<bool> string_arguments, bool string_result);
    // Calls function `id` with the given values; false (and the result left alone) for an id
    // outside the table. The function always gets the arguments it was defined with: values
    // missing from the call are 0 or the empty string, extra ones are left out.
    bool call(int32_t id, std::span<const RValue> arguments, RValue& result) const;

    int32_t count() const { return int32_t(table_.size()); }
    const RExternalFunction& entry(int32_t id) const { return table_[size_t(id)]; }

  private:
    std::vector<RExternalFunction> table_;
    std::map<std::string, std::shared_ptr<ForeignLibrary>> libraries_; // by case-folded name
    std::set<std::string> warned_; // libraries (case folded) already named on stderr
};

// `external_define0` ... `external_define8` and `external_call0` ... `external_call8`, in
// their registration order.
std::span<const RFunction> external_functions();

} // namespace kelvane
