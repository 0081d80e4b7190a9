// The assembled system A(s) x = b(s) with exact entries: every element value is a
// double, hence an exact binary fraction, and every stamp is computed without rounding.
#pragma once

#include <vector>

#include <flint/fmpz_poly_mat.h>

#include "engine/stamp_rules.h"
#include "engine/tables.h"
#include "exact/flint_handles.h"

namespace quorvat::exact {

/// A square system of first-degree polynomial entries with rational coefficients, of any
/// size; rows and columns 1..n, column n + 1 the right-hand side. It is a stamp target.
class RationalPencil {
public:
    explicit RationalPencil(int n);
    int size() const { return n_; }
    /// Coefficient of s^power of entry (row, column), 1-based.
    fmpq* at(int row, int column, int power);
    /// Adds sign * term to the coefficient of s^power of (row, column); ground is ignored.
    void add(int row, int column, int power, int sign, const StampTerm& term);

    /// Scales every row by the least common multiple of its denominators and divides it
    /// by its content: an integer system with the same solution. a is n x n, b is n x 1,
    /// both initialised by the caller with those sizes.
    void to_integers(fmpz_poly_mat_t a, fmpz_poly_mat_t b) const;

private:
    const fmpq* at(int row, int column, int power) const;
    int n_;
    std::vector<Rational> entries_;
};

/// The engine's assembled system, stamped exactly from its element table.
RationalPencil assemble_exact(const EngineTables& tables);

}  // namespace quorvat::exact
