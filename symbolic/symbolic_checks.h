// What quorvat-cli simbolico and the desktop's formulas window share around the solution:
// the element list of a symbol choice, the check against the exact numeric solution and
// the line that sums up an approximation.
#pragma once

#include <set>
#include <string>

#include "engine/tables.h"
#include "symbolic/approximation.h"
#include "symbolic/symbolic_solver.h"

namespace quorvat::symbolic {

/// Element names separated by commas or blanks ("R3,C2", "R3 C2"), as the reader stores
/// them: the kind letter upper case; "M_K1" names K1. False for an empty item between
/// commas or an empty list.
bool parse_element_names(const std::string& list, std::set<std::string>& names);

/// The first variable whose symbolic function, at the element values, differs from the
/// exact solution of the circuit in tables (read and stamped); 0 when every one agrees,
/// -1 when the exact system is singular.
int first_difference(const SymbolicResult& result, const EngineTables& tables);

/// "Aproximação com tolerância T: K termos mantidos, D descartados; maior variação
/// relativa da função nas frequências de teste: C".
std::string approximation_summary(double tolerance, const ApproximationReport& report);

}  // namespace quorvat::symbolic
