// Poles in symbols where they separate: from the denominator D(s) = s (a0 + a1 s + ...)
// of a function of dominant terms, the classical approximations p_i = -a_{i-1}/a_i,
// each compared at the netlist values with the exact root of the same rank by modulus.
#pragma once

#include <complex>
#include <string>
#include <vector>

#include "symbolic/nested_solver.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

struct PoleApproximation {
    int index = 0;             // i of p_i, 1-based
    std::string formula;       // "-(a_{i-1})/(a_i)" in the symbols, text form
    double value = 0.0;        // the formula at the values (rad/s)
    bool exact_known = false;  // the exact roots could be computed
    std::complex<double> exact;  // the exact root of rank i by modulus
    double difference = 0.0;   // |value - exact| / |exact|
};

/// The approximations for the denominator of f (dominant terms of the graph's
/// determinant); the exact roots come from the determinant of result at the values.
std::vector<PoleApproximation> dominant_poles(const SymbolicFunction& f, const NestedResult& result);

}  // namespace quorvat::symbolic
