// The named constants of the script language: a fixed table of names and real values,
// searched in registration order by the scanner.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace kelvane {

struct RConstant {
    std::string_view name;
    double value;
};

// All named constants in registration (search) order.
std::span<const RConstant> constant_table();
// The value of a named constant (case-sensitive), if there is one.
std::optional<double> find_constant(std::string_view name);

} // namespace kelvane
