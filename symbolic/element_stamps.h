// The stamps of a symbolic system one by one: every element enters A (or A with a column
// replaced by b) as x * s^p * u v^T, and the determinant is linear in each. A branch of
// the expansion removes some stamps and forces others; its value is the determinant with
// the undecided stamps at their values, bordered by the forced ones (u, -v^T), times
// the forced symbols' values.
#pragma once

#include <map>
#include <utility>
#include <vector>

#include "exact/flint_handles.h"
#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic::stamps {

using Real = long double;  // products of many element values

Real to_real(const fmpz_t z);
Real to_real(const fmpq* q);

using Entry = std::pair<int, int>;  // row, column

// One stamp x * s^power * u v^T of a symbol.
struct Piece {
    int symbol = 0;
    int power = 0;
    std::vector<std::pair<int, exact::Rational>> u, v;
    std::vector<Real> u_real, v_real;  // the same, converted once
    Real value = 0;                    // x at the values
};

// The matrix whose determinant is expanded: numbers plus the symbols' stamps.
struct Target {
    int n = 0;
    std::map<Entry, exact::Rational> numbers;
    std::vector<std::pair<Entry, double>> number_values;  // the same, converted once
    std::vector<Piece> pieces;
};

/// A (column < 0), or A with that column replaced by b, split into numbers and stamps;
/// false when a stamp is not of rank one in one symbol or a number multiplies s.
bool build_target(const SymbolicSystem& system, int column, const std::vector<exact::Rational>& values, Target& out);

/// How many branch values may be computed on a system of n variables, at most cap: each
/// costs an LU of n and more (the forced stamps border it), so the count falls with its
/// cube and a large circuit gives up in about a second instead of an hour.
long affordable_branches(int n, long cap);

class Evaluator {
public:
    explicit Evaluator(const Target& target) : target_(target) {}
    /// The branch's value at the values, in floating point.
    Real value(const std::vector<int>& forced, const std::vector<int>& undecided) const;
    /// The exact coefficient of the term whose stamps are forced, every other removed;
    /// false when it is not an integer.
    bool coefficient(const std::vector<int>& forced, fmpq* out) const;

private:
    const Target& target_;
};

}  // namespace quorvat::symbolic::stamps
