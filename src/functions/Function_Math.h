// The mathematics and strings family of built-in functions (52 entries), with the number
// formatting that `string`, `string_format` and `kelvane exec` share.
#pragma once

#include <span>
#include <string>

#include "functions/Function_Main.h"

namespace kelvane {

std::span<const RFunction> math_functions();

// A real as `string` writes it: an integral value as an integer, anything else in fixed
// notation with 2 decimals and at most 10 significant digits.
std::string format_real(double x);
// A real in fixed notation with at most `precision` significant digits and `decimals`
// decimals; exponent notation when the integer part has more than `precision` digits.
std::string format_fixed(double x, int precision, int decimals);
// A decimal number in a string (blanks around it allowed); false when it is not one.
bool parse_real(std::string_view text, double& out);
// The next value of the generator of `random`, in [0, 1).
double next_random(uint32_t& seed);

} // namespace kelvane
