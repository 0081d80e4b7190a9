// Dominant terms without the flat expansion: the chained graph of minors evaluated in
// polynomials with every node cut, as it is made, to its largest terms at the netlist
// values (simplification during generation: like terms merge inside each node, so the
// cancelling pairs of the expansion never pile up); then, for each power of s of a
// numerator or a denominator, the fewest of the largest terms whose sum differs from
// the exact coefficient by at most the tolerance, checked in exact arithmetic.
#pragma once

#include <vector>

#include "symbolic/nested_solver.h"
#include "symbolic/simplified_ratio.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

/// How the coefficient of one power of s was approximated.
struct CoefficientReport {
    long power = 0;        // of s in N(s), or in D(s) = s det A
    long kept = 0;         // distinct terms kept
    long paths = 0;        // candidate terms it was chosen from
    double allowed = 0.0;  // the relative change allowed
    double error = 0.0;    // |exact - kept| / |exact| at the values; 0 when the exact value is 0
    bool limited = false;  // the tolerance was not met within the term cap
};

struct DominantFunction {
    int variable = 0;  // 1-based
    std::vector<CoefficientReport> numerator, denominator;  // highest power first
    double band_db = 0.0;       // with a band: largest change of the response in dB
    double band_degrees = 0.0;  // and in phase
    GainAndPole simplified;     // the gain and the dominant pole as short formulas
};

struct DominantOptions {
    double tolerance = 0.0;
    double band_low = 0.0, band_high = 0.0;  // Hz; band_high 0: the tolerance is per coefficient
    long term_cap = 150;                     // terms kept per power of s in any node
    std::vector<std::size_t> same = {};      // the short gain and pole: matched symbols (simplified_ratio.h)
};

struct DominantResult {
    SymbolicResult kept;  // the kept terms as functions, resistors as resistances
    std::vector<DominantFunction> reports;
};

/// The dominant terms of every function of result, whose graph must be chained.
/// TooLarge when the nodes together would hold more terms than the memory allows.
DominantResult dominant_terms(const NestedResult& result, const DominantOptions& options);

}  // namespace quorvat::symbolic
