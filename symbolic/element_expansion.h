// Dominant terms of one coefficient of a determinant, element by element. Every element
// enters the system through a stamp of rank one, x * s^p * u v^T, so the determinant is
// linear in each: det = det(element removed) + x * det(element forced), where forcing
// borders the matrix with u and -v^T. Deciding every element this way gives each term
// of the expansion once, as a distinct product of symbols: there are no cancelling
// pairs to lose, which the expansion by minors has wherever an entry is a sum of
// stamps. Branches are taken largest first by their value at the netlist's numbers,
// until the terms found are within the tolerance of the exact coefficient.
#pragma once

#include <optional>
#include <vector>

#include "exact/flint_handles.h"
#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic {

struct ElementTerm {
    std::vector<ulong> exponents;  // by symbol
    exact::Rational coefficient;   // an integer
};

struct ElementExpansion {
    std::vector<ElementTerm> terms;  // largest first
    long branches = 0;               // branches valued on the way
};

/// The terms of the coefficient of s^power of det A (column < 0) or of det A with that
/// column replaced by b, whose exact value at values is exact, until their sum is within
/// tolerance (relative) of it, checked exactly. Empty when the system has a stamp that is
/// not of rank one in one symbol, a numeric term in s, power above the reach of the
/// enumeration, or when the tolerance is not met within max_branches.
std::optional<ElementExpansion> element_dominant_terms(const SymbolicSystem& system,
                                                       const std::vector<exact::Rational>& values, int column,
                                                       long power, const fmpq* exact, double tolerance,
                                                       long max_branches = 400000);

}  // namespace quorvat::symbolic
