// What quorvat-cli tempo and the desktop's time window say about a pair: the name and
// unit of its variable, and the description of its expansion (poles, merged clusters,
// impulses, the formula).
#pragma once

#include <string>
#include <vector>

#include "time/inverse_laplace.h"

namespace quorvat {

/// The variable number of a numerator file ("teste.n12" gives "12"), from the ".n" (or
/// ".N") that names its denominator; empty when there is none.
std::string variable_number(const std::string& numerator);

/// "V" for a node voltage, "A" for a current, by the netlist of the numerator's base name
/// when it is beside the files and reads; empty otherwise. The netlist is read as the
/// analysis reads it: a regular file of bounded size, never a FIFO or a device.
std::string variable_unit(const std::string& numerator, const std::string& number);

/// "σ ± ωj (multiplicidade m)" at 10 digits.
std::string describe_pole(const PoleTerms& pole);

/// The lines describing one pair: "NUM / DEN", "  Polos: ...", the merged clusters, the
/// warnings, then the formula in text and/or LaTeX for the function name, each indented.
std::vector<std::string> describe_lines(const std::string& numerator, const std::string& denominator,
                                        const Expansion& expansion, const std::string& name, bool text, bool latex);

}  // namespace quorvat
