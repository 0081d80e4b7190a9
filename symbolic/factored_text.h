// A polynomial in the symbols as text a designer can read: the product of its
// irreducible factors, and each factor of many terms nested, its common factors pulled
// out one symbol at a time (a*b + a*c + d -> a*(b + c) + d), where that is clearly shorter
// than the flat sum. The text expands to the polynomial exactly.
#pragma once

#include <string>
#include <vector>

#include "symbolic/mpoly.h"

namespace quorvat::symbolic {

/// p's text with names for the symbols (variable 0, s, must not occur).
std::string factored_text(const Mpoly& p, const std::vector<std::string>& names);

struct RatioText {
    std::string text;
    long top_terms = 0, bottom_terms = 0;  // after the cancelling
    std::vector<std::size_t> symbols;      // those the text holds (variable - 1)
};

/// top/bottom with the factors common to both cancelled, the denominator's sign leading,
/// each side factored as above.
RatioText ratio_text(Mpoly top, Mpoly bottom, const std::vector<std::string>& names);

}  // namespace quorvat::symbolic
