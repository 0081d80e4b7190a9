// Dominant terms without the flat expansion: for each power of s of a numerator or a
// denominator, the terms of the determinant's expansion in decreasing size at the
// netlist values, taken as the paths of the chained graph of minors by a best-first
// search whose bound is the largest completion of every node (k largest paths of a
// DAG), until the terms left out change that coefficient by at most the tolerance.
// Like terms are merged as they come, so cancelling pairs of the expansion vanish.
#pragma once

#include <vector>

#include "symbolic/nested_solver.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

/// How the coefficient of one power of s was approximated.
struct CoefficientReport {
    long power = 0;        // of s in N(s), or in D(s) = s det A
    long kept = 0;         // distinct terms kept
    long paths = 0;        // terms of the expansion taken, before like terms were merged
    double allowed = 0.0;  // the relative change allowed
    double error = 0.0;    // |exact - kept| / |exact| at the values; 0 when the exact value is 0
    bool limited = false;  // the path limit stopped the search before the tolerance was met
};

struct DominantFunction {
    int variable = 0;  // 1-based
    std::vector<CoefficientReport> numerator, denominator;  // highest power first
    double band_db = 0.0;       // with a band: largest change of the response in dB
    double band_degrees = 0.0;  // and in phase
};

struct DominantOptions {
    double tolerance = 0.0;
    double band_low = 0.0, band_high = 0.0;  // Hz; band_high 0: the tolerance is per coefficient
    long path_limit = 100'000;               // paths per coefficient
};

struct DominantResult {
    SymbolicResult kept;  // the kept terms as functions, resistors as resistances
    std::vector<DominantFunction> reports;
};

/// The dominant terms of every function of result, whose graph must be chained.
DominantResult dominant_terms(const NestedResult& result, const DominantOptions& options);

}  // namespace quorvat::symbolic
