// The result stage: the integration adjustment (division by s), normalisation, the
// listing of the selected variables and the polynomial files "%s.n%d" and "%s.d%d".
#pragma once

#include "engine/analysis_host.h"
#include "engine/tables.h"

namespace quorvat {

/// Runs the result stage after a successful solution, up to and including the proposed
/// plot file name; returns false (message logged) when the run must end without success.
bool write_results(EngineTables& tables, AnalysisHost& host);

/// "Listar resultados": the numerator and denominator of every selected variable.
void list_selected_results(const EngineTables& tables, AnalysisHost& host);

}  // namespace quorvat
