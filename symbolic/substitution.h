// The symbolic result at the element values: every symbol replaced by the exact binary
// fraction of its double, compared with the exact numeric solution of the same netlist.
#pragma once

#include "exact/exact_solver.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

/// numerator and denominator of f at the symbols' values, as integer polynomials in s
/// scaled by one common factor.
void substitute_values(const SymbolicFunction& f, const SymbolTable& symbols, exact::IntPoly& numerator,
                       exact::IntPoly& denominator);

/// Whether f at the symbols' values is exactly the exact solution's function (a zero
/// denominator there never agrees).
bool agrees_with_exact(const SymbolicFunction& f, const SymbolTable& symbols, const exact::RationalFunction& exact);

}  // namespace quorvat::symbolic
