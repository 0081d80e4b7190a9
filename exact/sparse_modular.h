// Cramer's rule for large sparse systems: a sparse LU modulo word-size primes at points
// of s, with a pivot order chosen once (Markowitz), interpolation of every sought
// polynomial as one matrix product with the points' Lagrange basis, and Chinese
// remaindering by a product tree over batches of primes.
#pragma once

#include <vector>

#include <flint/fmpz_poly_mat.h>

#include "exact/flint_handles.h"
#include "exact/progress.h"

namespace quorvat::exact {

enum class ModularOutcome { solved, singular, cancelled };

/// Finds den != 0 and the Cramer numerators of the wanted variables (1-based; all when
/// empty) with A * numerators = den * b; the others stay zero. The result is proved:
/// either the modulus exceeds twice the coefficient bound, or (every variable wanted) the
/// identity is checked exactly once one more batch of primes changed nothing.
ModularOutcome solve_sparse_modular(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, const std::vector<int>& wanted,
                                    IntPoly& den, std::vector<IntPoly>& numerators, ProgressThrottle& progress);


}  // namespace quorvat::exact
