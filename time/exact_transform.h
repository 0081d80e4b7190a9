// A pair of polynomial files as an exact rational function: every coefficient and Cte is
// a double, so an exact binary fraction, and X(s) = scale * N(s) / D(s) with integer
// polynomials N and D that share no factor and D's leading coefficient positive.
#pragma once

#include <string>

#include "engine/polynomial.h"
#include "certified/arb_types.h"

namespace quorvat {

struct ExactTransform {
    FmpzPoly num;            // N, the numerator without the common factor
    FmpzPoly den;            // D, the denominator without the common factor
    FmpzPoly common;         // the exact common factor removed from both
    FmpzPoly den_file;       // the file's denominator as integers: c[i] = den_file[i] * 2^den_exponent
    long den_exponent = 0;
    double cte_num = 1.0, cte_den = 1.0;
    long scale_exponent = 0; // scale = cte_num / cte_den * 2^scale_exponent * W^frequency_power
    double frequency_scale = 1.0;  // W of files in s/W: N and D are then W^degree N(s/W), exactly
    long frequency_power = 0;      // degree of the denominator file minus that of the numerator
    bool zero = false;       // the numerator (or its Cte) is zero: x(t) = 0

    /// scale = cte_num / cte_den * 2^scale_exponent * W^frequency_power at prec bits.
    void scale(arb_t out, slong prec) const;
};

/// Builds the exact transform of num / den, files of any degree that hold functions of
/// s/frequency_scale (1: of s). Returns false with a Portuguese message when the
/// denominator is zero (every coefficient or its Cte) or a value is not finite.
bool make_exact_transform(const WidePolynomial& num, const WidePolynomial& den, double frequency_scale,
                          ExactTransform& out, std::string& error);

}  // namespace quorvat
