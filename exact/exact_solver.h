// Exact network functions: the solution of an integer polynomial system A(s) x = b(s)
// by Cramer's rule, each variable's transform X_k(s) = x_k(s) / s reduced to lowest terms.
#pragma once

#include <vector>

#include <flint/fmpz_poly_mat.h>

#include "engine/polynomial.h"
#include "engine/tables.h"
#include "exact/flint_handles.h"

namespace quorvat::exact {

/// numerator / denominator in lowest terms, the denominator's leading coefficient
/// positive; the zero function is 0 / 1.
struct RationalFunction {
    IntPoly numerator;
    IntPoly denominator;
};

struct ExactSolution {
    bool singular = false;                   // det A(s) is the zero polynomial
    std::vector<RationalFunction> variables; // variable k at index k - 1
};

/// How the system is solved: by fraction-free elimination, by evaluation and
/// interpolation modulo primes, or by the one that suits the size of the coefficients.
enum class Method { automatic, fraction_free, multimodular };

/// Solves a (n x n) x = b (n x 1) exactly, for any n, and divides every x_k by s.
/// wanted lists the variables (1-based) to reduce; empty for all. The others are left
/// as 0 / 1.
ExactSolution solve_integer_system(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b,
                                   Method method = Method::automatic, const std::vector<int>& wanted = {});

/// Stamps the engine's elements exactly and solves the system they make, for the
/// variables tables.wanted (all when empty).
ExactSolution solve_exact(const EngineTables& tables, Method method = Method::automatic);

/// The coefficients of p / divisor in ascending powers, each the double nearest to the
/// exact quotient. False when one does not fit a double.
bool rounded_quotients(const IntPoly& p, const fmpz_t divisor, std::vector<double>& out);

/// f in the form of the result files: the denominator monic with Cte 1, the numerator
/// monic with the gain in its Cte (0 over 1 for the zero function), every number the
/// double nearest to its exact value. With a frequency scale w, the function of s/w:
/// f(w s) instead of f(s), w an exact binary fraction. False when a number does not fit
/// a double (beyond its range, or so small it would round to zero).
bool to_result_polynomials(const RationalFunction& f, WidePolynomial& num, WidePolynomial& den,
                           double scale = 1.0);

/// The range of frequency scales w (powers of ten) under which every coefficient of f's
/// monic polynomials and its gain fit a double: [low, high] as exponents of ten. Empty
/// (low > high) when no single scale does.
struct ScaleRange {
    int low = -400;
    int high = 400;
    bool empty() const { return low > high; }
};
void narrow_scale_range(const RationalFunction& f, ScaleRange& range);

}  // namespace quorvat::exact
