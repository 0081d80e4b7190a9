// Cramer's rule by evaluation and interpolation modulo word-size primes, combined by
// Chinese remaindering: faster than the fraction-free elimination when the
// coefficients are large.
#pragma once

#include <vector>

#include <flint/fmpz_poly_mat.h>

#include "exact/flint_handles.h"

namespace quorvat::exact {

/// Bits of the bound on every coefficient of det A and of the Cramer numerators: the
/// product of the 1-norms of the rows of [A | b].
long cramer_bound_bits(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b);

/// Finds den != 0 and numerators with A * numerators = den * b. Returns false when A is
/// singular. The result is proved: either the modulus exceeds twice the bound, or the
/// identity is checked exactly.
bool solve_multimodular(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b, IntPoly& den,
                        std::vector<IntPoly>& numerators);

}  // namespace quorvat::exact
