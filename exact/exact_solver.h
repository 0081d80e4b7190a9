// Exact network functions: the solution of an integer polynomial system A(s) x = b(s)
// by Cramer's rule, each variable's transform X_k(s) = x_k(s) / s reduced to lowest terms.
#pragma once

#include <cstddef>
#include <vector>

#include <flint/fmpz_poly_mat.h>

#include "engine/polynomial.h"
#include "engine/tables.h"
#include "exact/flint_handles.h"
#include "exact/progress.h"

namespace quorvat::exact {

/// numerator / denominator in lowest terms, the denominator's leading coefficient
/// positive; the zero function is 0 / 1.
struct RationalFunction {
    IntPoly numerator;
    IntPoly denominator;
};

struct ExactSolution {
    bool singular = false;                   // det A(s) is the zero polynomial
    bool cancelled = false;                  // the progress callback asked to stop
    bool too_large = false;                  // refused: the estimate exceeds memory_guard_bytes
    std::size_t estimated_bytes = 0;         // the memory estimate of the solution
    std::vector<RationalFunction> variables; // variable k at index k - 1
};

/// How the system is solved: by fraction-free elimination (small systems), by dense
/// evaluation and interpolation modulo primes, by a sparse LU modulo primes (large
/// systems), or by the one measured to be the fastest for the system's size.
enum class Method { automatic, fraction_free, multimodular, sparse };

/// The method the automatic choice takes for this system.
Method chosen_method(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b);

/// Solves a (n x n) x = b (n x 1) exactly, for any n, and divides every x_k by s.
/// wanted lists the variables (1-based) to reduce; empty for all. The others are left
/// as 0 / 1; the sparse method also solves only for the wanted ones. progress, when
/// given, is called about once a second at most from the long loops (stage name in
/// Portuguese, share done 0 to 1); when it returns false the solution stops and comes
/// back with cancelled set and no variables.
ExactSolution solve_integer_system(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b,
                                   Method method = Method::automatic, const std::vector<int>& wanted = {},
                                   const ProgressCallback& progress = {});

/// Bytes the solution of the system by method is estimated to need at its peak (the
/// method as chosen when automatic), wanted as in solve_integer_system.
std::size_t estimated_memory_bytes(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, Method method,
                                   const std::vector<int>& wanted = {});

/// Above this estimate solve_exact refuses to start: too_large, with the estimate.
constexpr std::size_t memory_guard_bytes = std::size_t(8) << 30;

/// Stamps the engine's elements exactly and solves the system they make, for the
/// variables tables.wanted (all when empty); refuses a solution whose memory estimate
/// exceeds memory_guard_bytes.
ExactSolution solve_exact(const EngineTables& tables, Method method = Method::automatic,
                          const ProgressCallback& progress = {});

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
