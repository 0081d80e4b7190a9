// Simplification on request: in each coefficient of each power of s, the terms that
// are smallest at the element values are dropped while together they change that
// coefficient by at most a given fraction.
#pragma once

#include <vector>

#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

struct ApproximationReport {
    long kept = 0;
    long dropped = 0;
    double largest_change = 0.0;  // |H_approx - H| / |H| at the test frequencies, over every function
};

/// Drops the small terms of every function of result in place (0 <= tolerance < 1) and
/// measures the change of each function at s = jω for the frequencies (rad/s).
ApproximationReport approximate(SymbolicResult& result, double tolerance, const std::vector<double>& frequencies);

}  // namespace quorvat::symbolic
