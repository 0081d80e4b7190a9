// The determinant and the Cramer numerators of a sparse symbolic system, by Laplace
// expansion with every minor computed once: the minors of the leading columns are keyed
// by the set of rows they use, those of the trailing columns likewise, and a numerator
// joins the two across the column that the right-hand side replaces. No division, so
// every minor is an exact integer polynomial; sizes are checked as the minors grow.
#pragma once

#include <optional>
#include <stdexcept>
#include <vector>

#include "symbolic/mpoly.h"
#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic {

/// Thrown when a polynomial would exceed the term limit.
class TooLarge : public std::runtime_error {
public:
    explicit TooLarge(long limit) : std::runtime_error("termos demais"), limit_(limit) {}
    long limit() const { return limit_; }

private:
    long limit_;
};

struct CramerSolution {
    Mpoly determinant;                      // det A
    std::vector<std::optional<Mpoly>> numerators;  // by variable index 0..n-1, when asked
};

/// det A and, for every wanted variable k (0-based), det of A with column k replaced by b.
/// No minor may hold more than term_limit terms, nor all the numerators together, nor a
/// product, a partial sum or all stored minors together more than twice as many:
/// TooLarge otherwise.
CramerSolution cramer_by_minors(const SymbolicSystem& system, const std::vector<int>& wanted,
                                const MpolyContext& ctx, long term_limit);

/// The column order that keeps the sets of rows shared by the leading and the trailing
/// columns small (their count bounds the number of minors), for the non-zero pattern
/// given as one bit mask of columns per row.
std::vector<int> column_order(const std::vector<unsigned>& row_columns, int n);

}  // namespace quorvat::symbolic
