// The nested form written out: the subexpressions of the graph of minors one per line,
// children first, then each variable's N(s)/D(s) in them; text, LaTeX or Python (sympy).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "symbolic/formats.h"
#include "symbolic/nested_solver.h"

namespace quorvat::symbolic {

/// The result in the format (text, latex or python). names holds every variable's name
/// by index (0 is ground); variables above node_count are currents.
void write_nested(std::ostream& out, SymbolicFormat format, const NestedResult& result,
                  const std::vector<std::string>& names, int node_count);

}  // namespace quorvat::symbolic
