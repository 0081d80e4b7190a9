// The short gain and dominant pole as the reports write them, for the command line and
// the desktop program alike.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "symbolic/simplified_ratio.h"
#include "symbolic/symbols.h"

namespace quorvat::symbolic {

/// One function's gain and pole, a line and its value line each; with missing, a line
/// also where one has no short form. Numbers in the C locale's form.
void write_gain_and_pole(std::ostream& out, const GainAndPole& parts, bool missing);

/// The heading with the tolerance, then each function's label line ("  V(out):") and
/// its gain and pole.
void write_gains_and_pole(std::ostream& out, double tolerance, const std::vector<std::string>& labels,
                          const std::vector<GainAndPole>& parts);

/// The symbols the formulas hold that are of one kind and one value in the netlist, in
/// groups of two or more: candidates for writing as one where they are matched.
std::vector<std::vector<std::size_t>> alike_symbols(const std::vector<const GainAndPole*>& parts, const SymbolTable& table);

}  // namespace quorvat::symbolic
