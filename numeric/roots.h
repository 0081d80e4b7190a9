// Poles and zeros of a result pair: the roots of a polynomial from the eigenvalues of
// scaled companion matrices, each polished by one Newton step on the polynomial itself.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "engine/polynomial.h"

namespace quorvat {

struct PolynomialRoots {
    bool identically_zero = false;          // every coefficient is 0
    int roots_at_origin = 0;                // multiplicity of s = 0 (exact zero coefficients)
    std::vector<std::complex<double>> roots;  // the other roots, by modulus, then imaginary part
    double leading = 0.0;                   // leading coefficient times Cte
    int failed = 0;                         // roots that could not be computed
};

/// The roots of Cte * (c[0] + ... + c[degree] s^degree); exact zero leading coefficients
/// are dropped first.
PolynomialRoots polynomial_roots(const ResultPolynomial& p);

/// The report of `quorvat-cli raizes`: gain, zeros and poles, ω0 and Q of complex pairs.
/// complete, when given, tells whether every root could be computed.
std::string describe_poles_and_zeros(const ResultPolynomial& numerator, const ResultPolynomial& denominator,
                                     bool* complete = nullptr);

}  // namespace quorvat
