// A change of variable s = 2^k s' that makes an integer system A(s) x = b(s) of entries
// of degree at most one smaller: in SI units the capacitances (around 1e-12) and the
// conductances (around 1e-3) of one row differ by thirty binary orders, which the row's
// common denominator turns into thirty bits on every conductance. Shifting the row's s
// coefficients against its constants, then taking out its power of two, saves them; the
// solution is shifted back exactly.
#pragma once

#include <flint/fmpz_poly_mat.h>

#include "exact/flint_handles.h"

namespace quorvat::exact {

/// The k whose shifted system has the smallest Cramer bound (by the rows' norms), 0
/// when no shift saves bits.
int best_frequency_shift(const fmpz_poly_mat_t a, const fmpz_poly_mat_t b);

/// Row by row, the coefficient of s^p times 2^(k p), then the row divided by the power
/// of two common to its entries: the system of s' where s = 2^k s'.
void shift_frequency(fmpz_poly_mat_t a, fmpz_poly_mat_t b, int k);

/// numerator / denominator, a variable's transform X'(s') = x'(s') / s' in the shifted
/// system, back as X(s) = x(s) / s where s = 2^k s', both sides freed of the power of
/// two they then share.
void unshift_frequency(IntPoly& numerator, IntPoly& denominator, int k);

}  // namespace quorvat::exact
