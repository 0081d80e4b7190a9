// The low-frequency gain and the dominant pole of a network function as short formulas,
// by simplification before generation: one element at a time is removed (x -> 0) or
// forced (x large: the terms without it dropped), whichever changes the ratio least,
// while the ratio at the netlist values stays within the tolerance of the exact one;
// the few elements left undecided are then expanded exactly, and the forced ones cancel
// between numerator and denominator. Where the coefficients themselves are sums of
// thousands of similar terms, their ratio is often a handful.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "exact/flint_handles.h"
#include "symbolic/nested_solver.h"

namespace quorvat::symbolic {

struct SimplifiedRatio {
    std::string formula;  // text, in the symbols, resistors as resistances
    long top_terms = 0, bottom_terms = 0;
    double value = 0;     // at the netlist values
    double error = 0;     // |formula / exact - 1| at the values, exact, rounded up
    std::vector<std::size_t> symbols;  // those the formula holds, in the table's order
};

struct GainAndPole {
    std::optional<SimplifiedRatio> gain;  // N/D as s -> 0, where that is finite and not zero
    bool final_value = false;             // gain is of s X(s) (a step's response): its final value
    std::optional<SimplifiedRatio> pole;  // p1 = -a0/a1 of D(s) = s (a0 + a1 s + ...)
};

/// For the 1-based variable of result (a chained or joined graph), values the symbols'
/// exact values; each part empty where the system is out of the method's reach or the
/// tolerance is not met.
GainAndPole simplified_gain_and_pole(const NestedResult& result, const std::vector<exact::Rational>& values,
                                     int variable, double tolerance);

/// The same for each of variables, the pole (the determinant's alone) simplified once.
/// same, when not empty, gives each symbol the one it is written as (matched elements
/// of equal values, as designers write them: gm1 = gm2 = gm), itself if none.
std::vector<GainAndPole> simplified_gains_and_pole(const NestedResult& result, const std::vector<exact::Rational>& values,
                                                  const std::vector<int>& variables, double tolerance,
                                                  const std::vector<std::size_t>& same = {});

}  // namespace quorvat::symbolic
