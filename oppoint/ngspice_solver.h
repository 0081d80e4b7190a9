// The operating-point solver of the importer, on ngspice's shared library.
#pragma once

#include <complex>
#include <map>
#include <string>
#include <vector>

#include "spice/operating_point.h"

namespace quorvat::oppoint {

/// The process's solver. The library is opened at its first use, not before.
spice::OperatingPointSolver& ngspice_solver();

/// Whether ngspice's library can be opened; error says why not.
bool ngspice_available(std::string& error);

/// The simulator's own AC analysis of a deck: the voltage of each node at the
/// frequencies of "ac dec points_per_decade fstart fstop" (in Hz, returned in
/// frequencies). The reference against which imported decks are checked.
bool ngspice_ac(const std::vector<std::string>& deck_lines, const std::vector<std::string>& nodes,
                int points_per_decade, double fstart, double fstop, std::vector<double>& frequencies,
                std::map<std::string, std::vector<std::complex<double>>>& voltages, std::string& error);

}  // namespace quorvat::oppoint
