// The result stage: the integration adjustment (division by s), normalisation, the
// choice of the exact results, the listing of the selected variables and the
// polynomial files "%s.n%d" and "%s.d%d".
#pragma once

#include <cstdint>
#include <vector>

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

/// The variables with results, ascending: those the run solved (an exact run may be
/// restricted to some), or every one when the results were filled without a run.
std::vector<int32_t> result_variables(const EngineTables& tables);

/// The integration adjustment of every variable and, when asked, the normalisation.
/// Returns false (message logged) when a denominator would exceed the maximum order.
bool adjust_results(EngineTables& tables, AnalysisHost& host);

/// Makes the exact solution the run's results (they need no adjustment).
void use_exact_results(EngineTables& tables);

/// Lists the selected variables and writes the result files, up to and including the
/// proposed plot file name; returns false (message logged) when a file cannot be written.
bool write_results(EngineTables& tables, AnalysisHost& host);

/// "Listar resultados": the numerator and denominator of every selected variable.
void list_selected_results(const EngineTables& tables, AnalysisHost& host);

}  // namespace quorvat
