// The analysis run: from the chosen netlist file to the result polynomial files.
#pragma once

#include <string>

#include "engine/analysis_host.h"
#include "engine/exact_hook.h"
#include "engine/tables.h"

namespace quorvat {

/// A check of the finished results, run just before the success line (the numerical
/// verification lives outside the engine and plugs in here).
class ResultCheck {
public:
    virtual ~ResultCheck() = default;
    /// May log warnings; must not raise or clear the floating-point fault flags.
    virtual void check(const EngineTables& tables, LogSink& log) = 0;
};

/// Runs one analysis through host, reporting every step in its log. Returns true when it
/// ended with "Análise terminada com sucesso.". Throws FloatingPointFault when a
/// floating-point fault abandons it; the log keeps what was written before. With an
/// exact solver, results that the elimination gets wrong, or cannot get, are replaced
/// by the exact ones, and the "exact" option skips the elimination.
bool run_analysis(EngineTables& tables, AnalysisHost& host, ResultCheck* check = nullptr,
                  ExactSolver* exact = nullptr);

/// The run's reading stages: the netlist of host.netlist_file_name() read into tables
/// under limits,
/// the extra currents numbered, the variables and the summary logged. Returns false
/// (message logged) when the run must end there.
bool read_circuit(EngineTables& tables, AnalysisHost& host, const CircuitLimits& limits = design_limits);

/// Whether the circuit read last went beyond the design's limits of nodes, elements or
/// variables (a reading under those limits stops at the first excess).
bool beyond_design_limits(const EngineTables& tables);

/// The line that follows a refusal for size when the exact path could take the circuit.
extern const char* const larger_circuits_hint;

/// The netlist path for a chosen file name: ".net" appended when the file-name part
/// (after the last '/') holds no '.'.
std::string netlist_path_for(const std::string& file_name);

/// The base name of the result files: the path up to the first '.' of its file-name part.
std::string base_name_for(const std::string& path);

}  // namespace quorvat
