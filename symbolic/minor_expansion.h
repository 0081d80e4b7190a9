// The determinant and the Cramer numerators of a sparse symbolic system multiplied out:
// the graph of shared minors evaluated node by node in FLINT's sparse polynomials, each
// node freed once its last parent is made. No division, so every minor is an exact
// integer polynomial; sizes are checked as the minors grow.
#pragma once

#include <optional>
#include <vector>

#include "symbolic/minor_graph.h"
#include "symbolic/mpoly.h"
#include "symbolic/symbolic_system.h"

namespace quorvat::symbolic {

struct CramerSolution {
    Mpoly determinant;                      // det A
    std::vector<std::optional<Mpoly>> numerators;  // by variable index 0..n-1, when asked
};

/// det A and, for every wanted variable k (0-based), det of A with column k replaced by b.
/// No minor may hold more than term_limit terms, nor all the numerators together, nor a
/// product, a partial sum or all stored minors together more than twice as many, nor
/// the graph of minors more than twice as many items: TooLarge otherwise.
CramerSolution cramer_by_minors(const SymbolicSystem& system, const std::vector<int>& wanted,
                                const MpolyContext& ctx, long term_limit);

}  // namespace quorvat::symbolic
