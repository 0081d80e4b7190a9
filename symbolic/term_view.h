// A polynomial of the symbolic result laid out for writing: its terms grouped by powers
// of s, highest first, each coefficient divided by a common positive divisor.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include <flint/fmpz.h>

#include "symbolic/mpoly.h"

namespace quorvat::symbolic {

struct TermView {
    bool negative = false;
    std::string numerator = "1";    // decimal digits of |coefficient|, in lowest terms
    std::string denominator = "1";
    std::vector<std::pair<int, unsigned>> factors;  // (symbol index, exponent), in symbol order
    bool unit() const { return numerator == "1" && denominator == "1"; }
};

struct PowerView {
    long power;
    std::vector<TermView> terms;
};

/// Highest power of s first; the zero polynomial has no powers.
using PolyView = std::vector<PowerView>;

/// The terms of p with every coefficient divided by divisor (positive).
PolyView view_of(const Mpoly& p, const fmpz_t divisor);

/// The divisor that writes a function most plainly: the absolute value of the
/// coefficient of the denominator's last term (its lowest power of s), so that a
/// numeric element gives exact fractions only where they are needed.
void display_divisor(const Mpoly& denominator, fmpz_t divisor);

}  // namespace quorvat::symbolic
