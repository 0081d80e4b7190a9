// Poles and zeros of a result pair, certified: the roots of the files' polynomials taken
// as exact binary fractions, isolated with arb, every printed digit right.
#pragma once

#include <string>

#include "engine/polynomial.h"

namespace quorvat {

/// The report of `quorvat-cli raizes`: gain, zeros and poles with their multiplicities, ω0
/// and Q of complex pairs, in rad/s. A file that holds a function of s/scale (scale != 1)
/// is reported in s, with a line that says so. Each number has 10 significant digits, all
/// of them right: the working precision doubles until every printed number is decided.
/// complete, when given, tells whether every root could be computed (a degree above
/// max_root_degree is not searched).
std::string describe_poles_and_zeros(const WidePolynomial& numerator, const WidePolynomial& denominator,
                                     double numerator_scale = 1.0, double denominator_scale = 1.0,
                                     bool* complete = nullptr);

}  // namespace quorvat
