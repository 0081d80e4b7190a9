// The commands of quorvat-cli. Each takes the words after the command's name and
// returns the process exit status.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace quorvat {
struct TimeCurves;
}

namespace quorvat::cli {

using Arguments = std::vector<std::string>;
using CommandFunction = int (*)(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli analisar: 0 success, 1 a logged failure, 2 usage, 3 floating-point fault.
int analyze_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli verificar: the analysis, then the verification table; 4 when a variable
/// is beyond the tolerance.
int verify_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli raizes: gain, zeros and poles of a pair of polynomial files.
int roots_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli exportar: a pair of polynomial files for Python, MATLAB/Octave or JSON.
int export_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli importar: a SPICE deck into a netlist; 0 written, 1 refused, 2 usage.
int import_command(const Arguments& args, std::ostream& out, std::ostream& err);
/// quorvat-cli simbolico: 0 verified, 1 a failure, 2 usage, 3 floating-point fault,
/// 4 the symbolic result differs from the exact solution.
int symbolic_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli plotar: 0 success, 1 Plotar ended early, 2 usage.
int plot_command(const Arguments& args, std::ostream& out, std::ostream& err);

/// quorvat-cli tempo: x(t) of pairs of polynomial files; 4 when a check fails.
/// Paints curves of x(t) and encodes them as PNG bytes; false, with a message on err, on failure.
using TimePngWriter = bool (*)(int width, int height, const TimeCurves& curves, std::string& png, std::ostream& err);

int time_command(const Arguments& args, std::ostream& out, std::ostream& err, TimePngWriter png = nullptr);

}  // namespace quorvat::cli
