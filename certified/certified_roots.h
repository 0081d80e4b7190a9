// Roots of polynomials whose coefficients are doubles taken as the exact binary fractions
// they are, certified with arb: each root isolated in a ball, its multiplicity exact.
#pragma once

#include <cstddef>
#include <vector>

#include "certified/arb_types.h"
#include "engine/polynomial.h"

namespace quorvat {

/// c[0..count-1] as integers times 2^exponent, exactly (a finite double is a binary
/// fraction). False, out zero, when every c is 0 or one is not finite.
bool exact_integers(const double* c, std::size_t count, FmpzPoly& out, long& exponent);

/// The integers of scale^(count-1) * sum c[i] (s/scale)^i = sum c[i] scale^(count-1-i) s^i,
/// times 2^exponent, exactly: a polynomial file in s/scale made a polynomial in s without
/// rounding. scale must be a finite double above 0. False as exact_integers.
bool exact_scaled_integers(const double* c, std::size_t count, double scale, FmpzPoly& out, long& exponent);

/// A root and its multiplicity.
struct CertifiedRoot {
    AcbNumber value;
    int multiplicity = 1;
};

/// Every root of p (degree >= 1), each to at least prec accurate bits in a ball that holds
/// no other root, with its multiplicity from the square-free factorisation. A real root
/// has an imaginary part of exactly 0; a root proved to lie on the imaginary axis (the
/// ball and its mirror image hold no other root of gcd(f(s), f(-s))) a real part of exactly 0.
std::vector<CertifiedRoot> certified_roots(const fmpz_poly_struct* p, slong prec);

/// The roots in s of a result file that holds Cte * (c[0] + c[1] x + ... ) with x = s/scale.
struct CertifiedPolynomialRoots {
    bool identically_zero = false;     // every coefficient, or Cte, is 0
    int roots_at_origin = 0;           // exact zero coefficients from c[0] up
    std::vector<CertifiedRoot> roots;  // the others, in s (times scale)
    ArbNumber leading;                 // Cte * c[degree] / scale^degree: the factor before prod (s - root)
    int degree = 0;                    // the degree once exact zero leading coefficients are dropped
};

/// The roots of p at prec accurate bits; scale > 0 (1 for a file without a scale line).
CertifiedPolynomialRoots certified_polynomial_roots(const WidePolynomial& p, double scale, slong prec);

/// The highest degree whose roots are computed: beyond it the certified search takes
/// minutes (measured: degree 400 in about 1 s, the cost growing as the cube).
constexpr int max_root_degree = 2000;

}  // namespace quorvat
